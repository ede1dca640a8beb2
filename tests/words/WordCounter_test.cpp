#include "words/WordCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>
#include <string>

using kf::WordCounter;

TEST(WordCounter, CountsDistinctKeysThroughGrowth)
{
    WordCounter counter;
    ASSERT_TRUE(counter.addExisting("old", 3));
    EXPECT_FALSE(counter.addExisting("old", 3)); // one entry per key
    auto add = [&](const std::string &w, uint64_t len) {
        char buf[WordCounter::kKeyLimit + 8] = {};
        std::copy(w.begin(), w.end(), buf);
        counter.add(buf, w.size(), len);
    };
    // Enough keys to grow the slot table several times; every key twice.
    const int n = 100000; // past the small-table path: the prefetch pipeline counts too
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < n; ++i)
            add("w" + std::to_string(i), uint64_t(pass == 0 ? 10 : 99));
    add("old", 3);
    add("", 0); // the empty key is a key like any other
    counter.flush();
    ASSERT_EQ(counter.size(), size_t(n + 2));
    EXPECT_EQ(counter.existingCount(), 1u);
    EXPECT_EQ(counter.key(0), "old");
    EXPECT_EQ(counter.count(0), 1);
    for (int i = 0; i < n; i += 997) {
        EXPECT_EQ(counter.key(size_t(i + 1)), "w" + std::to_string(i));
        EXPECT_EQ(counter.count(size_t(i + 1)), 2);
        EXPECT_EQ(counter.length(size_t(i + 1)), 10); // the length first met
    }
    EXPECT_EQ(counter.key(size_t(n + 1)), "");
    EXPECT_EQ(counter.count(size_t(n + 1)), 1);
}

TEST(WordCounter, NewKeysInByteOrder)
{
    // Unsigned byte order, a key before its longer continuations, equal first
    // eight bytes settled by the rest; keys registered as existing stay out.
    WordCounter counter;
    ASSERT_TRUE(counter.addExisting("mmm", 3));
    std::vector<std::string> keys = {"b", "", "abcdefgh", "abcdefghi", "abcdefgh\x01", "\xe9t\xe9",
                                     "abcdefg", "a", std::string(40, 'z'), std::string(39, 'z') + "y",
                                     "ABC", "zz"};
    std::mt19937 rng(3);
    for (int i = 0; i < 70000; ++i) // enough for the threaded, bucketed sort
        keys.push_back(std::to_string(rng() % 1000000) + "x" + std::string(rng() % 12, 'q'));
    auto add = [&](const std::string &w) {
        char buf[WordCounter::kKeyLimit + 8] = {};
        std::copy(w.begin(), w.end(), buf);
        counter.add(buf, w.size(), w.size());
    };
    for (const std::string &k : keys)
        add(k);
    add("mmm");
    counter.flush();
    std::vector<std::string> want(keys);
    std::sort(want.begin(), want.end());
    want.erase(std::unique(want.begin(), want.end()), want.end());
    const size_t bytes = counter.newKeyBytes();
    const std::vector<uint32_t> order = counter.takeNewInKeyOrder();
    std::vector<std::string> got;
    size_t gotBytes = 0;
    for (uint32_t at : order) {
        got.emplace_back(counter.keyAt(at));
        gotBytes += got.back().size();
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(gotBytes, bytes);
}
