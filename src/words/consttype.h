#pragma once
// Word splitting: a line of single-byte text is cut into words at a set of
// delimiter bytes. A word is a maximal run of bytes that are not delimiters;
// runs of delimiters only separate and never make an empty word. Positions are
// 1-based byte positions.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

// A set of byte values that separates words: a 256-entry membership table.
class DelimiterSet {
public:
    DelimiterSet() = default;
    // The set holding every byte of `bytes`.
    explicit DelimiterSet(std::string_view bytes) { insert(bytes); }

    bool contains(uint8_t b) const { return m_member[b] != 0; }
    bool contains(char c) const { return m_member[static_cast<uint8_t>(c)] != 0; }
    void insert(uint8_t b) { m_member[b] = 1; }
    void insert(std::string_view bytes)
    {
        for (char c : bytes)
            insert(static_cast<uint8_t>(c));
    }
    void erase(uint8_t b) { m_member[b] = 0; }
    // The table itself, 1 for members, 0 otherwise (for tight loops).
    const uint8_t *table() const { return m_member.data(); }

    bool operator==(const DelimiterSet &o) const { return m_member == o.m_member; }

private:
    std::array<uint8_t, 256> m_member{};
};

// The number of words in text.
int32_t CountWords(std::string_view text, const DelimiterSet &delims);
// The 1-based position of the first byte of word n; 0 when the text has fewer
// than n words or n is 0 or less.
int32_t NthWordStart(int32_t n, std::string_view text, const DelimiterSet &delims);
// The bytes of word n; empty when NthWordStart gives 0.
std::string NthWord(int32_t n, std::string_view text, const DelimiterSet &delims);

// One pass over text, calling fn(std::string_view word) for every word in
// order: the same words CountWords/NthWord give, in linear time.
template <class Fn>
void ForEachWord(std::string_view text, const DelimiterSet &delims, Fn &&fn)
{
    const uint8_t *d = delims.table();
    const char *p = text.data();
    const char *const end = p + text.size();
    for (;;) {
        while (p != end && d[static_cast<uint8_t>(*p)])
            ++p;
        if (p == end)
            return;
        const char *start = p;
        while (p != end && !d[static_cast<uint8_t>(*p)])
            ++p;
        fn(std::string_view(start, size_t(p - start)));
    }
}

// The words of text in order (ForEachWord collected).
std::vector<std::string_view> SplitWords(std::string_view text, const DelimiterSet &delims);

// Splits text that arrives in blocks (a file read piece by piece) into words,
// a word that straddles two blocks included. Each word is handed on as its
// first `KeyLimit` bytes, passed through a 256-byte translation table (for
// lower-casing; identity when none is given), together with its full length.
// Memory stays bounded however long a word is: only the kept prefix of an
// unfinished word is carried from one block to the next.
//
// Sink: void(const char *key, size_t keyLen, uint64_t fullLen); key points to
// keyLen translated bytes, valid during the call only; KeyLimit + 8 bytes
// from key on are readable (those after the key have unspecified values).
//
// The block is classified 64 bytes at a time into a bit mask of delimiters,
// and words are taken from the mask's edges: no branch per byte.
template <size_t KeyLimit>
class BlockWordSplitter {
public:
    static constexpr size_t kKeyLimit = KeyLimit;

    BlockWordSplitter(const DelimiterSet &delims, const std::array<uint8_t, 256> *translate = nullptr)
    {
        for (int i = 0; i < 256; ++i) {
            m_translate[size_t(i)] = translate ? (*translate)[size_t(i)] : uint8_t(i);
            m_delim[size_t(i)] = delims.contains(uint8_t(i)) ? 1 : 0;
        }
    }

