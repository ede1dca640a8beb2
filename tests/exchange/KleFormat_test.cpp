// keyboard-layout-editor raw data: written from a keyboard and read back to
// the same file, keys read at their places and sizes with their characters,
// the chart of the read keyboard the same picture, and refusals that name
// the place and leave the definition alone.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardChart.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/LayoutImport.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "model/KeyPictures.h"
#include "model/MainData.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <map>
#include <string>

using namespace kf;

namespace {

LayoutImportOptions Options(const char *layout, const char *codePage, KeyBlock block)
{
    LayoutImportOptions o;
    o.layout = layout;
    o.codePage = codePage;
    o.block = block;
    o.composeLocale = "en_US.UTF-8";
    return o;
}

std::string kleOf(const TDataMod &dm, const CodePage &cp)
{
    std::vector<std::string> warnings;
    return KeyboardFileBytes(dm, cp, KleFormat(), TExportOptions{}, warnings);
}

constexpr int kNotCompared = -1;

struct KeyPlace {
    int x, y, w, h, finger;
    std::array<int, 4> chars;
    // The same place, size and finger, and the same characters on the levels
    // this one compares.
    bool operator==(const KeyPlace &o) const
    {
        for (int l = 0; l < 4; ++l)
            if (o.chars[size_t(l)] != kNotCompared && chars[size_t(l)] != o.chars[size_t(l)])
                return false;
        return x == o.x && y == o.y && w == o.w && h == o.h && finger == o.finger;
    }
};

std::ostream &operator<<(std::ostream &out, const KeyPlace &p)
{
    out << p.x << "," << p.y << " " << p.w << "x" << p.h << " finger " << p.finger << " chars";
    for (int c : p.chars)
        out << " " << c;
    return out;
}

// Every key by its place, with what it types (a dead key types nothing).
std::map<std::pair<int, int>, KeyPlace> places(const TDataMod &dm)
{
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    std::map<std::pair<int, int>, KeyPlace> out;
    for (size_t i = 0; i < layout.Keys.size(); ++i) {
        const TLayoutKey &k = layout.Keys[i];
        KeyPlace p{k.X, k.Y, k.Width, k.Height, k.Finger, {}};
        // A dead key's legend is its accent, which a read takes as a
        // character; the space bar's legend is blank, which a read takes as
        // a space without Shift: those levels are marked, not compared.
        for (int l = 0; l < 4; ++l)
            p.chars[size_t(l)] = KeyTypes::IsAccent(KeyTypes::EffectiveCode(k.Type, k.Type2, l & 1, l & 2))
                                         || (k.Type == KeyTypes::Space && l > 0)
                                     ? kNotCompared
                                     : layout.CharAt(int(i), TKeyLevel(l));
        out.emplace(std::make_pair(k.X, k.Y), p);
    }
    return out;
}

struct RoundTrip {
    const char *label;
    const char *layout;
    const char *codePage;
    KeyBlock block;
};

class KleRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(KleRoundTrip, PackageToKleToPackageToKleIsTheSame)
{
    const RoundTrip &c = GetParam();
    const CodePage cp(c.codePage);
    TDataMod dm;
    ImportLayout(dm, Options(c.layout, c.codePage, c.block));
    dm.FingerColor = DefaultFingerColors();
    const std::string first = kleOf(dm, cp);

    TDataMod read;
    read.FingerColor = DefaultFingerColors();
    KleFormat().ReadKeyboard(read, first, cp);
    read.FingerColor = DefaultFingerColors();
    EXPECT_EQ(kleOf(read, cp), first);
    // Every key at its place and size, typing what it typed.
    const auto before = places(dm), after = places(read);
    ASSERT_EQ(before.size(), after.size());
    for (const auto &[at, key] : before) {
        ASSERT_TRUE(after.count(at)) << at.first << "," << at.second;
        // The same fingers too, so the same colours.
        EXPECT_EQ(after.at(at), key);
    }
}

const RoundTrip kRoundTrips[] = {
    {"us_ansi", "us", "CP1252", KeyBlock::Ansi},
    {"de_iso", "de", "CP1252", KeyBlock::Iso},
    {"pl_iso", "pl", "CP1250", KeyBlock::Iso},
};

INSTANTIATE_TEST_SUITE_P(Layouts, KleRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<RoundTrip> &i) { return std::string(i.param.label); });

