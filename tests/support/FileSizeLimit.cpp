#include "FileSizeLimit.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kf::test {

FileSizeLimit::FileSizeLimit(uint64_t bytes)
{
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit rl {};
    getrlimit(RLIMIT_FSIZE, &rl);
    m_oldSoft = rl.rlim_cur;
    rl.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &rl);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit rl {};
    getrlimit(RLIMIT_FSIZE, &rl);
    rl.rlim_cur = rlim_t(m_oldSoft);
    setrlimit(RLIMIT_FSIZE, &rl);
    std::signal(SIGXFSZ, m_oldHandler);
}

void ApplyFileSizeLimit(uint64_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit rl {};
    getrlimit(RLIMIT_FSIZE, &rl);
    rl.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &rl);
}

std::string RunWithFileSizeLimit(uint64_t bytes, const std::function<std::string()> &fn)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return "fork failed";
    }
    if (pid == 0) {
        close(fds[0]);
        ApplyFileSizeLimit(bytes);
        std::string text;
        try {
            text = fn();
        } catch (...) {
            text = "the child ended by an exception";
        }
        const char *p = text.data();
        size_t left = text.size();
        while (left > 0) {
            const ssize_t n = write(fds[1], p, left);
            if (n <= 0)
                break;
            p += n;
            left -= size_t(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0)
            text.append(buf, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child was killed or failed (status " + std::to_string(status) + ")";
    return text;
}

} // namespace kf::test
