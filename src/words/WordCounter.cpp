#include "words/WordCounter.h"
#include "common/Errors.h"
#include "common/KeySort.h"
#include "common/Translation.h"

#include <algorithm>
#include <new>
#include <climits>

namespace kf {

namespace {
// Record positions are 32-bit (plus one in a slot): at most this many chunks.
constexpr size_t kMaxChunks = 2047;

int32_t capLength(uint64_t len)
{
    return len > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(len);
}
} // namespace

WordCounter::WordCounter() : m_slots(kInitialSlots, 0), m_mask(kInitialSlots - 1) {}

bool WordCounter::addExisting(std::string_view key, int32_t len)
{
    flush();
    if (key.size() > kKeyLimit)
        key = key.substr(0, kKeyLimit);
    char padded[kKeyLimit + 8] = {};
    std::memcpy(padded, key.data(), key.size());
    const uint64_t h = hashKey(padded, key.size());
    const uint32_t tag = tagOf(h, key.size());
    size_t i = size_t(h) & m_mask;
    for (;;) {
        const uint64_t v = m_slots[i];
        if (!v)
            break;
        if (uint32_t(v >> 32) == tag && sameKey(record(uint32_t(v) - 1) + kHeader, padded, key.size()))
            return false;
        i = (i + 1) & m_mask;
    }
    insert(i, tag, padded, key.size(), uint64_t(std::max(len, 0)), 0);
    ++m_existing;
    return true;
}

void WordCounter::merge(const WordCounter &other)
{
    flush();
    for (size_t i = 0; i < other.m_records.size(); ++i) {
        if (i + 8 < other.m_records.size())
            __builtin_prefetch(other.record(other.m_records[i + 8]));
        const char *rec = other.record(other.m_records[i]);
        const int32_t n = readInt(rec);
        if (n == 0)
            continue;
        const size_t keyLen = uint8_t(rec[8]);
        // Records are zero-padded to 8-byte words: kKeyLimit + 8 readable
        // bytes are not guaranteed past a short key, so compare from a copy.
        char key[kKeyLimit + 8] = {};
        std::memcpy(key, rec + kHeader, keyLen);
        count(key, keyLen, uint64_t(readInt(rec + 4)), hashKey(key, keyLen), n);
    }
}

void WordCounter::insert(size_t slot, uint32_t tag, const char *key, size_t keyLen,
                         uint64_t fullLen, int32_t count)
{
    const size_t padded = (keyLen + 7) & ~size_t(7);
    const size_t size = kHeader + padded;
    if (m_used + size > kChunkSize) {
        if (m_chunks.size() >= kMaxChunks)
            throw EDatabaseError(LibraryText("Too many distinct words."));
        m_chunks.reserve(m_chunks.size() + 1); // so that the new chunk cannot leak
        m_chunks.emplace_back(HugePageAllocator<char>().allocate(kChunkSize)); // records fill it
        m_used = 0;
    }
    const uint32_t pos = uint32_t(((m_chunks.size() - 1) << kChunkBits) | m_used);
    char *rec = m_chunks.back().get() + m_used;
    const int32_t len = capLength(fullLen);
    std::memcpy(rec, &count, 4);
    std::memcpy(rec + 4, &len, 4);
    rec[8] = char(uint8_t(keyLen));
    std::memcpy(rec + kHeader, key, keyLen);
    std::memset(rec + kHeader + keyLen, 0, padded - keyLen);
    m_used += size;
    m_records.push_back(pos);
    if (count != 0)
        m_newKeyBytes += keyLen;
    m_slots[slot] = (uint64_t(tag) << 32) | uint64_t(pos + 1);
    // Keep the load at most one half so that probe runs stay short.
    if (m_records.size() * 2 > m_slots.size())
        grow();
}

std::vector<uint32_t> WordCounter::takeNewInKeyOrder()
{
    flush();
    // Sorted on the first 8 key bytes, big-endian; equal ones compare the
    // rest of the (zero-padded) key, then the length.
    struct Rec {
        uint64_t lead;
        uint32_t place;
    };
    const size_t n = m_records.size() - m_existing;
    // The hash index is no longer needed and holds at least two slots per
    // entry, room for one Rec each: the sort runs in its memory rather than in
    // memory of its own.
    static_assert(sizeof(Rec) == 2 * sizeof(uint64_t) && alignof(Rec) <= alignof(uint64_t));
    decltype(m_slots) room;
    room.swap(m_slots);
    if (room.size() < 2 * n)
        room.resize(2 * n);
    Rec *recs = reinterpret_cast<Rec *>(room.data());
    for (size_t i = 0; i < n; ++i) {
        const uint32_t place = m_records[m_existing + i];
        const char *rec = record(place);
        const uint64_t lead = rec[8] ? __builtin_bswap64(load8(rec + kHeader)) : 0; // the empty key has no bytes
        new (&recs[i]) Rec{lead, place};
    }
    SortByLeadingKey(
        recs, recs + n, [](const Rec &r) { return r.lead; },
        [this](const Rec &a, const Rec &b) {
            if (a.lead != b.lead)
                return a.lead < b.lead;
            const char *ra = record(a.place);
            const char *rb = record(b.place);
            const size_t la = uint8_t(ra[8]), lb = uint8_t(rb[8]);
            const size_t words = (std::max(la, lb) + 7) / 8;
            for (size_t w = 1; w < words; ++w) {
                // A shorter key's padding reads as zeros past its last word.
                const uint64_t x = w * 8 < la ? __builtin_bswap64(load8(ra + kHeader + w * 8)) : 0;
                const uint64_t y = w * 8 < lb ? __builtin_bswap64(load8(rb + kHeader + w * 8)) : 0;
                if (x != y)
                    return x < y;
            }
            if (la != lb)
                return la < lb;
            return a.place < b.place; // places grow with entries: first met first
        });
    std::vector<uint32_t>().swap(m_records);
    m_mask = 0;
    std::vector<uint32_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = recs[i].place;
    return out;
}

void WordCounter::clear()
{
    m_pending = 0;
    m_seq = 0;
    m_chunks.clear();
    std::vector<uint32_t>().swap(m_records);
    m_used = kChunkSize;
    m_existing = 0;
    m_newKeyBytes = 0;
    m_slots.assign(kInitialSlots, 0);
    m_mask = kInitialSlots - 1;
}

void WordCounter::grow()
{
    m_slots.assign(m_slots.size() * 2, 0);
    m_mask = m_slots.size() - 1;
    // Records are visited in arena order, so their keys are read as a
    // stream; the new slots are prefetched a batch ahead.
    uint64_t hashes[kBatch];
    for (size_t first = 0; first < m_records.size(); first += kBatch) {
        const size_t n = std::min(kBatch, m_records.size() - first);
        for (size_t b = 0; b < n; ++b) {
            const char *rec = record(m_records[first + b]);
            hashes[b] = hashKey(rec + kHeader, uint8_t(rec[8]));
            __builtin_prefetch(&m_slots[size_t(hashes[b]) & m_mask], 1);
        }
        for (size_t b = 0; b < n; ++b) {
            const uint32_t pos = m_records[first + b];
            const size_t keyLen = uint8_t(record(pos)[8]);
            size_t i = size_t(hashes[b]) & m_mask;
            while (m_slots[i])
                i = (i + 1) & m_mask;
            m_slots[i] = (uint64_t(tagOf(hashes[b], keyLen)) << 32) | uint64_t(pos + 1);
        }
    }
}

} // namespace kf
