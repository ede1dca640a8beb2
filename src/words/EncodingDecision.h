#pragma once
// How the word scan reads a file as UTF-8 until proven otherwise: the
// decision one file's workers share, and one worker's counting apart while
// it reads on trust.

#include "common/CodePageDecoder.h"
#include "words/FileWordScan.h"
#include "words/WordCounter.h"
#include "words/consttype.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

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

using Splitter = BlockWordSplitter<WordCounter::kKeyLimit>;

// One worker's side of a file read as UTF-8 on trust. It is off, or it
// counts apart: from the block where the trust began, the worker's words go
// to a counter of its own, and the splitter's unfinished word at that block
// is remembered. Counting apart ends one of three ways:
// - confirm: the file is UTF-8; what was counted apart joins the scan's;
// - rollBack: the file is the code page; what was counted apart is dropped
//   and the splitter put back, so the stretch is counted again from there;
// - drop: an error ended the run; it is forgotten.
class Utf8OnTrust {
public:
    bool counting() const { return m_counting; }

    void begin(uint64_t at, const Splitter &splitter)
    {
        m_counting = true;
        m_from = at;
        m_key.assign(splitter.pendingKey());
        m_length = splitter.pendingLength();
        if (!m_counter)
            m_counter = std::make_unique<WordCounter>();
    }

    // Where the words go while counting apart.
    WordCounter &counter() { return *m_counter; }
    uint32_t &scanned() { return m_scanned; }
    UnmappableTally &tally() { return m_tally; }
    size_t distinct() const { return m_counting ? m_counter->size() : 0; }
    uint32_t scannedApart() const { return m_scanned; }

    void confirm(WordCounter &counter, uint32_t &scanned, UnmappableTally &tally)
    {
        if (!m_counting)
            return;
        m_counter->flush();
        counter.merge(*m_counter);
        scanned += m_scanned;
        tally.merge(m_tally);
        drop();
    }
    // Returns where the trust began: the stretch to count again.
    uint64_t rollBack(Splitter &splitter)
    {
        splitter.restorePending(m_key, m_length);
        const uint64_t from = m_from;
        drop();
        return from;
    }
    void drop()
    {
        m_counting = false;
        m_scanned = 0;
        m_tally.clear();
        if (m_counter)
            m_counter->clear();
    }

private:
    bool m_counting = false;
    uint64_t m_from = 0;   // the block where the trust began
    std::string m_key;     // the splitter's unfinished word there
    uint64_t m_length = 0;
    std::unique_ptr<WordCounter> m_counter;
    uint32_t m_scanned = 0;
    UnmappableTally m_tally;
};

} // namespace kf
