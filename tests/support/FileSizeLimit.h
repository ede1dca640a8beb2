#pragma once
// A limit on the size of the files a process writes, as a full disk would
// set one: a write beyond the limit fails with EFBIG. SIGXFSZ is ignored under
// the limit, so the writer sees the failure instead of being killed.

#include <cstdint>
#include <functional>
#include <string>

namespace kf::test {

// The limit for this whole process while the object lives (the soft limit
// and the handling of SIGXFSZ are restored afterwards). Meant for window
// tests, where a save runs inside the event handling of the test process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    uint64_t m_oldSoft = 0;
    void (*m_oldHandler)(int) = nullptr;
};

// Sets the limit in the calling process for good; async-signal-safe, for a
// child process between fork and exec (QProcess::setChildProcessModifier).
void ApplyFileSizeLimit(uint64_t bytes);

// Runs fn in a child process under the limit and returns the text fn
// returned there; when the child ends otherwise, a text that says how.
std::string RunWithFileSizeLimit(uint64_t bytes, const std::function<std::string()> &fn);

} // namespace kf::test
