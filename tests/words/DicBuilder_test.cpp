#include "words/DicBuilder.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>

#include <algorithm>
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

// A file with a NUL byte among its first bytes is named as binary (its text
// ends there); text files, UTF-16 ones included, are not.
TEST(DicBuilder, AFileThatLooksBinaryIsNamed)
{
    TempFiles files;
    TDicBuilder b;
    const std::string program = files.write("program", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0abc", 14));
    const std::string text = files.write("text.txt", "abc def");
    const std::string utf16 = files.write("utf16.txt", std::string("\xFF\xFE" "a\0b\0", 6));
    b.MakeWordList({text, program, utf16}, false, "");
    EXPECT_EQ(b.LastScanBinaryFiles(), std::vector<std::string>{program});
    b.MakeWordList({text}, false, "");
    EXPECT_TRUE(b.LastScanBinaryFiles().empty());
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

namespace {

const std::string kWordlistData = std::string(KF_TEST_DATA_DIR) + "/wordlist/";

// Puts a code page in force for a scope.
class CodePageInForce {
public:
    explicit CodePageInForce(const char *name)
    {
        const char *old = std::getenv("KEYFOLIO_CODEPAGE");
        m_had = old != nullptr;
        m_saved = old ? old : "";
        ::setenv("KEYFOLIO_CODEPAGE", name, 1);
        CodePage::reload();
    }
    ~CodePageInForce()
    {
        if (m_had)
            ::setenv("KEYFOLIO_CODEPAGE", m_saved.c_str(), 1);
        else
            ::unsetenv("KEYFOLIO_CODEPAGE");
        CodePage::reload();
    }
    CodePageInForce(const CodePageInForce &) = delete;
    CodePageInForce &operator=(const CodePageInForce &) = delete;

private:
    bool m_had = false;
    std::string m_saved;
};

// UTF-8 text as UTF-16 (little or big endian), with or without a byte-order mark.
std::string toUtf16(const std::string &utf8, bool bigEndian, bool bom)
{
    std::string out;
    if (bom)
        out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const QChar c : QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

struct EncodedTextCase {
    const char *name;
    const char *codePage;
    const char *codePageFile; // the text in the code page
    const char *utf8File;     // the same text in UTF-8
    std::string (*make)(const std::string &utf8); // the file scanned
    InputEncoding asked;
    InputEncoding used;
};

void PrintTo(const EncodedTextCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string asIs(const std::string &s) { return s; }
std::string withUtf8Mark(const std::string &s) { return "\xEF\xBB\xBF" + s; }
std::string utf16leMarked(const std::string &s) { return toUtf16(s, false, true); }
std::string utf16beMarked(const std::string &s) { return toUtf16(s, true, true); }
std::string utf16lePlain(const std::string &s) { return toUtf16(s, false, false); }
std::string utf16bePlain(const std::string &s) { return toUtf16(s, true, false); }

std::vector<EncodedTextCase> encodedTextCases()
{
    std::vector<EncodedTextCase> cases;
    const struct {
        const char *lang, *cp, *cpFile, *utf8File;
    } texts[] = {{"German", "CP1252", "de.cp1252.txt", "de.utf8.txt"},
                 {"Russian", "CP1251", "ru.cp1251.txt", "ru.utf8.txt"}};
    const struct {
        const char *name;
        std::string (*make)(const std::string &);
        InputEncoding asked, used;
    } forms[] = {
        {"Utf8Auto", asIs, InputEncoding::Auto, InputEncoding::Utf8},
        {"Utf8Asked", asIs, InputEncoding::Utf8, InputEncoding::Utf8},
        {"Utf8MarkAuto", withUtf8Mark, InputEncoding::Auto, InputEncoding::Utf8},
        {"Utf8MarkAsked", withUtf8Mark, InputEncoding::Utf8, InputEncoding::Utf8},
        {"Utf16LEMarkAuto", utf16leMarked, InputEncoding::Auto, InputEncoding::Utf16LE},
        {"Utf16BEMarkAuto", utf16beMarked, InputEncoding::Auto, InputEncoding::Utf16BE},
        {"Utf16LEAsked", utf16lePlain, InputEncoding::Utf16LE, InputEncoding::Utf16LE},
        {"Utf16BEAsked", utf16bePlain, InputEncoding::Utf16BE, InputEncoding::Utf16BE},
    };
    static std::vector<std::string> names; // the cases keep pointers into it
    names.reserve(std::size(texts) * std::size(forms));
    for (const auto &t : texts)
        for (const auto &f : forms) {
            names.push_back(std::string(t.lang) + f.name);
            cases.push_back({names.back().c_str(), t.cp, t.cpFile, t.utf8File, f.make, f.asked, f.used});
        }
    return cases;
}

class EncodedTextTest : public ::testing::TestWithParam<EncodedTextCase> {};

} // namespace

TEST_P(EncodedTextTest, GivesTheDictionaryOfTheCodePageText)
{
    const EncodedTextCase &c = GetParam();
    CodePageInForce cp(c.codePage);
    TempFiles files;
    const std::string utf8 = readFileBytes(kWordlistData + c.utf8File);
    const std::string scanned = files.write("in.txt", c.make(utf8));
    for (const bool caseSensitive : {false, true}) {
        TDicBuilder want;
        want.SetInputEncoding(InputEncoding::CodePage);
        want.MakeWordList({kWordlistData + c.codePageFile}, caseSensitive, TDicBuilder::kDefaultAdditionalDelimiters);
        ASSERT_GT(want.WordCount(), 80);

        TDicBuilder got;
        got.SetInputEncoding(c.asked);
        got.MakeWordList({scanned}, caseSensitive, TDicBuilder::kDefaultAdditionalDelimiters);
        EXPECT_EQ(listed(got), listed(want)) << "case-sensitive " << caseSensitive;
        EXPECT_EQ(got.WordsScanned(), want.WordsScanned());
        EXPECT_EQ(got.UnmappableWords(), 0u);
        EXPECT_EQ(got.LastScanEncodings(), std::vector<InputEncoding>{c.used});
    }
    // Read as bytes of the code page, the same file gives other words.
    TDicBuilder bytes;
    bytes.SetInputEncoding(InputEncoding::CodePage);
    bytes.MakeWordList({scanned}, false, TDicBuilder::kDefaultAdditionalDelimiters);
    TDicBuilder want;
    want.MakeWordList({kWordlistData + c.codePageFile}, false, TDicBuilder::kDefaultAdditionalDelimiters);
    EXPECT_NE(listed(bytes), listed(want));
}

INSTANTIATE_TEST_SUITE_P(Texts, EncodedTextTest, ::testing::ValuesIn(encodedTextCases()),
                         [](const auto &caseInfo) { return std::string(caseInfo.param.name); });

TEST(DicBuilder, WordsTheCodePageCannotHoldAreTalliedNotListed)
{
    CodePageInForce cp("CP1252");
    TempFiles files;
    const std::string pl = kWordlistData + "pl.utf8.txt";
    TDicBuilder b;
    b.MakeWordList({pl}, false, TDicBuilder::kDefaultAdditionalDelimiters);
    // Every word with one of ą ć ę ł ń ś ź ż Ł: 23 of them, "dzień" three
    // times, "był" twice; ó is in the code page, so "józef" is listed.
    EXPECT_EQ(b.UnmappableWords(), 23u);
    const auto top = b.TopUnmappableWords();
    ASSERT_EQ(top.size(), 20u);
    EXPECT_EQ(top[0], (std::pair<std::string, uint32_t>{"dzie\xC5\x84", 3}));
    EXPECT_EQ(top[1], (std::pair<std::string, uint32_t>{"by\xC5\x82", 2}));
    EXPECT_EQ(top[2], (std::pair<std::string, uint32_t>{"czyta\xC5\x82y", 1})); // then in byte order
    EXPECT_EQ(top.back(), (std::pair<std::string, uint32_t>{"\xC5\xBCona", 1}));
    using Tally = std::vector<std::pair<std::string, uint32_t>>;
    EXPECT_EQ(b.TopUnmappableWords(2), Tally(top.begin(), top.begin() + 2));
    int64_t listedOccurrences = 0;
    for (const Row &r : listed(b)) {
        listedOccurrences += std::get<1>(r);
        EXPECT_EQ(std::get<0>(r).find('?'), std::string::npos) << std::get<0>(r);
    }
    EXPECT_EQ(b.WordsScanned(), uint32_t(listedOccurrences) + 23u);
    const Rows rows = listed(b);
    EXPECT_NE(std::find(rows.begin(), rows.end(), Row("j\xF3zef", 2, 5)), rows.end());

    // Case-sensitive, the capitalised forms are words of their own.
    TDicBuilder s;
    s.MakeWordList({pl}, true, TDicBuilder::kDefaultAdditionalDelimiters);
    EXPECT_EQ(s.UnmappableWords(), 23u);
    EXPECT_EQ(s.TopUnmappableWords(1)[0], (std::pair<std::string, uint32_t>{"dzie\xC5\x84", 2}));

    // A second scan adds up; clearing the list forgets them.
    b.MakeWordList({pl}, false, TDicBuilder::kDefaultAdditionalDelimiters);
    EXPECT_EQ(b.UnmappableWords(), 46u);
    EXPECT_EQ(b.TopUnmappableWords(1)[0].second, 6u);
    b.ClearWordlist();
    EXPECT_EQ(b.UnmappableWords(), 0u);
    EXPECT_TRUE(b.TopUnmappableWords().empty());

    // In the code page the text belongs to, every word is listed.
    CodePageInForce central("CP1250");
    TDicBuilder c;
    c.MakeWordList({pl}, false, TDicBuilder::kDefaultAdditionalDelimiters);
    EXPECT_EQ(c.UnmappableWords(), 0u);
    EXPECT_EQ(c.WordsScanned(), s.WordsScanned());
    const Rows central1250 = listed(c);
    EXPECT_NE(std::find(central1250.begin(), central1250.end(), Row("dzie\xF1", 3, 5)), central1250.end());
}

TEST(DicBuilder, MalformedFileIsAnErrorNamingFileAndOffset)
{
    CodePageInForce cp("CP1252");
    TempFiles files;
    const std::string good = files.write("good.txt", "first file words");
    // "gr\xC3\xB6\xC3" then "e": the sequence at byte 13 is cut short.
    const std::string bad = files.write("bad.txt", "words in gr\xC3\xB6\xC3" "e too");
    {
        TDicBuilder b;
        b.SetInputEncoding(InputEncoding::Utf8);
        try {
            b.MakeWordList({good, bad, good}, false, "");
            ADD_FAILURE() << "no error";
        } catch (const EConvertError &e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("\"" + bad + "\""), std::string::npos) << what;
            EXPECT_NE(what.find("byte offset 13"), std::string::npos) << what;
        }
        // The file before it is counted, nothing of the bad one.
        EXPECT_EQ(listedWords(b), (std::vector<std::string>{"file", "first", "words"}));
        EXPECT_EQ(b.WordsScanned(), 3u);
    }
    // With a UTF-8 mark the file is UTF-8 even when asked for Auto.
    const std::string marked = files.write("marked.txt", "\xEF\xBB\xBFok \xF0\x9F");
    TDicBuilder m;
    EXPECT_THROW(m.MakeWordList({marked}, false, ""), EConvertError);
    EXPECT_EQ(m.WordCount(), 0);
    // Read as Auto without a mark, or as the code page, it is bytes.
    for (const InputEncoding asked : {InputEncoding::Auto, InputEncoding::CodePage}) {
        TDicBuilder b;
        b.SetInputEncoding(asked);
        b.MakeWordList({bad}, false, "");
        EXPECT_EQ(listedWords(b), (std::vector<std::string>{"gr\xE3\xB6\xE3" "e", "in", "too", "words"}));
        EXPECT_EQ(b.LastScanEncodings(), std::vector<InputEncoding>{InputEncoding::CodePage});
    }
}

namespace {

// A random text of known words, and what a scan of it must give: built from
// the words themselves, not by scanning.
struct RandomText {
    std::string utf8;
    Rows rows; // word order
    std::vector<std::pair<std::string, uint32_t>> unmappable; // most frequent first, then byte order
    uint32_t scanned = 0;
};

// nulAt: where the NUL stands, as a share of the words (below 0: at random).
RandomText makeRandomText(unsigned seed, bool withUnmappable, bool withNul, double nulAt = -1)
{
    const CodePage &cp = CodePage::current();
    // Letters: ASCII, CP1252 letters in both cases, and (optionally) letters
    // CP1252 lacks, one of them beyond the BMP.
    std::vector<char32_t> letters = {'a', 'b', 'e', 'K', 'z', '7', '-', 0xE9, 0xC4, 0xDF, 0x20AC};
    if (withUnmappable)
        for (const char32_t c : {char32_t(0x105), char32_t(0x141), char32_t(0x1F600)})
            letters.push_back(c);
    const char *separators[] = {" ", " ", "\r\n", ", ", ". ", "\t", "(", ");\n"};
    std::mt19937 rng(seed);
    std::vector<std::string> vocabulary;
    for (int i = 0; i < 400; ++i) {
        std::string w;
        // Long words share their first 38 letters, so they meet in one row.
        const bool isLong = rng() % 10 == 0;
        if (isLong)
            w = std::string(38, 'L');
        const size_t len = 1 + rng() % (isLong ? 6 : 9);
        for (size_t k = 0; k < len; ++k)
            AppendUtf8(w, letters[rng() % letters.size()]);
        vocabulary.push_back(w);
    }
    RandomText t;
    std::map<std::string, std::pair<int32_t, int32_t>> counts;
    std::map<std::string, uint32_t> unmappable;
    const size_t words = 3000 + rng() % 3000;
    const size_t nulWord = !withNul ? words : nulAt >= 0 ? size_t(double(words) * nulAt) : rng() % words;
    for (size_t i = 0; i < words; ++i) {
        if (i == nulWord)
            t.utf8 += std::string(1, '\0'); // the text ends; what follows is no text
        const std::string &w = vocabulary[rng() % vocabulary.size()];
        t.utf8 += w + separators[rng() % std::size(separators)];
        if (i >= nulWord)
            continue;
        ++t.scanned;
        // The word's characters, lower-cased as the scan does.
        std::string key, text;
        int32_t len = 0;
        bool mappable = true;
        size_t chars = 0;
        for (const char32_t c : QString::fromUtf8(w.data(), qsizetype(w.size())).toUcs4()) {
            uint8_t b = 0;
            if (cp.fromUnicode(c, b)) {
                b = cp.lower(b);
                key.push_back(char(b));
                if (chars++ < 40)
                    AppendUtf8(text, cp.toUnicode(b));
            } else {
                mappable = false;
                if (chars++ < 40)
                    AppendUtf8(text, QChar::toLower(c));
            }
            ++len;
        }
        if (!mappable) {
            ++unmappable[text];
            continue;
        }
        auto it = counts.find(key.substr(0, 40));
        if (it == counts.end())
            counts[key.substr(0, 40)] = {1, len};
        else
            ++it->second.first;
    }
    for (const auto &[word, cl] : counts)
        t.rows.emplace_back(word, cl.first, cl.second);
    t.unmappable.assign(unmappable.begin(), unmappable.end());
    std::stable_sort(t.unmappable.begin(), t.unmappable.end(),
                     [](const auto &a, const auto &b) { return a.second > b.second; });
    return t;
}

struct SplitScanCase {
    unsigned seed;
    size_t blockSize;
    const char *form; // "utf-8", "utf-16le", "utf-16be" (marked), "cp1252", "utf-8 broken"
    bool withNul;
    double brokenAt = 0; // "utf-8 broken": where a byte that is no UTF-8 stands (share of the text)
    double nulAt = -1;   // where the NUL stands (share of the words; below 0: at random)
};

void PrintTo(const SplitScanCase &c, std::ostream *os)
{
    *os << c.form << " seed " << c.seed << " block " << c.blockSize << (c.withNul ? " with NUL" : "");
    if (c.nulAt >= 0)
        *os << " at " << c.nulAt;
    if (c.brokenAt > 0)
        *os << (c.withNul ? ", the bad byte at " : " at ") << c.brokenAt;
}

std::vector<SplitScanCase> splitScanCases()
{
    std::vector<SplitScanCase> cases;
    unsigned seed = 1;
    for (const char *form : {"utf-8", "utf-16le", "utf-16be", "cp1252"})
        for (const size_t block : {size_t(64), size_t(100), size_t(4093), size_t(1) << 20})
            for (const bool nul : {false, true})
                cases.push_back({seed++, block, form, nul});
    // UTF-8 until a late byte shows it is not: Auto reads it all as the code
    // page, the byte early (first stretch), mid-way (either part) or late.
    for (const size_t block : {size_t(64), size_t(4093), size_t(1) << 20})
        for (const double at : {0.1, 0.45, 0.55, 0.95})
            cases.push_back({seed++, block, "utf-8 broken", false, at});
    // A NUL ends the text: a byte that is no UTF-8 after it does not count,
    // wherever the NUL stands (first stretch, either part); one before it
    // does. The split cuts the text at about a quarter and five eighths.
    for (const size_t block : {size_t(64), size_t(4093), size_t(1) << 20})
        for (const auto &[nulAt, brokenAt] : {std::pair{0.1, 0.55}, std::pair{0.4, 0.55}, std::pair{0.4, 0.95},
                                             std::pair{0.7, 0.95}, std::pair{0.95, 0.45}, std::pair{0.7, 0.1}})
            cases.push_back({seed++, block, "utf-8 broken", true, brokenAt, nulAt});
    return cases;
}

class SplitScanTest : public ::testing::TestWithParam<SplitScanCase> {};

} // namespace

TEST_P(SplitScanTest, TwoThreadsInSmallBlocksGiveTheOneThreadScan)
{
    const SplitScanCase &c = GetParam();
    CodePageInForce cp("CP1252");
    TempFiles files;
    const std::string form = c.form;
    const RandomText t = makeRandomText(c.seed, form != "cp1252", c.withNul, c.nulAt);
    std::string bytes = t.utf8;
    if (form == "utf-16le" || form == "utf-16be") {
        bytes = toUtf16(t.utf8, form == "utf-16be", true);
    } else if (form == "cp1252") {
        bytes.clear();
        for (const char32_t ch : QString::fromUtf8(t.utf8.data(), qsizetype(t.utf8.size())).toUcs4()) {
            uint8_t b = 0;
            ASSERT_TRUE(CodePage::current().fromUnicode(ch, b));
            bytes.push_back(char(b));
        }
    }
    // Whether the text holds the broken byte before its end.
    const bool broken = form == "utf-8 broken" && (!c.withNul || c.brokenAt * double(bytes.size()) < double(bytes.find('\0')));
    if (form == "utf-8 broken")
        bytes.insert(size_t(double(bytes.size()) * c.brokenAt), "\xFF");
    const std::string path = files.write("random.txt", bytes);

    // One thread, one block: the reference scan; then both threads, every
    // file split, in small blocks, twice (the second scan adds to the first).
    TDicBuilder one;
    one.SetScanTuning({size_t(1) << 24, ~uint64_t(0), 1, 0.0});
    one.MakeWordList({path}, false, "");
    if (broken) {
        // Exactly what the bytes give read as the code page.
        TDicBuilder bytesRead;
        bytesRead.SetInputEncoding(InputEncoding::CodePage);
        bytesRead.MakeWordList({path}, false, "");
        EXPECT_EQ(listed(one), listed(bytesRead));
        EXPECT_EQ(one.WordsScanned(), bytesRead.WordsScanned());
        EXPECT_EQ(one.UnmappableWords(), 0u);
        EXPECT_EQ(one.LastScanEncodings(), std::vector<InputEncoding>{InputEncoding::CodePage});
    } else {
        EXPECT_EQ(listed(one), t.rows);
        EXPECT_EQ(one.WordsScanned(), t.scanned);
        EXPECT_EQ(one.TopUnmappableWords(), t.unmappable);
        if (form == "utf-8 broken") {
            EXPECT_EQ(one.LastScanEncodings(), std::vector<InputEncoding>{InputEncoding::Utf8});
        }
    }

    TDicBuilder two;
    two.SetScanTuning({c.blockSize, 0, 2, 1.0});
    two.MakeWordList({path, path}, false, "");
    one.MakeWordList({path}, false, "");
    EXPECT_EQ(listed(two), listed(one));
    EXPECT_EQ(two.WordsScanned(), one.WordsScanned());
    EXPECT_EQ(two.UnmappableWords(), one.UnmappableWords());
    EXPECT_EQ(two.TopUnmappableWords(), one.TopUnmappableWords());
    EXPECT_EQ(two.LastScanEncodings(), (std::vector<InputEncoding>{one.LastScanEncodings()[0], one.LastScanEncodings()[0]}));
}

INSTANTIATE_TEST_SUITE_P(RandomTexts, SplitScanTest, ::testing::ValuesIn(splitScanCases()));
