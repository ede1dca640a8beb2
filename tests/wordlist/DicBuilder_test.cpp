#include "wordlist/DicBuilder.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace kf;
namespace fs = std::filesystem;

namespace {

using Row = std::tuple<std::string, int32_t, int32_t>; // Word, Count, Len
using Rows = std::vector<Row>;

// The listed rows in the current order.
Rows listed(TDicBuilder &b)
{
    TRecordTable &t = b.WordListDS();
    const int w = t.FindFieldIndex("Word"), c = t.FindFieldIndex("Count"),
              l = t.FindFieldIndex("Len");
    Rows rows;
    for (int i = 0; i < t.RecordCount(); ++i)
        rows.emplace_back(t.FieldValueAt(i, w).bytes(), t.FieldValueAt(i, c).integer(),
                          t.FieldValueAt(i, l).integer());
    return rows;
}

std::vector<std::string> listedWords(TDicBuilder &b)
{
    std::vector<std::string> words;
    for (const Row &r : listed(b))
        words.push_back(std::get<0>(r));
    return words;
}

std::string currentWord(TDicBuilder &b)
{
    return b.WordListDS().FieldByName("Word").AsString();
}

class TempFiles {
public:
    TempFiles()
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::path(::testing::TempDir()) /
                ("dicbuilder_" + std::string(info->test_suite_name()) + "_" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    ~TempFiles() { fs::remove_all(m_dir); }

    std::string write(const std::string &name, const std::string &bytes)
    {
        const std::string p = path(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    std::string path(const std::string &name) const { return (m_dir / name).string(); }
    std::string read(const std::string &name) const { return readFileBytes(path(name)); }

private:
    fs::path m_dir;
};

struct ScanCase {
    const char *name;
    std::string text;
    bool caseSensitive;
    std::string additional;
    Rows rows; // in WordIndex order
    uint32_t scanned;
};

void PrintTo(const ScanCase &c, std::ostream *os)
{
    *os << c.name;
}

const std::string k40(40, 'q');

std::vector<ScanCase> scanCases()
{
    const std::string std = TDicBuilder::kDefaultAdditionalDelimiters;
    return {
        {"CaseInsensitive", "The cat saw the CAT.", false, std,
         {{"cat", 2, 3}, {"saw", 1, 3}, {"the", 2, 3}}, 5},
        {"CaseSensitive", "The cat saw the CAT.", true, std,
         {{"CAT", 1, 3}, {"The", 1, 3}, {"cat", 1, 3}, {"saw", 1, 3}, {"the", 1, 3}}, 5},
        {"ApostropheSplitsHyphenDoesNot", "don't well-known", false, std,
         {{"don", 1, 3}, {"t", 1, 1}, {"well-known", 1, 10}}, 3},
        {"DefaultAdditionalDelimiters", "why? why!", false, std, {{"why", 2, 3}}, 2},
        {"NoAdditionalDelimiters", "why? why!", false, "", {{"why!", 1, 4}, {"why?", 1, 4}}, 2},
        {"LetterAsDelimiter", "banana", false, "n", {{"a", 2, 1}, {"ba", 1, 2}}, 3},
        {"WordsCutTo40BytesLenBeforeCut", k40 + "x " + k40 + "yz " + k40, false, std,
         {{k40, 3, 41}}, 3},
        {"LinesTabsAndControlBytes", "a\tb\r\nc\rd\ne\x01" "f\x7Fg", false, std,
         {{"a", 1, 1}, {"b", 1, 1}, {"c", 1, 1}, {"d", 1, 1}, {"e", 1, 1}, {"f\x7Fg", 1, 3}},
         6},
        {"NulEndsTheText", std::string("one two\0three", 13), false, std,
         {{"one", 1, 3}, {"two", 1, 3}}, 2},
        {"AllStandardDelimiters", "a\"b'c`d(e)f[g]h{i}j,k.l:m;n/o\\p q", false, "",
         {{"a", 1, 1}, {"b", 1, 1}, {"c", 1, 1}, {"d", 1, 1}, {"e", 1, 1}, {"f", 1, 1},
          {"g", 1, 1}, {"h", 1, 1}, {"i", 1, 1}, {"j", 1, 1}, {"k", 1, 1}, {"l", 1, 1},
          {"m", 1, 1}, {"n", 1, 1}, {"o", 1, 1}, {"p", 1, 1}, {"q", 1, 1}},
         17},
        {"DigitsAndHighBytesAreWordBytes", "2006 caf\xC9 CAF\xC9", false, std,
         {{"2006", 1, 4}, {"caf\xE9", 2, 4}}, 3},
        {"EmptyText", "", false, std, {}, 0},
        {"OnlyDelimiters", " ,.;\r\n\r\n", false, std, {}, 0},
    };
}

class ScanTest : public ::testing::TestWithParam<ScanCase> {
protected:
    void SetUp() override
    {
        ::setenv("KEYFOLIO_CODEPAGE", "CP1252", 1);
        CodePage::reload();
    }
};

} // namespace

TEST_P(ScanTest, CountsWords)
{
    const ScanCase &c = GetParam();
    TempFiles files;
    TDicBuilder b;
    b.MakeWordList({files.write("in.txt", c.text)}, c.caseSensitive, c.additional);
    EXPECT_EQ(listed(b), c.rows);
    EXPECT_EQ(b.WordsScanned(), c.scanned);
    EXPECT_EQ(b.WordCount(), int32_t(c.rows.size()));
}

INSTANTIATE_TEST_SUITE_P(Lines, ScanTest, ::testing::ValuesIn(scanCases()),
                         [](const auto &caseInfo) { return std::string(caseInfo.param.name); });

TEST(DicBuilder, ScansAccumulateAndResetTheOrder)
{
    TempFiles files;
    const std::string a = files.write("a.txt", "The cat saw the CAT.\r\n");
    const std::string b2 = files.write("b.txt", "zebra zebra zebra zebra\r\n");
    TDicBuilder b;
    b.MakeWordList({a, a}, false, "?!|<>");
    EXPECT_EQ(listed(b), (Rows{{"cat", 4, 3}, {"saw", 2, 3}, {"the", 4, 3}}));
    EXPECT_EQ(b.WordsScanned(), 10u);

    b.SortByFrequency();
    b.FilterFrequency(4, 100);
    // The filter hides "saw" and "zebra" is new: one row per word either way.
    b.MakeWordList({b2, a}, true, "?!|<>");
    EXPECT_EQ(b.WordListDS().IndexName(), "WordIndex");
    EXPECT_EQ(b.WordsScanned(), 19u);
    EXPECT_EQ(currentWord(b), "cat"); // the first listed row
    EXPECT_TRUE(b.WordListDS().Filtered());
    EXPECT_EQ(listedWords(b), (std::vector<std::string>{"cat", "the", "zebra"}));
    b.ListAll();
    EXPECT_EQ(listed(b), (Rows{{"CAT", 1, 3}, {"The", 1, 3}, {"cat", 5, 3}, {"saw", 3, 3},
                               {"the", 5, 3}, {"zebra", 4, 5}}));
}

TEST(DicBuilder, WordAcrossBlockBoundariesAndHugeWords)
{
    TempFiles files;
    // Words that straddle the reader's 1 MiB blocks, and a 3 MiB word.
    std::string text;
    for (int i = 0; text.size() < (size_t(5) << 20); ++i)
        text += "alpha beta gamma-delta ";
    const size_t words = 3 * (text.size() / 23);
    text += std::string(size_t(3) << 20, 'W') + " tail";
    TDicBuilder b;
    b.MakeWordList({files.write("big.txt", text)}, true, "");
    EXPECT_EQ(listed(b), (Rows{{std::string(40, 'W'), 1, 3 << 20},
                               {"alpha", int32_t(words / 3), 5},
                               {"beta", int32_t(words / 3), 4},
                               {"gamma-delta", int32_t(words / 3), 11},
                               {"tail", 1, 4}}));
    EXPECT_EQ(b.WordsScanned(), uint32_t(words + 2));
}

TEST(DicBuilder, ManyDistinctWords)
{
    // Enough distinct words to take the counter past its small-table path.
    TempFiles files;
    const int n = 100000;
    std::string a, b;
    for (int i = 0; i < n; ++i) {
        a += "w" + std::to_string(i) + " ";
        b += "w" + std::to_string(n - 1 - i) + "\r\n";
    }
    TDicBuilder builder;
    builder.MakeWordList({files.write("a.txt", a), files.write("b.txt", b)}, false, "");
    builder.MakeWordList({files.path("a.txt")}, false, "");
    ASSERT_EQ(builder.WordCount(), n);
    EXPECT_EQ(builder.WordsScanned(), uint32_t(3 * n));
    const Rows rows = listed(builder);
    for (const Row &r : rows)
        ASSERT_EQ(std::get<1>(r), 3) << std::get<0>(r);
    EXPECT_EQ(rows.front(), Row("w0", 3, 2));
    EXPECT_EQ(rows.back(), Row("w99999", 3, 6));
}

TEST(DicBuilder, ScansOfRandomTextsMatchAPlainCount)
{
    // Three scans, each bringing new words among old ones, under the word
    // order and then the frequency order; every listed row against a plain
    // map. Long words share their first 40 bytes, so they meet in one row.
    TempFiles files;
    std::mt19937 rng(11);
    std::map<std::string, std::pair<int32_t, int32_t>> want; // word -> count, first length
    TDicBuilder builder;
    uint32_t scanned = 0;
    for (int scan = 0; scan < 3; ++scan) {
        std::string text;
        for (int i = 0; i < 30000; ++i) {
            std::string w;
            switch (rng() % 4) {
            case 0: w = "w" + std::to_string(rng() % (5000 * (scan + 1))); break;
            case 1: w = std::string(40, 'L') + std::string(1 + rng() % 3, 'x'); break;
            case 2: w = "\xe9" + std::to_string(rng() % 100000); break;
            default: w = "common"; break;
            }
            text += w + (rng() % 7 ? " " : "\r\n");
            const std::string key = w.substr(0, 40);
            auto it = want.find(key);
            if (it == want.end())
                want[key] = {1, int32_t(w.size())};
            else
                ++it->second.first;
            ++scanned;
        }
        if (scan == 2)
            builder.SortByFrequency();
        builder.MakeWordList({files.write("t" + std::to_string(scan) + ".txt", text)}, true, "");
        Rows expected;
        for (const auto &[word, cl] : want)
            expected.emplace_back(word, cl.first, cl.second);
        EXPECT_EQ(listed(builder), expected) << "scan " << scan;
        EXPECT_EQ(builder.WordsScanned(), scanned);
    }
}

TEST(DicBuilder, UnreadableFileKeepsWhatWasCounted)
{
    TempFiles files;
    const std::string good = files.write("good.txt", "kept words kept");
    const std::string missing = files.path("vanished.txt");
    fs::create_directories(files.path("folder"));
    for (const std::string &bad : {missing, files.path("folder")}) {
        TDicBuilder b;
        try {
            b.MakeWordList({good, bad, good}, false, "");
            FAIL() << "no error for " << bad;
        } catch (const EInOutError &e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
        EXPECT_EQ(listed(b), (Rows{{"kept", 2, 4}, {"words", 1, 5}}));
        EXPECT_EQ(b.WordsScanned(), 3u);
        // The table is usable afterwards: observers back on, a scan adds.
        EXPECT_FALSE(b.WordListDS().ControlsDisabled());
        b.MakeWordList({good}, false, "");
        EXPECT_EQ(b.WordsScanned(), 6u);
    }
}

TEST(DicBuilder, EmptyFileAddsNothing)
{
    TempFiles files;
    TDicBuilder b;
    b.MakeWordList({files.write("empty.txt", "")}, false, "");
    EXPECT_EQ(b.WordCount(), 0);
    EXPECT_EQ(b.WordsScanned(), 0u);
}

TEST(DicBuilder, OrdersAndTheCurrentRow)
{
    using Words = std::vector<std::string>;
    TempFiles files;
    TDicBuilder b;
    b.MakeWordList({files.write("in.txt", "bb a ccc f dddd bb ee f f")}, false, "");
    EXPECT_EQ(listedWords(b), (Words{"a", "bb", "ccc", "dddd", "ee", "f"}));
    EXPECT_EQ(currentWord(b), "a");

    // Frequency: count descending, equal counts in Word order; first row current.
    b.WordListDS().SetRecNo(4);
    b.SortByFrequency();
    EXPECT_EQ(listedWords(b), (Words{"f", "bb", "a", "ccc", "dddd", "ee"}));
    EXPECT_EQ(b.WordListDS().RecNo(), 1);

    // Length keeps the current row.
    b.WordListDS().SetRecNo(4); // ccc
    b.SortByLen();
    EXPECT_EQ(listedWords(b), (Words{"a", "f", "bb", "ee", "ccc", "dddd"}));
    EXPECT_EQ(currentWord(b), "ccc");
    EXPECT_EQ(b.WordListDS().RecNo(), 5);

    // Alpha makes the first row current.
    b.SortByAlpha();
    EXPECT_EQ(listedWords(b), (Words{"a", "bb", "ccc", "dddd", "ee", "f"}));
    EXPECT_EQ(b.WordListDS().RecNo(), 1);

    // A scan goes back to WordIndex whatever the order was.
    b.SortByFrequency();
    b.MakeWordList({files.write("more.txt", "zz")}, false, "");
    EXPECT_EQ(listedWords(b), (Words{"a", "bb", "ccc", "dddd", "ee", "f", "zz"}));
}

TEST(DicBuilder, FiltersAndSave)
{
    TempFiles files;
    TDicBuilder b;
    b.MakeWordList({files.write("in.txt", "ab abc abcd abcde abcdef abc abc abcde")}, false, "");
    b.FilterWordLength(3, 5);
    EXPECT_EQ(b.WordCount(), 3);
    b.SortByFrequency();
    b.SaveWordlist(files.path("len.txt"));
    EXPECT_EQ(files.read("len.txt"), "abc\r\nabcde\r\nabcd\r\n");
    b.SaveFrequencyList(files.path("freq.txt"));
    EXPECT_EQ(files.read("freq.txt"), "abc\t3\r\nabcde\t2\r\nabcd\t1\r\n");

    // A new filter replaces the old one.
    b.FilterFrequency(2, 2);
    EXPECT_EQ(listedWords(b), (std::vector<std::string>{"abcde"}));
    b.FilterFrequency(-5, 0);
    EXPECT_EQ(b.WordCount(), 0);
    b.SaveWordlist(files.path("none.txt"));
    EXPECT_EQ(files.read("none.txt"), "");

    b.ListAll();
    EXPECT_EQ(b.WordCount(), 5);
    EXPECT_FALSE(b.WordListDS().Filtered());
    EXPECT_EQ(b.WordListDS().Filter(), "Count>=-5 AND Count<=0"); // kept for later
}

TEST(DicBuilder, SaveReplacesAndReportsFailure)
{
    TempFiles files;
    TDicBuilder b;
    b.SaveWordlist(files.path("empty.txt"));
    EXPECT_EQ(fs::file_size(files.path("empty.txt")), 0u);

    files.write("old.txt", "something much longer than the list\r\n");
    b.MakeWordList({files.write("in.txt", "one")}, false, "");
    b.SaveWordlist(files.path("old.txt"));
    EXPECT_EQ(files.read("old.txt"), "one\r\n");

    EXPECT_THROW(b.SaveWordlist(files.path("no/such/folder/x.txt")), EFCreateError);
}

TEST(DicBuilder, KickoutDigitsTouchesListedRowsOnly)
{
    TempFiles files;
    TDicBuilder b;
    b.MakeWordList({files.write("in.txt", "abc abc1 2006 x9 abcd")}, false, "");
    b.FilterWordLength(4, 4); // abc1 2006 abcd
    b.KickoutDigits();
    EXPECT_EQ(listedWords(b), (std::vector<std::string>{"abcd"}));
    EXPECT_EQ(b.WordListDS().RecNo(), 1);
    b.ListAll();
    EXPECT_EQ(listedWords(b), (std::vector<std::string>{"abc", "abcd", "x9"}));
    b.KickoutDigits();
    EXPECT_EQ(listedWords(b), (std::vector<std::string>{"abc", "abcd"}));
}

TEST(DicBuilder, DeleteSelectedAndClear)
{
    TempFiles files;
    TDicBuilder b;
    b.MakeWordList({files.write("in.txt", "a b c d e")}, false, "");
    TRecordTable &t = b.WordListDS();
    std::vector<TBookmark> selection{t.RowAt(1), t.RowAt(3)};
    b.DeleteSelected(selection);
    EXPECT_EQ(listedWords(b), (std::vector<std::string>{"a", "c", "e"}));
    b.DeleteSelected(selection); // already gone: nothing happens
    EXPECT_EQ(b.WordCount(), 3);
    // Listed twice, then the first row: the row after the one deleted last (c).
    t.First();
    b.DeleteSelected({t.RowAt(2), t.RowAt(0), t.RowAt(2)});
    EXPECT_EQ(t.FieldByName("Word").AsString(), "c");
    EXPECT_EQ(b.WordCount(), 1);

    b.SortByFrequency();
    b.FilterWordLength(5, 9); // hides every row
    b.ClearWordlist();
    EXPECT_EQ(b.WordsScanned(), 0u);
    b.ListAll();
    EXPECT_EQ(b.WordCount(), 0);
    EXPECT_EQ(t.IndexName(), "CountIndex");
}

namespace {
// Counts what observers hear.
struct LinkCounter : IDataLink {
    int resets = 0, other = 0;
    void DataSetReset(TRecordTable &) override { ++resets; }
    void RowsInserted(TRecordTable &, int, int) override { ++other; }
    void RowsRemoved(TRecordTable &, int, int) override { ++other; }
    void RowChanged(TRecordTable &, int) override { ++other; }
};
} // namespace

TEST(DicBuilder, ObserversHearOneResetPerBulkOperation)
{
    TempFiles files;
    TDicBuilder b;
    LinkCounter link;
    b.WordListDS().AddDataLink(&link);
    const std::string in = files.write("in.txt", "a b c a1 b2 c3 a b c");
    b.MakeWordList({in}, false, "");
    b.MakeWordList({in}, false, ""); // existing rows change their Count
    b.KickoutDigits();
    EXPECT_EQ(link.other, 0);
    EXPECT_EQ(link.resets, 3);
    b.WordListDS().RemoveDataLink(&link);
}

TEST(DicBuilder, LowerCasesThroughTheCodePage)
{
    TempFiles files;
    const char *old = std::getenv("KEYFOLIO_CODEPAGE");
    const std::string saved = old ? old : "";
    ::setenv("KEYFOLIO_CODEPAGE", "CP1251", 1);
    CodePage::reload();
    TDicBuilder b;
    // "МИР мир Мир" and "ЁЖ ёж" in CP1251.
    b.MakeWordList({files.write("ru.txt", "\xCC\xC8\xD0 \xEC\xE8\xF0 \xCC\xE8\xF0\r\n\xA8\xC6 \xB8\xE6")},
                   false, "");
    if (old)
        ::setenv("KEYFOLIO_CODEPAGE", saved.c_str(), 1);
    else
        ::unsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
    EXPECT_EQ(listed(b), (Rows{{"\xB8\xE6", 2, 2}, {"\xEC\xE8\xF0", 3, 3}}));
}
