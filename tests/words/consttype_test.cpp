#include "words/consttype.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace kf;

namespace {

struct SplitCase {
    const char *name;
    std::string text;
    std::string delims;
    std::vector<std::string> words; // word n is words[n-1]
    std::vector<int32_t> starts;    // its 1-based start
};

std::vector<SplitCase> splitCases()
{
    return {
        {"Empty", "", " ,", {}, {}},
        {"OnlyDelimiters", " ,, ,", " ,", {}, {}},
        {"CommaCommaAbSpaceSpaceCComma", ",,ab  c,", " ,", {"ab", "c"}, {3, 7}},
        {"NoDelimiterIsOneWord", "whole-text", " ,", {"whole-text"}, {1}},
        {"EmptySetIsOneWord", "a b, c", "", {"a b, c"}, {1}},
        {"HighBytesAreWordBytes", "\xC0\xE0 \xFF", " ", {"\xC0\xE0", "\xFF"}, {1, 4}},
        {"HighByteAsDelimiter", "ab\xA0" "cd", "\xA0", {"ab", "cd"}, {1, 4}},
        {"LeadingAndTrailing", "  x  y  ", " ", {"x", "y"}, {3, 6}},
        {"NulIsAnOrdinaryByteUnlessListed", std::string("a\0b c", 5), " ",
         {std::string("a\0b", 3), "c"}, {1, 5}},
    };
}

void PrintTo(const SplitCase &c, std::ostream *os)
{
    *os << c.name;
}

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

} // namespace

TEST_P(SplitTest, HelpersAndOnePassAgree)
{
    const SplitCase &c = GetParam();
    const DelimiterSet d(c.delims);
    ASSERT_EQ(CountWords(c.text, d), int32_t(c.words.size()));
    for (size_t i = 0; i < c.words.size(); ++i) {
        EXPECT_EQ(NthWordStart(int32_t(i + 1), c.text, d), c.starts[i]) << "word " << i + 1;
        EXPECT_EQ(NthWord(int32_t(i + 1), c.text, d), c.words[i]) << "word " << i + 1;
    }
    // Outside 1..count: position 0 and the empty word.
    for (int32_t n : {0, -1, INT32_MIN, int32_t(c.words.size() + 1), INT32_MAX}) {
        EXPECT_EQ(NthWordStart(n, c.text, d), 0) << n;
        EXPECT_EQ(NthWord(n, c.text, d), "") << n;
    }
    const auto split = SplitWords(c.text, d);
    ASSERT_EQ(split.size(), c.words.size());
    for (size_t i = 0; i < split.size(); ++i)
        EXPECT_EQ(split[i], c.words[i]);
}

INSTANTIATE_TEST_SUITE_P(Examples, SplitTest, ::testing::ValuesIn(splitCases()),
                         [](const auto &caseInfo) { return std::string(caseInfo.param.name); });

// Random texts over a small alphabet: the one-pass split, the block splitter
// fed in random pieces, and the CountWords/NthWord definition all agree.
TEST(WordSplitting, OnePassAndBlockSplitterMatchDefinition)
{
    std::mt19937 rng(12345);
    const std::string alphabet = "ab ,\xE9Z-";
    const DelimiterSet d(" ,");
    std::array<uint8_t, 256> upper{};
    for (int i = 0; i < 256; ++i)
        upper[size_t(i)] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
    for (int round = 0; round < 400; ++round) {
        std::string text(rng() % 400, ' ');
        for (char &ch : text)
            ch = alphabet[rng() % alphabet.size()];

        std::vector<std::string> expected;
        const int32_t count = CountWords(text, d);
        for (int32_t n = 1; n <= count; ++n)
            expected.push_back(NthWord(n, text, d));

        std::vector<std::string> onePass;
        ForEachWord(text, d, [&](std::string_view w) { onePass.emplace_back(w); });
        EXPECT_EQ(onePass, expected) << text;

        // Block splitter with a key limit of 3 bytes and upper-casing.
        BlockWordSplitter<3> splitter(d, &upper);
        std::vector<std::pair<std::string, uint64_t>> blocks;
        auto sink = [&](const char *key, size_t keyLen, uint64_t len) {
            volatile char after = key[3 + 7]; // readable up to the key limit + 8
            (void)after;
            blocks.emplace_back(std::string(key, keyLen), len);
        };
        size_t pos = 0;
        while (pos < text.size()) {
            const size_t sizes[] = {rng() % 7, rng() % 150, 64, 128};
            const size_t piece = std::min<size_t>(sizes[rng() % 4], text.size() - pos);
            splitter.feed(std::string_view(text).substr(pos, piece), sink);
            pos += piece;
        }
        splitter.finish(sink);
        ASSERT_EQ(blocks.size(), expected.size()) << text;
        for (size_t i = 0; i < expected.size(); ++i) {
            std::string key = expected[i].substr(0, 3);
            for (char &ch : key)
                ch = char(upper[uint8_t(ch)]);
            EXPECT_EQ(blocks[i].first, key) << text;
            EXPECT_EQ(blocks[i].second, expected[i].size()) << text;
        }
    }
}

TEST(WordSplitting, BlockSplitterKeepsOnlyThePrefixOfAHugeWord)
{
    const DelimiterSet d(" ");
    BlockWordSplitter<40> splitter(d);
    std::vector<std::pair<std::string, uint64_t>> words;
    auto sink = [&](const char *key, size_t keyLen, uint64_t len) {
        words.emplace_back(std::string(key, keyLen), len);
    };
    const std::string block(1 << 20, 'x');
    splitter.feed("a ", sink);
    for (int i = 0; i < 64; ++i) // a 64 MiB word
        splitter.feed(block, sink);
    splitter.feed(" b", sink);
    splitter.finish(sink);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], std::make_pair(std::string("a"), uint64_t(1)));
    EXPECT_EQ(words[1], std::make_pair(std::string(40, 'x'), uint64_t(64) << 20));
    EXPECT_EQ(words[2], std::make_pair(std::string("b"), uint64_t(1)));
}
