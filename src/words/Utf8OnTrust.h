#pragma once
// How the word scan reads a file as UTF-8 until proven otherwise: one
// worker's counting apart while it reads on trust (the decision itself is
// common/EncodingDecision.h, shared with the other readers of texts).

#include "common/CodePageDecoder.h"
#include "common/EncodingDecision.h"
#include "words/FileWordScan.h"
#include "words/WordCounter.h"
#include "words/consttype.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kf {

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
