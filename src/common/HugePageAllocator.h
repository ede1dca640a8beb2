#pragma once
// An allocator for large arrays that are walked at random (hash indexes,
// big columns): blocks of 2 MiB and more are aligned to 2 MiB and offered to
// the kernel as huge pages, which cuts page faults and TLB misses. Smaller
// blocks come from the ordinary heap.

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

#include <sys/mman.h>

namespace kf {

template <class T> struct HugePageAllocator {
    using value_type = T;
    static constexpr size_t kHugePage = size_t(2) << 20;

    HugePageAllocator() noexcept = default;
    template <class U> HugePageAllocator(const HugePageAllocator<U> &) noexcept {}

    T *allocate(size_t n)
    {
        if (n > size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        const size_t bytes = n * sizeof(T);
        if (bytes < kHugePage)
            return static_cast<T *>(::operator new(bytes));
        const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
        void *p = std::aligned_alloc(kHugePage, rounded);
        if (!p)
            throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        ::madvise(p, rounded, MADV_HUGEPAGE); // a hint; refused is fine
#endif
        return static_cast<T *>(p);
    }
    void deallocate(T *p, size_t n) noexcept
    {
        if (n * sizeof(T) < kHugePage)
            ::operator delete(p);
        else
            std::free(p);
    }
    template <class U> bool operator==(const HugePageAllocator<U> &) const noexcept { return true; }
    template <class U> bool operator!=(const HugePageAllocator<U> &) const noexcept { return false; }
};

} // namespace kf

namespace kf {
// A vector for large arrays: huge pages once it reaches 2 MiB.
template <class T> using BigVector = std::vector<T, HugePageAllocator<T>>;
} // namespace kf
