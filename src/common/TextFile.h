#pragma once
// Text files as the program reads and writes them: the whole file is read and
// cut into lines at CR LF, a lone CR and a lone LF; a NUL byte ends the text;
// a final line break makes no empty last line; no byte-order mark is read.
// Written text ends every line, the last too, with CR LF.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

// Files larger than this are refused by readFileBytes (a guard against a
// hostile or mistaken choice of file).
constexpr uint64_t kMaxTextFileBytes = uint64_t(2) << 30;

// Reads a whole file; throws EFOpenError naming the file when it cannot be
// opened or is larger than maxBytes, EInOutError when reading it fails.
std::string readFileBytes(const std::string &path, uint64_t maxBytes = kMaxTextFileBytes);

// The text before the first NUL byte.
std::string_view textBeforeNul(std::string_view bytes);

// Calls take(from, to) for each line of text, [from, to) without its line
// break: CR LF, a lone CR and a lone LF each end a line, and a break at the
// very end makes no empty last line. The NUL rule is the caller's: text is
// cut as it is given. The one line cutter of the program; splitLines and the
// decoded readers use it.
template <class Take>
void forEachLine(std::string_view text, Take &&take)
{
    size_t start = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            take(start, i);
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        take(start, n);
}

// Cuts text into lines by the rules above (including the NUL rule).
std::vector<std::string> splitLines(std::string_view bytes);

// readFileBytes + splitLines.
std::vector<std::string> readTextLines(const std::string &path);

// Every line followed by CR LF.
std::string joinLinesCrLf(const std::vector<std::string> &lines);

// Writes bytes to a file, replacing it in one step (see ReplacingFile): a
// failed write leaves any file at path as it was. Throws EFCreateError
// naming the file.
void writeFileBytes(const std::string &path, std::string_view bytes);

// joinLinesCrLf + writeFileBytes.
void writeTextLines(const std::string &path, const std::vector<std::string> &lines);

} // namespace kf
