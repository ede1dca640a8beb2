#include "wordlist/WordCounter.h"
#include "common/Errors.h"

#include <algorithm>
#include <climits>

namespace kf {

namespace {
constexpr size_t kInitialSlots = 1024;

int32_t capLength(uint64_t len)
{
    return len > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(len);
}
} // namespace

WordCounter::WordCounter() : m_slots(kInitialSlots, 0), m_mask(kInitialSlots - 1) {}

bool WordCounter::addExisting(std::string_view key, int32_t len)
{
    if (key.size() > kKeyLimit)
        key = key.substr(0, kKeyLimit);
    char padded[kKeyLimit + 8] = {};
    std::memcpy(padded, key.data(), key.size());
    const uint32_t h = hashPadded(padded, key.size());
    uint64_t *slot = findSlot(h, padded, key.size());
    if (*slot)
        return false;
    insertAt(slot, h, padded, key.size(), uint64_t(std::max(len, 0)), 0);
    ++m_existing;
    return true;
}

void WordCounter::insertAt(uint64_t *slot, uint32_t h, const char *key, size_t keyLen,
                           uint64_t fullLen, int32_t count)
{
    if (m_entries.size() >= size_t(UINT32_MAX) - 1)
        throw EDatabaseError("Too many distinct words.");
    const size_t index = m_entries.size();
    m_entries.push_back({uint64_t(m_arena.size()), count, capLength(fullLen)});
    m_arena.insert(m_arena.end(), key, key + keyLen);
    *slot = (uint64_t(h) << 32) | uint64_t(index + 1);
    // Keep the load at most one half so that probe runs stay short.
    if (m_entries.size() * 2 > m_slots.size())
        grow();
}

void WordCounter::grow()
{
    std::vector<uint64_t> old;
    old.swap(m_slots);
    m_slots.assign(old.size() * 2, 0);
    m_mask = m_slots.size() - 1;
    for (uint64_t v : old) {
        if (!v)
            continue;
        size_t i = uint32_t(v >> 32) & m_mask;
        while (m_slots[i])
            i = (i + 1) & m_mask;
        m_slots[i] = v;
    }
}

} // namespace kf
