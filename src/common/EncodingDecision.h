#pragma once
// How a reader of texts reads a file as UTF-8 until proven otherwise: the
// decision that the readers of one file's parts share.

#include "common/CodePageDecoder.h"

#include <atomic>

namespace kf {

// The encoding of one file, decided once for every worker. A file read as
// Auto without a byte-order mark stays undecided while only ASCII is met,
// which reads the same either way. At the first other byte it is taken for
// UTF-8 on trust ("speculative"): the workers decode on, counting apart what
// they count from then on. A malformed sequence anywhere makes it the code
// page, and the workers count that stretch again as code-page bytes; when
// none turns up, what they counted apart joins the rest. Valid UTF-8 is thus
// read once, and a code-page text (whose first byte above 127 is almost
// always malformed UTF-8) is hardly read twice.
//
// What the text holds decides in text order: a NUL ends the text, and what
// follows it decides nothing. So the part after the cut of a split scan
// decides for itself; a malformed sequence in the earlier part (which stops
// at its NUL) decides for the later one too, and the two verdicts are put
// together once both are done.
//
// The states: undecided --speculate--> speculative --malformed--> code page;
// at the end (settle) speculative becomes UTF-8 and undecided the code page.
// A file given as code page, UTF-8 or UTF-16 starts decided and stays so.
class EncodingDecision {
public:
    static constexpr int kUndecided = -1;
    static constexpr int kSpeculative = -2;

    // earlier: the decision of the text before this part, if any.
    explicit EncodingDecision(int encoding, const EncodingDecision *earlier = nullptr)
        : m_encoding(encoding), m_earlier(earlier)
    {
    }

    int current() const
    {
        if (m_earlier && m_earlier->current() == int(InputEncoding::CodePage))
            return int(InputEncoding::CodePage);
        return m_encoding.load(std::memory_order_acquire);
    }

    // Takes in the verdict of the part that follows this one in the text,
    // once both are done and this one did not end the text.
    void follow(const EncodingDecision &later)
    {
        const int own = current();
        const int next = later.current();
        if (own == kUndecided && next != kUndecided)
            m_encoding.store(next, std::memory_order_release);
        else if (own == kSpeculative && next == int(InputEncoding::CodePage))
            malformed();
    }

    // Undecided becomes speculative UTF-8; returns what is in force.
    int speculate()
    {
        int expected = kUndecided;
        m_encoding.compare_exchange_strong(expected, kSpeculative, std::memory_order_acq_rel);
        return current();
    }
    // A malformed sequence turned up: the code page.
    void malformed()
    {
        int expected = kSpeculative;
        m_encoding.compare_exchange_strong(expected, int(InputEncoding::CodePage), std::memory_order_acq_rel);
    }
    // The scan is over without a malformed sequence.
    void settle()
    {
        int expected = kSpeculative;
        m_encoding.compare_exchange_strong(expected, int(InputEncoding::Utf8), std::memory_order_acq_rel);
        expected = kUndecided;
        m_encoding.compare_exchange_strong(expected, int(InputEncoding::CodePage), std::memory_order_acq_rel);
    }

private:
    std::atomic<int> m_encoding;
    const EncodingDecision *m_earlier;
};

} // namespace kf
