#pragma once
// Counts the words of a scan through a hash index on the (cut) word key.
// Keys are byte strings of at most kKeyLimit bytes; entries keep the order in
// which their keys were first met. Keys registered with addExisting (rows a
// table already holds) come first, so entry i < existingCount() stands for
// the i-th registered row.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace kf {

class WordCounter {
public:
    static constexpr size_t kKeyLimit = 40;

    WordCounter();

    // One occurrence of key (keyLen <= kKeyLimit) of a word fullLen bytes
    // long. key must be followed by at least 8 zero bytes after keyLen bytes.
    void add(const char *key, size_t keyLen, uint64_t fullLen)
    {
        const uint32_t h = hashPadded(key, keyLen);
        uint64_t *slot = findSlot(h, key, keyLen);
        if (*slot) {
            Entry &e = m_entries[uint32_t(*slot) - 1];
            if (e.count != INT32_MAX)
                ++e.count;
            return;
        }
        insertAt(slot, h, key, keyLen, fullLen, 1);
    }

    // Registers a key that already has a row, counting nothing. Returns false
    // (and registers nothing) when the key is already known: a table holding
    // the same word twice keeps counting into its first row.
    bool addExisting(std::string_view key, int32_t len);

    size_t size() const { return m_entries.size(); }
    size_t existingCount() const { return m_existing; }

    std::string_view key(size_t i) const
    {
        const size_t begin = m_entries[i].offset;
        const size_t end = i + 1 < m_entries.size() ? m_entries[i + 1].offset : m_arena.size();
        return std::string_view(m_arena.data() + begin, end - begin);
    }
    // Occurrences added (for existing keys: added in this scan only).
    int32_t count(size_t i) const { return m_entries[i].count; }
    // Length of the word as first met (or as registered), capped at INT32_MAX.
    int32_t length(size_t i) const { return m_entries[i].len; }

    // Bytes held (for memory accounting in tests and benchmarks).
    size_t memoryUsed() const
    {
        return m_arena.capacity() + m_entries.capacity() * sizeof(Entry) +
               m_slots.capacity() * sizeof(uint64_t);
    }

private:
    struct Entry {
        uint64_t offset; // of the key in m_arena; the key ends where the next begins
        int32_t count;
        int32_t len;
    };

    static uint32_t hashPadded(const char *key, size_t keyLen)
    {
        uint64_t h = 0x9E3779B97F4A7C15ull ^ keyLen;
        for (size_t i = 0; i < keyLen; i += 8) {
            uint64_t chunk;
            std::memcpy(&chunk, key + i, 8);
            h = (h ^ chunk) * 0xBF58476D1CE4E5B9ull;
            h ^= h >> 31;
        }
        h *= 0x94D049BB133111EBull;
        return uint32_t(h >> 32);
    }

    // The slot holding key, or the empty slot where it belongs.
    uint64_t *findSlot(uint32_t h, const char *key, size_t keyLen)
    {
        size_t i = h & m_mask;
        for (;;) {
            uint64_t *slot = &m_slots[i];
            const uint64_t v = *slot;
            if (!v)
                return slot;
            if (uint32_t(v >> 32) == h) {
                const size_t idx = uint32_t(v) - 1;
                const std::string_view k = this->key(idx);
                if (k.size() == keyLen && std::memcmp(k.data(), key, keyLen) == 0)
                    return slot;
            }
            i = (i + 1) & m_mask;
        }
    }

    void insertAt(uint64_t *slot, uint32_t h, const char *key, size_t keyLen, uint64_t fullLen,
                  int32_t count);
    void grow();

    std::vector<char> m_arena;
    std::vector<Entry> m_entries;
    std::vector<uint64_t> m_slots; // (hash << 32) | (entry index + 1); 0 = empty
    size_t m_mask = 0;
    size_t m_existing = 0;
};

} // namespace kf
