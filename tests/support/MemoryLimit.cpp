#include "MemoryLimit.h"

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define KF_SANITIZED_MEMORY 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KF_SANITIZED_MEMORY 1
#endif

namespace kf::test {

namespace {

// The bytes of address space the process has mapped now.
uint64_t MappedBytes()
{
    unsigned long pages = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return uint64_t(pages) * uint64_t(sysconf(_SC_PAGESIZE));
}

} // namespace

AddressSpaceLimit::AddressSpaceLimit(uint64_t headroom)
{
    rlimit rl {};
    getrlimit(RLIMIT_AS, &rl);
    m_oldSoft = rl.rlim_cur;
    rlim_t soft = rlim_t(MappedBytes() + headroom);
    if (rl.rlim_max != RLIM_INFINITY && soft > rl.rlim_max)
        soft = rl.rlim_max;
    rl.rlim_cur = soft;
    setrlimit(RLIMIT_AS, &rl);
}

AddressSpaceLimit::~AddressSpaceLimit()
{
    rlimit rl {};
    getrlimit(RLIMIT_AS, &rl);
    rl.rlim_cur = rlim_t(m_oldSoft);
    setrlimit(RLIMIT_AS, &rl);
}

bool AddressSpaceLimit::Works()
{
#ifdef KF_SANITIZED_MEMORY
    return false;
#else
    return true;
#endif
}

} // namespace kf::test
