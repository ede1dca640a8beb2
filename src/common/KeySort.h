#pragma once
// Sorting of records that carry a 64-bit leading key, for large tables.
//
// `lead(rec)` gives the leading key and `less(a, b)` the full strict order,
// which must agree with it: lead(a) < lead(b) implies less(a, b). Input that
// is already in order, or that is two ordered runs (old rows, then rows
// added in order), is recognised and finished in linear time. Anything else
// is spread, in place, into 256 buckets by the leading key's highest varying
// bits, bucket by bucket down to small ones, which are sorted with `less`; on
// two threads when there are many records. `less` must not throw and must be
// safe to call from two threads at once (it only reads).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace kf {

namespace keysort {
constexpr size_t kSortFrom = 2048;      // fewer records: a plain sort
constexpr size_t kThreadsFrom = 65536;  // fewer records: one thread
constexpr int kBucketBits = 8;          // 256 buckets: their fronts stay in cache

// Runs first and second at once, second on a thread of its own when one can
// be had.
template <class A, class B> void Both(bool parallel, A &&first, B &&second)
{
    if (parallel) {
        std::thread other;
        try {
            other = std::thread(second);
        } catch (...) {
            // no thread to be had: do both here
        }
        first();
        if (other.joinable()) {
            other.join();
            return;
        }
    } else {
        first();
    }
    second();
}

// Sorts [first, last): records are moved, in place, into 256 buckets by the
// highest varying bits of their leading keys, and each bucket is sorted the
// same way until it is small or its leading keys are all equal. With
// `parallel` the buckets are shared out between two threads.
template <class It, class Lead, class Less>
void Range(It first, It last, Lead &lead, Less &less, bool parallel)
{
    const size_t n = size_t(last - first);
    if (n < kSortFrom) {
        std::sort(first, last, less);
        return;
    }
    uint64_t lo = lead(*first), hi = lo;
    for (It it = first; it != last; ++it) {
        const uint64_t k = lead(*it);
        lo = k < lo ? k : lo;
        hi = k > hi ? k : hi;
    }
    if (lo == hi) {
        // One leading key throughout: halves side by side, then merged.
        const It mid = first + std::ptrdiff_t(n / 2);
        Both(parallel, [&] { std::sort(first, mid, less); }, [&] { std::sort(mid, last, less); });
        std::inplace_merge(first, mid, last, less);
        return;
    }
    const int width = 64 - __builtin_clzll(hi - lo);
    const int shift = width > kBucketBits ? width - kBucketBits : 0;
    const size_t buckets = size_t((hi - lo) >> shift) + 1;
    size_t start[(size_t(1) << kBucketBits) + 1] = {};
    for (It it = first; it != last; ++it)
        ++start[size_t((lead(*it) - lo) >> shift) + 1];
    for (size_t b = 0; b < buckets; ++b)
        start[b + 1] += start[b];
    size_t next[size_t(1) << kBucketBits];
    std::copy(start, start + buckets, next);
    for (size_t b = 0; b < buckets; ++b) {
        while (next[b] < start[b + 1]) {
            const size_t to = size_t((lead(first[std::ptrdiff_t(next[b])]) - lo) >> shift);
            if (to == b)
                ++next[b];
            else
                std::swap(first[std::ptrdiff_t(next[b])], first[std::ptrdiff_t(next[to]++)]);
        }
    }
    const auto sortBuckets = [&](size_t from, size_t to) {
        for (size_t b = from; b < to; ++b)
            if (start[b + 1] - start[b] > 1)
                Range(first + std::ptrdiff_t(start[b]), first + std::ptrdiff_t(start[b + 1]), lead, less, false);
    };
    // The first bucket that starts in the second half of the records.
    size_t split = 0;
    while (split < buckets && start[split] < n / 2)
        ++split;
    Both(parallel, [&] { sortBuckets(0, split); }, [&] { sortBuckets(split, buckets); });
}
} // namespace keysort

template <class It, class Lead, class Less> void SortByLeadingKey(It first, It last, Lead lead, Less less)
{
    const size_t n = size_t(last - first);
    if (n < 2)
        return;
    // Already in order, or two ordered runs.
    size_t i = 1;
    while (i < n && !less(first[std::ptrdiff_t(i)], first[std::ptrdiff_t(i - 1)]))
        ++i;
    if (i == n)
        return;
    size_t j = i + 1;
    while (j < n && !less(first[std::ptrdiff_t(j)], first[std::ptrdiff_t(j - 1)]))
        ++j;
    if (j == n) {
        std::inplace_merge(first, first + std::ptrdiff_t(i), last, less);
        return;
    }
    const bool parallel = n >= keysort::kThreadsFrom && std::thread::hardware_concurrency() > 1;
    keysort::Range(first, last, lead, less, parallel);
}

} // namespace kf
