#pragma once
// Counts the words of a scan through a hash index on the (cut) word key.
// Keys are byte strings of at most kKeyLimit bytes; entries keep the order in
// which their keys were first met. Keys registered with addExisting (rows a
// table already holds) come first, so entry i < existingCount() stands for
// the i-th registered row.
//
// Each entry is one record in an arena of 2 MiB chunks: count, length, key
// length and the key, zero-padded to whole 8-byte words so that keys compare
// 8 bytes at a time. A slot of the open-addressing index holds a 32-bit tag
// (hash bits and the key length) and the record's arena position, so a probe
// touches the slot and, on a tag match, the one record.

#include "common/HugePageAllocator.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace kf {

class WordCounter {
public:
    static constexpr size_t kKeyLimit = 40;

    WordCounter();

    // One occurrence of key (keyLen <= kKeyLimit) of a word fullLen bytes
    // long. kKeyLimit + 8 bytes from key on must be readable (those after the
    // key are not used). Occurrences are gathered in small batches whose
    // slots are prefetched together; flush() settles the batch.
    void add(const char *key, size_t keyLen, uint64_t fullLen)
    {
        const uint64_t hash = hashKey(key, keyLen);
        if (m_slots.size() <= kDirectSlots && m_pending == 0) {
            // The index still fits the caches: no pipeline needed.
            count(key, keyLen, fullLen, hash);
            return;
        }
        // A pipeline of kBatch occurrences: each one's slot is prefetched
        // when it enters, its record when it is half-way, and it is counted
        // when it leaves, so that many cache misses are in flight at once.
        const size_t t = m_seq++;
        if (m_pending == kBatch) {
            const Pending &oldest = m_batch[t % kBatch];
            count(oldest.key, oldest.keyLen, oldest.fullLen, oldest.hash);
            --m_pending;
        }
        if (m_pending >= kBatch / 2) {
            const uint64_t v = m_slots[size_t(m_batch[(t - kBatch / 2) % kBatch].hash) & m_mask];
            if (v)
                __builtin_prefetch(record(uint32_t(v) - 1));
        }
        Pending &p = m_batch[t % kBatch];
        std::memcpy(p.key, key, kKeyLimit + 8);
        p.keyLen = uint32_t(keyLen);
        p.fullLen = fullLen;
        p.hash = hash;
        __builtin_prefetch(&m_slots[size_t(p.hash) & m_mask]);
        ++m_pending;
    }

    // Counts the occurrences still in the pipeline; the readers below need
    // it first. Prefetches are only hints: count() probes from scratch, so a
    // word met twice in the pipeline and a growth of the index are handled
    // as usual, and occurrences are counted in the order they came.
    void flush()
    {
        for (size_t i = m_seq - m_pending; i != m_seq; ++i) {
            const Pending &p = m_batch[i % kBatch];
            count(p.key, p.keyLen, p.fullLen, p.hash);
        }
        m_pending = 0;
    }

    // Registers a key that already has a row, counting nothing. Returns false
    // (and registers nothing) when the key is already known: a table holding
    // the same word twice keeps counting into its first row.
    bool addExisting(std::string_view key, int32_t len);

    // Adds the counts of another counter (flushed, its keys added with add()
    // only) as if its occurrences came after all of this one's: a key both
    // know keeps the length first met here, a key new here takes the other's
    // length and comes after this one's entries, in the other's order.
    void merge(const WordCounter &other);

    // The readers: call flush() after the last add().
    size_t size() const { return m_records.size(); }
    size_t existingCount() const { return m_existing; }

    std::string_view key(size_t i) const
    {
        const char *rec = record(m_records[i]);
        return std::string_view(rec + kHeader, size_t(uint8_t(rec[8])));
    }
    // Occurrences added (for existing keys: added in this scan only).
    int32_t count(size_t i) const { return readInt(record(m_records[i])); }
    // Length of the word as first met (or as registered), capped at INT32_MAX.
    int32_t length(size_t i) const { return readInt(record(m_records[i]) + 4); }

    // Where the new entries (those not registered by addExisting) are, in
    // key order: bytes compared unsigned, a key before its longer
    // continuations. The sort runs in the hash index's memory, which is given
    // back; afterwards entries are read by place only, through the *At
    // readers (key(i) and the like no longer answer).
    std::vector<uint32_t> takeNewInKeyOrder();
    // The bytes of the new entries' keys together.
    size_t newKeyBytes() const { return m_newKeyBytes; }
    std::string_view keyAt(uint32_t place) const
    {
        const char *rec = record(place);
        return std::string_view(rec + kHeader, size_t(uint8_t(rec[8])));
    }
    int32_t countAt(uint32_t place) const { return readInt(record(place)); }
    int32_t lengthAt(uint32_t place) const { return readInt(record(place) + 4); }
    // Hints that the entry at this place is read soon.
    void prefetchAt(uint32_t place) const { __builtin_prefetch(record(place)); }
    // Forgets every entry and gives back the memory.
    void clear();