// A board of three rows has no number row on the main block: its keys are
// placed from the top letter row down, and nothing reads a row that is not
// there (found by the fuzz target).
TEST(KleRead, ABoardWithoutANumberRowIsRead)
{
    const std::string kle = R"([{"neme":"Small"},[{"x":0.5},"!\n1",{"w":1.5},"Backspace"],
        [{"a":7},"Q",{"a":4},"W\nw",{"h":3,"w2":1.5,"h2":1,"x2":-0.25},"Enter"],
        [{"y":0.25},"\n\u00e4",{"x":1,"w":2},""]])";
    const CodePage cp("CP1252");
    TDataMod dm;
    KleFormat().ReadKeyboard(dm, kle, cp);
    EXPECT_EQ(TKeyLayout::FromDataMod(dm).Keys.size(), 7u);
}

TEST(KleRead, KeysAtTheirPlacesWithTheirLegends)
{
    // A short row with an offset and a wide key, a tall key reaching down,
    // centred legends, a key with a second rectangle, and a space bar.
    const std::string kle = R"([{"name":"Small"},
        [{"x":0.5},"!\n1\n\u00a1\n\u00b9",{"w":1.5},"Backspace"],
        [{"a":7},"Q",{"a":4},"W\nw",{"h":2,"w2":1.5,"h2":1,"x2":-0.25},"Enter"],
        [{"y":0.25},"\n\u00e4",{"x":1,"w":6},""]
    ])";
    const CodePage cp("CP1252");
    TDataMod dm;
    const std::vector<std::string> warnings = KleFormat().ReadKeyboard(dm, kle, cp);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(dm.Author, "Small");
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    ASSERT_EQ(layout.Keys.size(), 7u);
    struct Want {
        const char *name;
        int32_t type;
        int x, y, w, h;
        const char *chars; // plain, Shift, AltGr, Shift+AltGr (CP1252, "-" for none)
    };
    const Want want[] = {
        {"1", KeyTypes::Num, 29, 8, 40, 40, "1!\xB9\xA1"},
        {"Backspace", KeyTypes::Backspace, 71, 8, 61, 40, "----"},
        {"Q", KeyTypes::Alpha, 8, 50, 40, 40, "qQ--"},
        {"W", KeyTypes::Alpha, 50, 50, 40, 40, "wW--"},
        {"Enter", KeyTypes::Enter, 92, 50, 40, 82, "----"},
        {"\xC4", KeyTypes::Num, 8, 103, 40, 40, "\xE4---"},
        {"Space", KeyTypes::Space, 92, 103, 250, 40, " ---"},
    };
    for (size_t n = 0; n < layout.Keys.size(); ++n) {
        // The keys are numbered in the file's order.
        const int i = layout.KeyByValue(int32_t(n) + 1);
        ASSERT_GE(i, 0);
        const TLayoutKey &k = layout.Keys[size_t(i)];
        const Want &w = want[n];
        EXPECT_EQ(k.Name, w.name) << n;
        EXPECT_EQ(k.Type, w.type) << w.name;
        EXPECT_EQ(k.X, w.x) << w.name;
        EXPECT_EQ(k.Y, w.y) << w.name;
        EXPECT_EQ(k.Width, w.w) << w.name;
        EXPECT_EQ(k.Height, w.h) << w.name;
        for (int l = 0; l < 4; ++l)
            EXPECT_EQ(layout.CharAt(i, TKeyLevel(l)), w.chars[l] == '-' ? 0 : uint8_t(w.chars[l]))
                << w.name << " level " << l;
    }
    // Fingers by the columns of the main block: Q the left little finger, W
    // the ring finger, the space bar a thumb.
    EXPECT_EQ(layout.Keys[size_t(layout.KeyByValue(3))].Finger, Fingers::LLittle);
    EXPECT_EQ(layout.Keys[size_t(layout.KeyByValue(4))].Finger, Fingers::LRing);
    EXPECT_EQ(layout.Keys[size_t(layout.KeyByValue(7))].Finger, Fingers::LThumb);
}

