#include "common/TextFile.h"
#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/LibraryErrors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace kf {

namespace {
struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string reason()
{
    return SystemErrorText(errno);
}
} // namespace

std::string readFileBytes(const std::string &path, uint64_t maxBytes)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        RaiseCannotOpenFile(path, reason());
    if (S_ISDIR(st.st_mode))
        RaiseCannotOpenFile(path, IsFolderText());
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f)
        RaiseCannotOpenFile(path, reason());
    if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > maxBytes)
        RaiseCannotOpenFile(path, FileTooLargeText());
    std::string data;
    if (S_ISREG(st.st_mode))
        data.reserve(size_t(st.st_size));
    char buf[1 << 16];
    for (;;) {
        const size_t n = std::fread(buf, 1, sizeof buf, f.get());
        if (n > 0) {
            if (data.size() + n > maxBytes)
                RaiseCannotOpenFile(path, FileTooLargeText());
            data.append(buf, n);
        }
        if (n < sizeof buf) {
            if (std::ferror(f.get()))
                RaiseCannotReadFile(path, reason());
            break;
        }
    }
    return data;
}

std::string_view textBeforeNul(std::string_view bytes)
{
    const size_t nul = bytes.find('\0');
    return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

std::vector<std::string> splitLines(std::string_view bytes)
{
    const std::string_view text = textBeforeNul(bytes);
    std::vector<std::string> lines;
    forEachLine(text, [&](size_t from, size_t to) { lines.emplace_back(text.substr(from, to - from)); });
    return lines;
}

std::vector<std::string> readTextLines(const std::string &path)
{
    return splitLines(readFileBytes(path));
}

std::string joinLinesCrLf(const std::vector<std::string> &lines)
{
    size_t total = 0;
    for (const auto &l : lines)
        total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto &l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void writeFileBytes(const std::string &path, std::string_view bytes)
{
    ReplacingFile::writeWhole(path, bytes);
}

void writeTextLines(const std::string &path, const std::vector<std::string> &lines)
{
    writeFileBytes(path, joinLinesCrLf(lines));
}

} // namespace kf