    // Feeds the next block; words finished inside it go to sink.
    template <class Sink>
    void feed(std::string_view block, Sink &&sink)
    {
        const size_t n = block.size();
        if (n == 0)
            return;
        if (m_out.size() < n + kSlack)
            m_out.assign(n + kSlack, 0);
        const uint8_t *in = reinterpret_cast<const uint8_t *>(block.data());
        uint8_t *out = m_out.data();
        const uint8_t *tr = m_translate.data();
        const uint8_t *dl = m_delim.data();

        // A word left open by the previous block continues at position 0.
        bool continuing = m_pendingLen != 0;
        bool inWord = continuing;
        size_t wordStart = 0;
        uint64_t prevDelim = inWord ? 0 : 1;
        for (size_t base = 0; base < n; base += 64) {
            const size_t m = n - base < 64 ? n - base : 64;
            uint64_t d = 0;
            const uint8_t *src = in + base;
            uint8_t *dst = out + base;
            if (m == 64) {
                for (size_t i = 0; i < 64; ++i) {
                    const uint8_t b = src[i];
                    dst[i] = tr[b];
                    d |= uint64_t(dl[b]) << i;
                }
            } else {
                for (size_t i = 0; i < m; ++i) {
                    const uint8_t b = src[i];
                    dst[i] = tr[b];
                    d |= uint64_t(dl[b]) << i;
                }
                d |= ~uint64_t(0) << m; // past the block: an end marker
            }
            const uint64_t before = (d << 1) | prevDelim; // bit i: byte i-1 is a delimiter
            uint64_t starts = ~d & before;
            uint64_t ends = d & ~before;
            prevDelim = d >> 63;
            if (inWord) {
                if (!ends)
                    continue; // the word runs through this whole chunk
                const size_t end = base + size_t(__builtin_ctzll(ends));
                ends &= ends - 1;
                if (end == n) {
                    keepOpen(out, wordStart, end, continuing);
                    return;
                }
                if (continuing) {
                    appendPending(out, end);
                    emitPending(sink);
                    continuing = false;
                } else {
                    emitWord(out, wordStart, end, sink);
                }
                inWord = false;
            }
            while (starts) {
                const size_t start = base + size_t(__builtin_ctzll(starts));
                starts &= starts - 1;
                if (!ends) {
                    wordStart = start;
                    inWord = true;
                    break;
                }
                const size_t end = base + size_t(__builtin_ctzll(ends));
                ends &= ends - 1;
                if (end == n) {
                    keepOpen(out, start, end, false);
                    return;
                }
                emitWord(out, start, end, sink);
            }
        }
        // The block ended inside a word (only when n is a multiple of 64).
        if (inWord)
            keepOpen(out, wordStart, n, continuing);
    }

    // Ends the text: a word left unfinished by the last block goes to sink.
    template <class Sink>
    void finish(Sink &&sink)
    {
        if (m_pendingLen)
            emitPending(sink);
    }

    // The word the last block left unfinished: whether there is one, its
    // kept (translated) bytes and its length so far.
    bool hasPending() const { return m_pendingLen != 0; }
    std::string_view pendingKey() const { return std::string_view(m_pending, m_pendingKey); }
    uint64_t pendingLength() const { return m_pendingLen; }
    // Forgets that word: it is not handed on.
    void dropPending()
    {
        m_pendingLen = 0;
        m_pendingKey = 0;
    }
    // Puts back an unfinished word taken from pendingKey()/pendingLength().
    void restorePending(std::string_view key, uint64_t length)
    {
        m_pendingKey = key.size() < KeyLimit ? key.size() : KeyLimit;
        std::memcpy(m_pending, key.data(), m_pendingKey);
        m_pendingLen = length;
    }

private:
    static constexpr size_t kSlack = 64;

    template <class Sink>
    static void emitWord(const uint8_t *out, size_t start, size_t end, Sink &sink)
    {
        const size_t len = end - start;
        sink(reinterpret_cast<const char *>(out + start), len < KeyLimit ? len : KeyLimit,
             uint64_t(len));
    }

    void keepOpen(const uint8_t *out, size_t start, size_t end, bool continuing)
    {
        if (!continuing) {
            m_pendingLen = 0;
            m_pendingKey = 0;
        }
        appendPending(out + start, end - start);
    }

    void appendPending(const uint8_t *bytes, size_t n)
    {
        const size_t take = n < KeyLimit - m_pendingKey ? n : KeyLimit - m_pendingKey;
        std::memcpy(m_pending + m_pendingKey, bytes, take);
        m_pendingKey += take;
        m_pendingLen += n;
    }

    template <class Sink>
    void emitPending(Sink &sink)
    {
        const uint64_t len = m_pendingLen;
        const size_t keyLen = m_pendingKey;
        m_pendingLen = 0;
        m_pendingKey = 0;
        sink(static_cast<const char *>(m_pending), keyLen, len);
    }

    std::array<uint8_t, 256> m_translate{};
    std::array<uint8_t, 256> m_delim{};
    std::vector<uint8_t> m_out;   // the translated block, with slack after it
    char m_pending[KeyLimit + 8] = {};
    size_t m_pendingKey = 0;      // bytes kept of the unfinished word
    uint64_t m_pendingLen = 0;    // its full length so far
};

} // namespace kf