void NeedApp()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "KleFormat_test";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

TEST(KleRead, TheChartOfTheReadKeyboardIsTheSamePicture)
{
    NeedApp();
    const CodePage cp("CP1252");
    TDataMod dm;
    ImportLayout(dm, Options("us", "CP1252", KeyBlock::Iso));
    dm.FingerColor = DefaultFingerColors();
    TDataMod read;
    KleFormat().ReadKeyboard(read, kleOf(dm, cp), cp);
    read.FingerColor = DefaultFingerColors();
    TChartOptions options;
    options.Style = TChartStyle::Legends;
    options.Title = QStringLiteral("us"); // the two packages' notes differ
    const QImage before = TKeyboardChart::FromDataMod(dm, cp).Image(options);
    const QImage after = TKeyboardChart::FromDataMod(read, cp).Image(options);
    ASSERT_FALSE(before.isNull());
    EXPECT_EQ(before, after);
}

struct Refusal {
    const char *label;
    std::string json;
    const char *message;
};

class KleRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(KleRefusal, NamesThePlaceAndLeavesTheDefinition)
{
    const Refusal &c = GetParam();
    const CodePage cp("CP1252");
    TDataMod dm;
    ImportLayout(dm, Options("us", "CP1252", KeyBlock::Ansi));
    const int keys = dm.MainTbl.RecordCount();
    try {
        KleFormat().ReadKeyboard(dm, c.json, cp);
        FAIL() << "read";
    } catch (const EConvertError &e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_EQ(dm.MainTbl.RecordCount(), keys);
}

// n keys in rows of fifty.
std::string manyKeys(int n)
{
    std::string s = "[[";
    for (int i = 0; i < n; ++i)
        s += i == 0 ? "\"a\"" : i % 50 == 0 ? "],[\"a\"" : ",\"a\"";
    return s + "]]";
}

const Refusal kRefusals[] = {
    {"not_json", "{\"a\":", "Not keyboard-layout-editor data"},
    {"object_root", "{\"name\":\"x\"}", "the raw data is an array of rows"},
    {"no_keys", "[{\"name\":\"x\"}]", "the file has no key"},
    {"late_metadata", "[[\"a\"],{\"name\":\"x\"}]", "element 2 is an object"},
    {"number_in_row", "[[\"a\",5]]", "row 1, key 2 is neither legends nor properties"},
    {"rotated", "[[\"a\",{\"r\":15,\"rx\":1},\"b\"]]", "row 1, key 2 is rotated"},
    {"zero_width", "[[{\"w\":0},\"a\"]]", "row 1, key 1: \"w\" must lie above 0"},
    {"absurd_height", "[[{\"h\":1000},\"a\"]]", "row 1, key 1: \"h\" must lie above 0"},
    {"far_away", "[[{\"x\":1e9},\"a\"]]", "row 1, key 1 lies more than 100 keys away"},
    {"text_for_number", "[[{\"x\":\"1\"},\"a\"]]", "row 1, key 1: \"x\" is not a number"},
    {"too_many_keys", manyKeys(1001), "more than 1000 keys"},
    {"long_legend", "[[\"" + std::string(200, 'a') + "\"]]", "longer than 100 characters"},
};

INSTANTIATE_TEST_SUITE_P(Files, KleRefusal, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<Refusal> &i) { return std::string(i.param.label); });

} // namespace
