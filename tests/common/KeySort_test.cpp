// The bucketed sort against std::sort, on inputs that take each of its paths.

#include "common/KeySort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

struct Rec {
    uint64_t lead;
    uint32_t tie; // decides between equal leads, as a full comparison would
    uint32_t id;
    bool operator==(const Rec &o) const { return lead == o.lead && tie == o.tie && id == o.id; }
};

bool Less(const Rec &a, const Rec &b)
{
    if (a.lead != b.lead)
        return a.lead < b.lead;
    if (a.tie != b.tie)
        return a.tie < b.tie;
    return a.id < b.id;
}

struct Case {
    const char *name;
    size_t n;
    std::vector<Rec> (*make)(size_t n, std::mt19937_64 &rng);
};

std::vector<Rec> Random(size_t n, std::mt19937_64 &rng)
{
    std::vector<Rec> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = {rng(), uint32_t(rng()), uint32_t(i)};
    return v;
}

// Text-like keys: a handful of first bytes, many equal leads settled by the tie.
std::vector<Rec> FewLeads(size_t n, std::mt19937_64 &rng)
{
    std::vector<Rec> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = {(uint64_t('a' + rng() % 3) << 56) | (rng() % 4), uint32_t(rng() % 1000), uint32_t(i)};
    return v;
}

std::vector<Rec> OneLead(size_t n, std::mt19937_64 &rng)
{
    std::vector<Rec> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = {42, uint32_t(rng()), uint32_t(i)};
    return v;
}

std::vector<Rec> Sorted(size_t n, std::mt19937_64 &rng)
{
    std::vector<Rec> v = Random(n, rng);
    std::sort(v.begin(), v.end(), Less);
    return v;
}

std::vector<Rec> TwoRuns(size_t n, std::mt19937_64 &rng)
{
    std::vector<Rec> v = Random(n, rng);
    std::sort(v.begin(), v.begin() + std::ptrdiff_t(n / 3), Less);
    std::sort(v.begin() + std::ptrdiff_t(n / 3), v.end(), Less);
    return v;
}

std::vector<Rec> Reversed(size_t n, std::mt19937_64 &rng)
{
    std::vector<Rec> v = Sorted(n, rng);
    std::reverse(v.begin(), v.end());
    return v;
}

// Small integers, as a count column gives: a narrow range of leads.
std::vector<Rec> NarrowRange(size_t n, std::mt19937_64 &rng)
{
    std::vector<Rec> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = {0x80000001ull + rng() % 50, uint32_t(rng() % 7), uint32_t(i)};
    return v;
}

} // namespace

TEST(KeySort, MatchesStdSort)
{
    const Case cases[] = {
        {"empty", 0, Random},          {"one", 1, Random},
        {"small", 100, Random},        {"random", 200000, Random},
        {"few leads", 150000, FewLeads}, {"one lead", 100000, OneLead},
        {"sorted", 100000, Sorted},    {"two runs", 100000, TwoRuns},
        {"reversed", 100000, Reversed}, {"narrow range", 120000, NarrowRange},
        {"two runs, small", 50, TwoRuns},
    };
    std::mt19937_64 rng(7);
    for (const Case &c : cases) {
        std::vector<Rec> got = c.make(c.n, rng);
        std::vector<Rec> want = got;
        std::sort(want.begin(), want.end(), Less);
        kf::SortByLeadingKey(got.begin(), got.end(), [](const Rec &r) { return r.lead; }, Less);
        EXPECT_TRUE(got == want) << c.name;
    }
}
