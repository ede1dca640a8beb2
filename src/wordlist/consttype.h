#pragma once
// Word splitting: a line of single-byte text is cut into words at a set of
// delimiter bytes. A word is a maximal run of bytes that are not delimiters;
// runs of delimiters only separate and never make an empty word. Positions are
// 1-based byte positions.

#include <array>
#include <cstddef>
#include <cstdint>
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
// keyLen translated bytes valid during the call only, and is followed by at
// least 8 readable bytes (zero padding up to KeyLimit + 8).
template <size_t KeyLimit>
class BlockWordSplitter {
public:
    static constexpr size_t kKeyLimit = KeyLimit;

    BlockWordSplitter(const DelimiterSet &delims, const std::array<uint8_t, 256> *translate = nullptr)
        : m_delims(delims)
    {
        for (int i = 0; i < 256; ++i)
            m_translate[size_t(i)] = translate ? (*translate)[size_t(i)] : uint8_t(i);
    }

    // Feeds the next block; words finished inside it go to sink.
    template <class Sink>
    void feed(std::string_view block, Sink &&sink)
    {
        const uint8_t *d = m_delims.table();
        const uint8_t *p = reinterpret_cast<const uint8_t *>(block.data());
        const uint8_t *const end = p + block.size();
        if (p == end)
            return;
        if (m_pendingLen) {
            // Continue the word the previous block ended in.
            const uint8_t *start = p;
            while (p != end && !d[*p])
                ++p;
            appendPending(start, size_t(p - start));
            if (p == end)
                return;
            emitPending(sink);
        }
        for (;;) {
            while (p != end && d[*p])
                ++p;
            if (p == end)
                return;
            const uint8_t *start = p;
            while (p != end && !d[*p])
                ++p;
            const size_t len = size_t(p - start);
            if (p == end) {
                // The word may go on in the next block.
                appendPending(start, len);
                return;
            }
            const size_t keyLen = len < KeyLimit ? len : KeyLimit;
            for (size_t i = 0; i < keyLen; ++i)
                m_key[i] = char(m_translate[start[i]]);
            for (size_t i = keyLen; i < keyLen + 8; ++i)
                m_key[i] = 0;
            sink(static_cast<const char *>(m_key), keyLen, uint64_t(len));
        }
    }

    // Ends the text: a word left unfinished by the last block goes to sink.
    template <class Sink>
    void finish(Sink &&sink)
    {
        if (m_pendingLen)
            emitPending(sink);
    }

private:
    void appendPending(const uint8_t *bytes, size_t n)
    {
        for (size_t i = 0; i < n && m_pendingKey < KeyLimit; ++i)
            m_pending[m_pendingKey++] = char(m_translate[bytes[i]]);
        m_pendingLen += n;
    }

    template <class Sink>
    void emitPending(Sink &&sink)
    {
        for (size_t i = m_pendingKey; i < m_pendingKey + 8; ++i)
            m_pending[i] = 0;
        const uint64_t len = m_pendingLen;
        const size_t keyLen = m_pendingKey;
        m_pendingLen = 0;
        m_pendingKey = 0;
        sink(static_cast<const char *>(m_pending), keyLen, len);
    }

    DelimiterSet m_delims;
    std::array<uint8_t, 256> m_translate{};
    char m_key[KeyLimit + 8] = {};
    char m_pending[KeyLimit + 8] = {};
    size_t m_pendingKey = 0;   // bytes kept of the unfinished word
    uint64_t m_pendingLen = 0; // its full length so far
};

} // namespace kf
