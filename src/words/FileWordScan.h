#pragma once
// The dictionary builder's reading of one text file into a word counter:
// the input is read in the code page, UTF-8 or UTF-16 (see InputEncoding),
// turned into code-page bytes, cut into words and counted. A word holding a
// character the code page lacks is not counted as a word: it is tallied
// apart, by its text in UTF-8. A large file is split at a word boundary into
// two halves that are scanned at the same time and merged: the result is
// that of one pass from the first byte to the last. The file itself, its
// encoding and the two parts are common/TextSource's, which every reader of
// texts shares.

#include "common/CodePageDecoder.h"
#include "words/WordCounter.h"
#include "words/consttype.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kf {

// The words not in the code page: occurrences, and each word's count.
class UnmappableTally {
public:
    // Words kept with a count of their own; others still add to occurrences().
    static constexpr size_t kMaxDistinct = size_t(1) << 20;

    void add(const std::string &utf8Word);
    void merge(const UnmappableTally &other);
    void clear();
    uint32_t occurrences() const { return m_occurrences; }
    // The words with their counts, most frequent first, then in byte order.
    std::vector<std::pair<std::string, uint32_t>> top(size_t limit) const;

private:
    std::unordered_map<std::string, uint32_t> m_words;
    uint32_t m_occurrences = 0;
};

struct WordScanSettings {
    DelimiterSet delimiters;
    std::array<uint8_t, 256> translate{}; // lower-casing, or identity
    bool caseSensitive = false;
    InputEncoding encoding = InputEncoding::Auto;
    // The size of the blocks a file is read in.
    size_t blockSize = size_t(1) << 20;
    // Files of at least this many bytes are split across two threads (when
    // there are two processors and threads is 2).
    uint64_t splitFrom = uint64_t(16) << 20;
    int threads = 2;
    // ... when, in a first stretch scanned alone, new words make at most this
    // share of the words met.
    double splitBelowNewWordShare = 0.125;
};

// Counts what the files of one scan hold.
class FileWordScan {
public:
    // counter: the scan's counter (it may hold registered rows already).
    FileWordScan(const WordScanSettings &settings, WordCounter &counter);
    ~FileWordScan();
    FileWordScan(const FileWordScan &) = delete;
    FileWordScan &operator=(const FileWordScan &) = delete;

    // Scans one file and returns the encoding it was read in. A file that
    // cannot be read raises EFOpenError/EInOutError naming it (what was
    // counted before the failure stays); a malformed UTF-8 or UTF-16 file
    // raises EConvertError naming it and the byte offset, before anything of
    // it is counted.
    InputEncoding scanFile(const std::string &path);

    // Reads a whole text file into the code page as the scan reads it: a
    // byte-order mark, else Auto's test for UTF-8 (on two threads for a large
    // file), decides the encoding; characters the code page lacks are listed
    // in `unmapped`. Raises the errors scanFile raises.
    static DecodedText readText(const std::string &path, InputEncoding encoding, int threads = 2);

    uint32_t wordsScanned() const { return m_scanned; }
    const UnmappableTally &unmappable() const { return m_unmappable; }
    // The files scanned that look binary (a NUL byte among their first
    // bytes ends their text there), in the order scanned.
    const std::vector<std::string> &binaryFiles() const { return m_binaryFiles; }

    class Worker;
    class FileRun;

private:
    WordScanSettings m_settings;
    WordCounter &m_counter;
    uint32_t m_scanned = 0;
    UnmappableTally m_unmappable;
    std::vector<std::string> m_binaryFiles;
    std::unique_ptr<Worker> m_first, m_second;
    std::unique_ptr<WordCounter> m_secondCounter;
};

} // namespace kf
