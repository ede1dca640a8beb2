#pragma once
// Reads text files into a tally, through the reader of texts the dictionary
// scan uses too (common/TextSource): the same encodings, the same decision
// on them, a large file in two parts at once.

#include "common/CodePageDecoder.h"
#include "common/Errors.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace kf {

class CodePage;
class TTextTally;

// A count stopped by the user (TTextReadOptions::cancel).
class ECancelled : public Exception {
public:
    using Exception::Exception;
    const char *kind() const noexcept override { return "ECancelled"; }
};

// How texts are read.
struct TTextReadOptions {
    InputEncoding encoding = InputEncoding::Auto;
    // The files are dictionary files with counts: "word TAB count" lines,
    // each word counted that many times followed by a space (a line without
    // a count counts once). Such files are read by one reader.
    bool wordCounts = false;
    size_t blockSize = size_t(1) << 20;
    // Files of at least this size are read in two halves at once (threads 2;
    // on one processor too: the halves then take turns, and the result is the
    // same either way).
    uint64_t splitFrom = uint64_t(4) << 20;
    int threads = 2;
    // Bytes read so far, over all files (may be null).
    std::atomic<uint64_t> *progress = nullptr;
    // Set to stop reading: ReadTextFile then raises ECancelled (may be null).
    const std::atomic<bool> *cancel = nullptr;
    // Warnings about the files read, in words (one that looks like a binary
    // file); may be null.
    std::vector<std::string> *warnings = nullptr;
};

// Reads one text file into the tally as the dictionary generator reads it
// (Auto: a byte-order mark, else UTF-8 when the file is valid UTF-8 holding
// a non-ASCII character, else the code page; a NUL ends the text) and
// returns the encoding used. Raises EFOpenError/EInOutError for a file that
// cannot be read, EConvertError naming the file and the offset for a
// malformed one, or naming the line of a count too large to add up (nothing
// of the file counted), ECancelled when cancelled.
InputEncoding ReadTextFile(const std::string &path, const CodePage &codePage, const TTextReadOptions &options,
                           TTextTally &tally);

} // namespace kf