    // Bytes held (for memory accounting in tests and benchmarks).
    size_t memoryUsed() const
    {
        return m_chunks.size() * kChunkSize + m_records.capacity() * sizeof(uint32_t) +
               m_slots.capacity() * sizeof(uint64_t);
    }

private:
    static constexpr size_t kBatch = 32;
    static constexpr size_t kInitialSlots = 1024;
    static constexpr size_t kDirectSlots = size_t(1) << 16;
    struct Pending {
        char key[kKeyLimit + 8];
        uint32_t keyLen;
        uint64_t fullLen;
        uint64_t hash;
    };

    void count(const char *key, size_t keyLen, uint64_t fullLen, uint64_t h, int32_t times = 1)
    {
        const uint32_t tag = tagOf(h, keyLen);
        size_t i = size_t(h) & m_mask;
        for (;;) {
            const uint64_t v = m_slots[i];
            if (!v)
                break;
            if (uint32_t(v >> 32) == tag) {
                char *rec = record(uint32_t(v) - 1);
                if (sameKey(rec + kHeader, key, keyLen)) {
                    int32_t n;
                    std::memcpy(&n, rec, 4);
                    n = INT32_MAX - n < times ? INT32_MAX : n + times;
                    std::memcpy(rec, &n, 4);
                    return;
                }
            }
            i = (i + 1) & m_mask;
        }
        insert(i, tag, key, keyLen, fullLen, times);
    }

    static constexpr size_t kHeader = 9; // count, length, key length
    static constexpr size_t kChunkBits = 21; // one huge page
    static constexpr size_t kChunkSize = size_t(1) << kChunkBits;

    static uint64_t load8(const char *p)
    {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    }
    // The key's bytes in 8-byte words, the last one masked to the key.
    static uint64_t chunkAt(const char *key, size_t keyLen, size_t i)
    {
        const uint64_t v = load8(key + i);
        const size_t rest = keyLen - i;
        return rest >= 8 ? v : v & ((uint64_t(1) << (8 * rest)) - 1);
    }
    // Most words fit in the first 8 bytes: one multiplication for them.
    static uint64_t hashKey(const char *key, size_t keyLen)
    {
        uint64_t h = keyLen ? chunkAt(key, keyLen, 0) : 0;
        if (keyLen > 8) {
            for (size_t i = 8; i < keyLen; i += 8) {
                h = (h ^ (h >> 29)) * 0xBF58476D1CE4E5B9ull;
                h ^= chunkAt(key, keyLen, i);
            }
        }
        h = (h + keyLen) * 0x9E3779B97F4A7C15ull;
        return h ^ (h >> 32);
    }
    // High hash bits with the key length in the low 6 (keys are at most 40).
    static uint32_t tagOf(uint64_t h, size_t keyLen)
    {
        return (uint32_t(h >> 32) & ~uint32_t(63)) | uint32_t(keyLen);
    }
    // stored: a record's key (zero-padded); key: keyLen bytes, 8 readable after.
    static bool sameKey(const char *stored, const char *key, size_t keyLen)
    {
        if (keyLen <= 8)
            return keyLen == 0 || load8(stored) == chunkAt(key, keyLen, 0);
        for (size_t i = 0; i < keyLen; i += 8)
            if (load8(stored + i) != chunkAt(key, keyLen, i))
                return false;
        return true;
    }
    static int32_t readInt(const char *p)
    {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }

    char *record(uint32_t pos) const
    {
        return m_chunks[pos >> kChunkBits].get() + (pos & (kChunkSize - 1));
    }

    void insert(size_t slot, uint32_t tag, const char *key, size_t keyLen, uint64_t fullLen,
                int32_t count);
    void grow();

    struct ChunkFree {
        void operator()(char *p) const { HugePageAllocator<char>().deallocate(p, kChunkSize); }
    };
    std::vector<std::unique_ptr<char, ChunkFree>> m_chunks;
    size_t m_used = kChunkSize; // bytes used in the last chunk (full: none yet)
    std::vector<uint32_t> m_records; // arena position of entry i
    // (tag << 32) | (position + 1); 0 = empty. Walked at random: huge pages.
    std::vector<uint64_t, HugePageAllocator<uint64_t>> m_slots;
    size_t m_mask = 0;
    size_t m_existing = 0;
    size_t m_newKeyBytes = 0;
    Pending m_batch[kBatch]; // a ring: occurrence t sits at t % kBatch
    size_t m_seq = 0;        // occurrences that entered the pipeline
    size_t m_pending = 0;    // of them still waiting to be counted
};

} // namespace kf
