#pragma once
// The dictionary builder: scans text files into the word-list table, counts
// every distinct word, and sorts, filters, purges and saves the list. The
// dictionary window binds its grid to WordListDS() and turns its actions into
// these operations; the command line drives the same operations.

#include "common/CodePageDecoder.h"
#include "table/RecordTable.h"
#include "words/consttype.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class UnmappableTally;

class TDicBuilder {
public:
    static constexpr const char *kDefaultAdditionalDelimiters = "?!|<>";
    static constexpr int kWordSize = 40; // Word keeps at most this many bytes
    // The bytes that always separate words: the control bytes below the space,
    // space, quotes, brackets, , . : ; / and backslash.
    static DelimiterSet StandardDelimiters();
    // The standard delimiters plus every byte of the additional text.
    static DelimiterSet Delimiters(std::string_view additional);

    TDicBuilder();
    ~TDicBuilder();
    TDicBuilder(const TDicBuilder &) = delete;
    TDicBuilder &operator=(const TDicBuilder &) = delete;

    // The word list: Word (text of at most 40), Count, Len; orders WordIndex
    // (Word) and CountIndex (Count descending, then Word). Change log off.
    TRecordTable &WordListDS() { return m_table; }
    const TRecordTable &WordListDS() const { return m_table; }

    // Words met in all scans since creation or the last ClearWordlist, those
    // not in the code page included.
    uint32_t WordsScanned() const { return m_wordsScanned; }
    // Of them, the words holding a character the code page lacks: they are
    // not listed.
    uint32_t UnmappableWords() const;
    // Those words in UTF-8 (lower-cased unless the scan was case-sensitive,
    // kept to their first 40 characters) with their counts, most frequent
    // first, then in byte order; at most limit of them.
    std::vector<std::pair<std::string, uint32_t>> TopUnmappableWords(size_t limit = SIZE_MAX) const;

    // How the files of the next scans are read (default Auto).
    void SetInputEncoding(InputEncoding encoding) { m_encoding = encoding; }
    InputEncoding GetInputEncoding() const { return m_encoding; }
    // The encoding each file of the last scan was read in, in order (as far
    // as the scan got).
    const std::vector<InputEncoding> &LastScanEncodings() const { return m_lastEncodings; }
    // The files of the last scan that look like binary files (a NUL byte
    // among their first bytes ends their text there), in order.
    const std::vector<std::string> &LastScanBinaryFiles() const { return m_lastBinaryFiles; }

    // How scans read (for tests and benchmarks): block size, and from what
    // size a file is split across two threads (threads 1: never), which
    // happens when new words make at most the given share of the words in a
    // first stretch of it (1: always).
    struct ScanTuning {
        size_t blockSize = size_t(1) << 20;
        uint64_t splitFrom = uint64_t(16) << 20;
        int threads = 2;
        double splitBelowNewWordShare = 0.125;
    };
    void SetScanTuning(const ScanTuning &tuning) { m_tuning = tuning; }
    // Rows passing the active filter.
    int32_t WordCount() const { return m_table.RecordCount(); }

    // Scans the files in order into the table, adding to what it holds, and
    // returns the elapsed milliseconds. Each file is read as the input
    // encoding says and turned into the code page first; words are
    // lower-cased through the code page's table unless caseSensitive. A file
    // that cannot be read raises EFOpenError/EInOutError naming it; the words
    // counted before stay. A file that is not valid UTF-8 (or UTF-16) where
    // it is read as such raises EConvertError naming it and the byte offset;
    // nothing of that file is counted, the files before it are.
    // Afterwards the order is WordIndex and the first listed row is current.
    uint32_t MakeWordList(const std::vector<std::string> &paths, bool caseSensitive,
                          const std::string &additionalDelimiters);

    // Orders. Frequency and alpha make the first listed row current; the
    // length order keeps the current row.
    void SortByFrequency();
    void SortByAlpha();
    void SortByLen();

    // Deletes every listed row whose Word holds a digit 0-9; rows hidden by
    // the filter stay. The first listed row is current afterwards.
    void KickoutDigits();
    // Deletes the given rows (those already gone are skipped). The caller
    // empties its selection.
    void DeleteSelected(const std::vector<TBookmark> &selected);
    // Deletes all rows (hidden ones too) and sets WordsScanned to 0; the order
    // and the filter stay.
    void ClearWordlist();

    // Writes the listed words in the current order, one a line, CR LF after
    // each; an empty list gives an empty file. Raises EFCreateError.
    void SaveWordlist(const std::string &path) const;
    // The same rows as "word TAB count" lines (a frequency list).
    void SaveFrequencyList(const std::string &path) const;

    // Filters: only rows with min <= Len (or Count) <= max are listed. One
    // filter at a time; ListAll switches filtering off and keeps the expression.
    void FilterWordLength(int32_t min, int32_t max);
    void FilterFrequency(int32_t min, int32_t max);
    void ListAll();

private:
    class Scan;
    void writeListed(const std::string &path, bool withCounts) const;

    TRecordTable m_table;
    uint32_t m_wordsScanned = 0;
    InputEncoding m_encoding = InputEncoding::Auto;
    ScanTuning m_tuning;
    std::vector<InputEncoding> m_lastEncodings;
    std::vector<std::string> m_lastBinaryFiles;
    std::unique_ptr<UnmappableTally> m_unmappable;
    int m_wordField = 0;
    int m_countField = 1;
    int m_lenField = 2;
};

} // namespace kf
