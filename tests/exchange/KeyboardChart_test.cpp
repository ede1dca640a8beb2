// The keyboard chart: what each key shows, the SVG's text and shapes, the
// PDF's text layer and page, the PNG's size, finger and heat colours, and the
// bad input that is refused or drawn with a warning.

#include "exchange/KeyboardChart.h"

#include "MemoryLimit.h"
#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "common/Errors.h"
#include "model/KeyCodes.h"
#include "model/KeyPictures.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <map>
#include <optional>
#include <set>

using namespace kf;

namespace {

void NeedApp()
{
    static int argc = 1;
    static char name[] = "KeyboardChart_test";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// A layout built in code: keys on a row 40 pixels apart, characters by key.
struct LayoutBuilder {
    TKeyLayout layout;
    int key(const std::string &name, int32_t type, int32_t type2 = 0, int finger = 0, int x = -1, int y = 0,
            int w = 40, int h = 40)
    {
        TLayoutKey k;
        k.Value = int32_t(layout.Keys.size()) + 1;
        k.Name = name;
        k.Type = type;
        k.Type2 = type2;
        k.Finger = finger;
        k.X = x < 0 ? int(layout.Keys.size()) * 40 : x;
        k.Y = y;
        k.Width = w;
        k.Height = h;
        layout.Keys.push_back(k);
        return int(layout.Keys.size()) - 1;
    }
    void chars(int key, const std::string &levels) // plain, Shift, AltGr, Shift+AltGr; ' ' none
    {
        for (size_t l = 0; l < levels.size() && l < 4; ++l) {
            if (levels[l] == ' ')
                continue;
            TLayoutChar c;
            c.Code = uint8_t(levels[l]);
            c.KeyNo = layout.Keys[size_t(key)].Value;
            c.Shift = (l & 1) != 0;
            c.AltGr = (l & 2) != 0;
            c.Key = key;
            layout.Chars.push_back(c);
        }
    }
};

const CodePage &Cp1252()
{
    static const CodePage cp("CP1252");
    return cp;
}

struct SvgContent {
    std::set<QString> texts;
    std::vector<QString> pathFills; // the fill of each path, in drawing order
    int rects = 0;
    QString fontFamily;
};

SvgContent ReadSvg(const QByteArray &svg)
{
    SvgContent c;
    QXmlStreamReader xml(svg);
    std::vector<QString> fills;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QString fill = xml.attributes().value(QStringLiteral("fill")).toString();
            fills.push_back(fill.isEmpty() && !fills.empty() ? fills.back() : fill);
            if (xml.name() == QLatin1String("path"))
                c.pathFills.push_back(fills.back());
            else if (xml.name() == QLatin1String("rect"))
                ++c.rects;
            else if (xml.name() == QLatin1String("text")) {
                c.fontFamily = xml.attributes().value(QStringLiteral("font-family")).toString();
                c.texts.insert(xml.readElementText());
                fills.pop_back();
            }
        } else if (xml.isEndElement()) {
            fills.pop_back();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return c;
}

// ---- what a key shows ------------------------------------------------------

struct LegendsCase {
    const char *name;
    int32_t type, type2;
    const char *levels; // plain, Shift, AltGr, Shift+AltGr
    const char *keyName;
    const char *plain, *shift, *altGr, *shiftAltGr, *centre; // CP1252 bytes
    bool dead;
};

class KeyLegendsTest : public testing::TestWithParam<LegendsCase> {};

TEST_P(KeyLegendsTest, EachLevelInItsCorner)
{
    const LegendsCase &c = GetParam();
    LayoutBuilder b;
    const int k = b.key(c.keyName, c.type, c.type2);
    b.chars(k, c.levels);
    const TKeyboardChart chart(b.layout, Cp1252());
    const TKeyboardChart::TKeyLegends l = chart.Legends(k);
    EXPECT_EQ(l.Plain, Cp1252().decode(c.plain));
    EXPECT_EQ(l.Shift, Cp1252().decode(c.shift));
    EXPECT_EQ(l.AltGr, Cp1252().decode(c.altGr));
    EXPECT_EQ(l.ShiftAltGr, Cp1252().decode(c.shiftAltGr));
    EXPECT_EQ(l.Centre, Cp1252().decode(c.centre));
    EXPECT_EQ(l.Dead(), c.dead);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyLegendsTest,
    testing::Values(
        // A letter whose Shift character is its capital: the capital once.
        LegendsCase{"letter", KeyTypes::Alpha, 0, "qQ@", "Q", "", "Q", "@", "", "", false},
        // A letter whose Shift character is not its capital keeps both.
        LegendsCase{"sharpS", KeyTypes::Alpha, 0, "\xDF?\\", "sz", "\xDF", "?", "\\", "", "", false},
        LegendsCase{"digit", KeyTypes::Num, 0, "1!\xB9\xA1", "1", "1", "!", "\xB9", "\xA1", "", false},
        // The code page gives the characters: 0xE4 is a in CP1252.
        LegendsCase{"codePage", KeyTypes::Alpha, 0, "\xE4\xC4", "ae", "", "\xC4", "", "", "", false},
        // A dead key: its accents, marked.
        LegendsCase{"deadKey", KeyTypes::Circumflex, KeyTypes::FirstAccent, "", "dead", "^", "`", "", "", "",
                    true},
        // A dead key with a character under Shift: the accent and the character.
        LegendsCase{"deadKeyWithCharacterUnderShift", KeyTypes::Circumflex, KeyTypes::Num, " \xB0", "dead", "^",
                    "\xB0", "", "", "", true},
        // A character key with a dead key on AltGr.
        LegendsCase{"deadOnAltGr", KeyTypes::Alpha, KeyTypes::Acute, "'\"", "quote", "'", "\"", "\xB4", "", "",
                    true},
        LegendsCase{"special", KeyTypes::LShift, 0, "", "Shift", "", "", "", "", "Shift", false},
        LegendsCase{"space", KeyTypes::Space, 0, " ", "Space", "", "", "", "", "Space", false},
        LegendsCase{"unnamed", KeyTypes::Backspace, 0, "", "", "", "", "", "", "Backspace", false}),
    [](const testing::TestParamInfo<LegendsCase> &i) { return std::string(i.param.name); });

// ---- an imported layout in each format --------------------------------------

struct ImportCase {
    const char *layout;
    const char *codePage;
};

class ImportedChartTest : public testing::TestWithParam<ImportCase> {
protected:
    void SetUp() override
    {
        NeedApp();
        cp = std::make_unique<CodePage>(GetParam().codePage);
        LayoutImportOptions o;
        o.layout = GetParam().layout;
        o.codePage = GetParam().codePage;
        o.composeLocale = "en_US.UTF-8";
        ImportLayout(dm, o);
        for (int f = 0; f < Fingers::kCount; ++f)
            dm.FingerColor[size_t(f)] = int32_t(0x102030 + 0x0A0B0C * f); // each finger its own
    }
    TKeyboardChart chart() const { return TKeyboardChart::FromDataMod(dm, *cp); }
    // Every key's characters a person reads on it: the Shift character, the
    // plain one unless the capital stands for it.
    std::vector<QString> expectedTexts(const TKeyboardChart &c) const
    {
        std::vector<QString> texts;
        for (size_t k = 0; k < c.Layout().Keys.size(); ++k) {
            const auto l = c.Legends(int(k));
            for (const QString &s : {l.Plain, l.Shift})
                if (!s.trimmed().isEmpty())
                    texts.push_back(s);
        }
        return texts;
    }

    TDataMod dm;
    std::unique_ptr<CodePage> cp;
};

TEST_P(ImportedChartTest, TheSvgHoldsEveryLegendAsTextAndOneShapePerKeyInItsFingersColour)
{
    const TKeyboardChart c = chart();
    ASSERT_GT(c.Layout().Keys.size(), 40u);
    const SvgContent svg = ReadSvg(c.Render(TChartFormat::Svg, TChartOptions{}));
    EXPECT_EQ(svg.fontFamily, QStringLiteral("DejaVu Sans"));
    int plainAndShift = 0, letters = 0;
    for (size_t k = 0; k < c.Layout().Keys.size(); ++k) {
        const uint8_t plain = c.Layout().CharAt(int(k), TKeyLevel::Plain);
        const uint8_t shift = c.Layout().CharAt(int(k), TKeyLevel::Shift);
        if (plain == 0 || plain == ' ')
            continue;
        const QString p(QChar(cp->toUnicode(plain))), s(QChar(cp->toUnicode(shift)));
        ++plainAndShift;
        if (shift != 0) {
            EXPECT_TRUE(svg.texts.count(s)) << "Shift of key " << k << ": " << s.toStdString();
        }
        if (shift != 0 && p.at(0).isLetter() && p.toUpper() == s)
            ++letters; // the capital stands for both
        else
            EXPECT_TRUE(svg.texts.count(p)) << "plain of key " << k << ": " << p.toStdString();
    }
    EXPECT_GT(plainAndShift, 40);
    EXPECT_GT(letters, 20);
    // One shape per key, each in the colour its finger has in the settings.
    ASSERT_EQ(svg.pathFills.size(), c.Layout().Keys.size());
    for (size_t k = 0; k < c.Layout().Keys.size(); ++k) {
        const int32_t value = dm.FingerColor[size_t(c.Layout().Keys[k].Finger)];
        EXPECT_EQ(svg.pathFills[k], ColorValueToColor(uint32_t(value)).name()) << "key " << k;
    }
    // The ten fingers in the legend, named.
    for (const TNamedCode &f : Fingers::kNames)
        EXPECT_TRUE(svg.texts.count(QString::fromLatin1(f.caption))) << f.caption;
}

TEST_P(ImportedChartTest, ThePdfsTextLayerHoldsTheSameCharacters)
{
    const TKeyboardChart c = chart();
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
    c.Export(QFile::encodeName(pdf).toStdString(), TChartFormat::Pdf, TChartOptions{});
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                                             QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000)) << "pdftotext (poppler-utils) is needed";
    const QString layer = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString &s : expectedTexts(c))
        EXPECT_TRUE(layer.contains(s)) << s.toStdString();
    EXPECT_TRUE(layer.contains(QStringLiteral("L Little")));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ImportedChartTest,
                         testing::Values(ImportCase{"de", "CP1252"}, ImportCase{"lt", "CP1257"}),
                         [](const testing::TestParamInfo<ImportCase> &i) { return std::string(i.param.layout); });

// ---- sizes, pages and colours ----------------------------------------------

TKeyboardChart SmallChart(LayoutBuilder &b)
{
    const int q = b.key("Q", KeyTypes::Alpha, 0, Fingers::LLittle);
    b.chars(q, "qQ");
    const int w = b.key("W", KeyTypes::Alpha, 0, Fingers::LRing);
    b.chars(w, "wW");
    const int dead = b.key("^", KeyTypes::Circumflex, 0, Fingers::RLittle);
    (void)dead;
    b.key("Shift", KeyTypes::LShift, 0, Fingers::LLittle, 0, 40, 120);
    return TKeyboardChart(b.layout, Cp1252(), {}, QStringLiteral("Small"));
}

class PngScaleTest : public testing::TestWithParam<double> {};

TEST_P(PngScaleTest, TheImageSizeFollowsTheScale)
{
    NeedApp();
    LayoutBuilder b;
    const TKeyboardChart chart = SmallChart(b);
    TChartOptions o;
    o.Scale = GetParam();
    const QSizeF size = chart.Size(o);
    QImage png;
    ASSERT_TRUE(png.loadFromData(chart.Render(TChartFormat::Png, o), "PNG"));
    EXPECT_EQ(png.width(), int(std::ceil(size.width() * o.Scale)));
    EXPECT_EQ(png.height(), int(std::ceil(size.height() * o.Scale)));
    EXPECT_EQ(qAlpha(png.pixel(0, 0)), 255); // white behind
}

INSTANTIATE_TEST_SUITE_P(Scales, PngScaleTest, testing::Values(1.0, 2.0, 3.5, 0.5));

TEST(KeyboardChartTest, ATransparentPngHasNoBackgroundAndKeysInTheirColours)
{
    NeedApp();
    LayoutBuilder b;
    b.layout.FingerColors[Fingers::LRing] = int32_t(0x00FF00); // green
    const TKeyboardChart chart = SmallChart(b);
    TChartOptions o;
    o.Transparent = true;
    o.Scale = 1;
    QImage png;
    ASSERT_TRUE(png.loadFromData(chart.Render(TChartFormat::Png, o), "PNG"));
    EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0);
    // W's face, away from its legends: the settings' colour; L Little has
    // none set and takes the light default.
    const QSizeF size = chart.Size(o);
    (void)size;
    EXPECT_EQ(chart.KeyFace(1, o), QColor(0, 255, 0));
    EXPECT_EQ(chart.KeyFace(0, o), ColorValueToColor(uint32_t(DefaultFingerColors()[Fingers::LLittle])));
    o.FingerColours = false;
    EXPECT_EQ(chart.KeyFace(1, o), chart.KeyFace(0, o));
}

TEST(KeyboardChartTest, ADeadKeyIsMarked)
{
    NeedApp();
    LayoutBuilder b;
    const TKeyboardChart chart = SmallChart(b);
    const SvgContent svg = ReadSvg(chart.Svg(TChartOptions{}));
    EXPECT_TRUE(svg.texts.count(QStringLiteral("dead")));
    EXPECT_TRUE(svg.texts.count(QStringLiteral("^")));
    EXPECT_TRUE(svg.texts.count(QStringLiteral("Q")));
    EXPECT_FALSE(svg.texts.count(QStringLiteral("q"))); // the capital once
    EXPECT_TRUE(svg.texts.count(QStringLiteral("Small")));
}

// The page's size in points from the PDF's MediaBox.
QSizeF MediaBox(const QByteArray &pdf)
{
    const QRegularExpression box(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"));
    const auto m = box.match(QString::fromLatin1(pdf));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

struct PageCase {
    const char *name;
    TChartPaper paper;
    bool trueScale;
    int keys; // keys in a row of 40 pixels
    double widthMm, heightMm; // 0: the chart's own size at true scale plus margins
};

class PdfPageTest : public testing::TestWithParam<PageCase> {};

TEST_P(PdfPageTest, OneLandscapePageFittedOrAtTrueScale)
{
    NeedApp();
    const PageCase &c = GetParam();
    LayoutBuilder b;
    for (int i = 0; i < c.keys; ++i)
        b.chars(b.key("K", KeyTypes::Alpha), "kK");
    const TKeyboardChart chart(b.layout, Cp1252());
    TChartOptions o;
    o.Paper = c.paper;
    o.TrueScale = c.trueScale;
    const QSizeF page = MediaBox(chart.Render(TChartFormat::Pdf, o)) / 72 * 25.4;
    double w = c.widthMm, h = c.heightMm;
    if (w == 0) {
        const QSizeF size = chart.Size(o) * (19.05 / 40);
        w = size.width() + 20;
        h = size.height() + 20;
        EXPECT_EQ(chart.Warnings(o, TChartFormat::Pdf).size(), 1);
    } else {
        EXPECT_TRUE(chart.Warnings(o, TChartFormat::Pdf).isEmpty());
    }
    EXPECT_NEAR(page.width(), w, 0.5);
    EXPECT_NEAR(page.height(), h, 0.5);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PdfPageTest,
    testing::Values(PageCase{"a4Fitted", TChartPaper::A4, false, 20, 297, 210},
                    PageCase{"letterFitted", TChartPaper::Letter, false, 20, 279.4, 215.9},
                    PageCase{"a4TrueScaleFits", TChartPaper::A4, true, 10, 297, 210},
                    PageCase{"a4TrueScaleTooWide", TChartPaper::A4, true, 16, 0, 0}),
    [](const testing::TestParamInfo<PageCase> &i) { return std::string(i.param.name); });

TEST(KeyboardChartTest, HeatColoursKeysByUseFromPaleToDark)
{
    NeedApp();
    LayoutBuilder b;
    const TKeyboardChart chart = SmallChart(b);
    TChartOptions o;
    o.Heat = {0.0, 1.0, 0.5, std::nan("")};
    EXPECT_EQ(chart.KeyFace(0, o), TKeyboardChart::HeatColour(0));
    EXPECT_EQ(chart.KeyFace(1, o), TKeyboardChart::HeatColour(1));
    EXPECT_EQ(chart.KeyFace(3, o), TKeyboardChart::HeatColour(0)); // no figure: unused
    EXPECT_GT(qGray(TKeyboardChart::HeatColour(0).rgb()), qGray(TKeyboardChart::HeatColour(0.5).rgb()));
    EXPECT_GT(qGray(TKeyboardChart::HeatColour(0.5).rgb()), qGray(TKeyboardChart::HeatColour(1).rgb()));
    EXPECT_EQ(TKeyboardChart::HeatColour(7), TKeyboardChart::HeatColour(1));
    const SvgContent svg = ReadSvg(chart.Render(TChartFormat::Svg, o));
    EXPECT_EQ(svg.pathFills[1], TKeyboardChart::HeatColour(1).name());
    EXPECT_TRUE(svg.texts.count(QStringLiteral("much use")));
    o.Heat.pop_back(); // three figures for four keys
    EXPECT_THROW(chart.Render(TChartFormat::Svg, o), EChartError);
}

// ---- bad input ---------------------------------------------------------------

TEST(KeyboardChartTest, NothingToDrawIsRefusedWithAClearMessage)
{
    NeedApp();
    LayoutBuilder none;
    try {
        TKeyboardChart(none.layout, Cp1252()).Render(TChartFormat::Svg, TChartOptions{});
        FAIL() << "no keys drawn";
    } catch (const EChartError &e) {
        EXPECT_NE(std::string(e.what()).find("no keys"), std::string::npos) << e.what();
    }
    LayoutBuilder flat;
    flat.key("A", KeyTypes::Alpha, 0, 0, 0, 0, 0, 40);
    flat.key("B", KeyTypes::Alpha, 0, 0, 40, 0, 40, -5);
    EXPECT_THROW(TKeyboardChart(flat.layout, Cp1252()).Render(TChartFormat::Pdf, TChartOptions{}), EChartError);

    LayoutBuilder one;
    one.chars(one.key("A", KeyTypes::Alpha), "aA");
    TChartOptions o;
    for (double scale : {0.0, -1.0, 17.0, std::nan("")}) {
        o.Scale = scale;
        EXPECT_THROW(TKeyboardChart(one.layout, Cp1252()).Render(TChartFormat::Png, o), EChartError) << scale;
    }
}

TEST(KeyboardChartTest, ALongTitleIsCutToItsLine)
{
    NeedApp();
    LayoutBuilder b;
    const TKeyboardChart chart = SmallChart(b);
    TChartOptions o;
    o.Title = QStringLiteral("Lesson sheet ") + QString(20000, QLatin1Char('x'));
    const SvgContent svg = ReadSvg(chart.Render(TChartFormat::Svg, o));
    const auto title = std::find_if(svg.texts.begin(), svg.texts.end(),
                                    [](const QString &t) { return t.startsWith(QStringLiteral("Lesson sheet x")); });
    ASSERT_NE(title, svg.texts.end());
    EXPECT_TRUE(title->endsWith(QChar(0x2026)));
    EXPECT_LT(title->size(), 200);
}

TEST(KeyboardChartTest, ATrueScalePageLargerThanAnyPaperIsRefused)
{
    NeedApp();
    LayoutBuilder b;
    b.chars(b.key("A", KeyTypes::Alpha), "aA");
    b.chars(b.key("Far", KeyTypes::Alpha, 0, 0, 1000000), "bB");
    TChartOptions o;
    EXPECT_NO_THROW(TKeyboardChart(b.layout, Cp1252()).Render(TChartFormat::Pdf, o)); // fitted
    o.TrueScale = true;
    EXPECT_THROW(TKeyboardChart(b.layout, Cp1252()).Render(TChartFormat::Pdf, o), EChartError);
}

TEST(KeyboardChartTest, KeysDrawnAsTheyAreAreNamedInAWarning)
{
    NeedApp();
    LayoutBuilder b;
    b.chars(b.key("A", KeyTypes::Alpha), "aA");
    b.chars(b.key("B", KeyTypes::Alpha, 0, 0, 20, 10), "bB");    // over A
    b.chars(b.key("Flat", KeyTypes::Alpha, 0, 0, 200, 0, 0, 40), "cC");
    b.key("Silent", KeyTypes::Num, 0, 0, 300);                    // types nothing
    b.chars(b.key("Odd", KeyTypes::Alpha, 0, 0, 400), "\x81");   // no character in CP1252
    b.chars(b.key("Fine", KeyTypes::Alpha, 0, 0, 500), "dD");
    const TKeyboardChart chart(b.layout, Cp1252());
    const QString w = chart.Warnings(TChartOptions{}, TChartFormat::Svg).join('\n');
    EXPECT_TRUE(w.contains(QStringLiteral("\"Flat\" (0 x 40)"))) << w.toStdString();
    EXPECT_TRUE(w.contains(QStringLiteral("overlap"))) << w.toStdString();
    EXPECT_TRUE(w.contains(QStringLiteral("\"A\" and \"B\""))) << w.toStdString();
    EXPECT_TRUE(w.contains(QStringLiteral("\"Silent\""))) << w.toStdString();
    EXPECT_TRUE(w.contains(QStringLiteral("CP1252"))) << w.toStdString();
    EXPECT_TRUE(w.contains(QStringLiteral("\"Odd\" (byte 129)"))) << w.toStdString();
    EXPECT_FALSE(w.contains(QStringLiteral("\"Fine\""))) << w.toStdString();
    // Drawn all the same: five shapes, the key of no size left out.
    EXPECT_EQ(ReadSvg(chart.Render(TChartFormat::Svg, TChartOptions{})).pathFills.size(), 5u);
}

TEST(KeyboardChartTest, AFailedExportLeavesTheOldFileAndNoPartialFile)
{
    NeedApp();
    QTemporaryDir dir;
    const std::string target = QFile::encodeName(dir.filePath(QStringLiteral("chart.svg"))).toStdString();
    {
        QFile old(QString::fromStdString(target));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old chart");
    }
    LayoutBuilder none;
    EXPECT_THROW(TKeyboardChart(none.layout, Cp1252()).Export(target, TChartFormat::Svg, TChartOptions{}),
                 EChartError);
    LayoutBuilder b;
    const TKeyboardChart chart = SmallChart(b);
    const std::string missingFolder = QFile::encodeName(dir.filePath(QStringLiteral("no/such/chart.png"))).toStdString();
    try {
        chart.Export(missingFolder, TChartFormat::Png, TChartOptions{});
        FAIL() << "written into a missing folder";
    } catch (const EFCreateError &e) {
        EXPECT_NE(std::string(e.what()).find("chart.png"), std::string::npos) << e.what();
    }
    QFile old(QString::fromStdString(target));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old chart"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("chart.svg")});
    // A good export replaces it.
    chart.Export(target, TChartFormat::Svg, TChartOptions{});
    old.close();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_TRUE(old.readAll().startsWith("<?xml"));
}

TEST(KeyboardChartTest, ThePictureStyleDrawsTheKeysOwnPictures)
{
    NeedApp();
    LayoutBuilder b;
    b.chars(b.key("A", KeyTypes::Alpha), "aA");
    b.chars(b.key("B", KeyTypes::Alpha), "bB");
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    const TKeyboardChart chart(b.layout, Cp1252(), {picture, QImage()});
    TChartOptions o;
    o.Style = TChartStyle::Pictures;
    o.Scale = 1;
    o.FingerColours = false;
    const QImage png = chart.Image(o);
    const QPointF a = QPointF(20, 20) + QPointF(20, 20); // margin, then the key's middle
    EXPECT_EQ(QColor(png.pixel(a.toPoint())), QColor(0, 0, 255));
    // Colours by use lie over the picture.
    o.Heat = {1.0, 0.0};
    EXPECT_NE(QColor(chart.Image(o).pixel(a.toPoint())), QColor(0, 0, 255));
    // B has no picture: drawn with its legends.
    const SvgContent svg = ReadSvg(chart.Svg(o));
    EXPECT_TRUE(svg.texts.count(QStringLiteral("B")));
    EXPECT_FALSE(svg.texts.count(QStringLiteral("A")));
}

} // namespace

namespace {

// ---- every mark inside its key ------------------------------------------------

// The chart of one key alone: the key at the chart's margin, nothing drawn
// beside it (no title, the heat legend well below it).
TKeyLayout OneKey(const TKeyLayout &from, int key)
{
    TKeyLayout one;
    one.FingerColors = from.FingerColors;
    TLayoutKey k = from.Keys[size_t(key)];
    k.X = 0;
    k.Y = 0;
    one.Keys.push_back(k);
    for (TLayoutChar c : from.Chars)
        if (c.Key == key) {
            c.Key = 0;
            one.Chars.push_back(c);
        }
    return one;
}

constexpr double kInkScale = 4;
const QRgb kBand = qRgb(0, 255, 0);

// What of a key alone, drawn coloured by use (its face dark, its legends
// light) with the finger's colour as a band at its foot, lies where it must
// not: ink outside the key, or over the band. Empty: nothing.
std::string MisplacedInk(const TKeyLayout &layout, const CodePage &cp, double use)
{
    const TKeyboardChart chart(layout, cp);
    TChartOptions o;
    o.Scale = kInkScale;
    o.Transparent = true;
    o.Heat = {use};
    const QImage image = chart.Image(o);
    const TLayoutKey &k = layout.Keys[0];
    const double margin = 20; // the chart's margin: the key's top left
    const QRectF key(margin, margin, k.Width, k.Height);
    const QRectF cap = key.adjusted(1.5, 1.5, -1.5, -1.5);
    const double radius = std::min({4.0, cap.width() / 6, cap.height() / 6});
    const double band = std::min(4.0, cap.height() / 6);
    const QRectF bandRect(cap.left() + radius, cap.bottom() - band - 1, cap.width() - 2 * radius, band);
    const QRectF bandInside = bandRect.adjusted(0.5, 0.5, -0.5, -0.5);
    std::string found;
    int outside = 0, overBand = 0;
    for (int y = 0; y < image.height(); ++y) {
        const double cy = (y + 0.5) / kInkScale;
        if (cy > key.bottom() + 8)
            break; // the heat legend starts 16 below the keys
        for (int x = 0; x < image.width(); ++x) {
            const QPointF at((x + 0.5) / kInkScale, cy);
            const QRgb pixel = image.pixel(x, y);
            if (!key.contains(at) && qAlpha(pixel) != 0)
                ++outside;
            else if (bandInside.contains(at) && pixel != kBand)
                ++overBand;
        }
    }
    if (outside > 0)
        found += std::to_string(outside) + " pixels outside the key; ";
    if (overBand > 0)
        found += std::to_string(overBand) + " pixels over the finger band; ";
    return found;
}

struct InkCase {
    const char *name;
    const char *codePage;
    int32_t type, type2;
    const char *levels; // plain, Shift, AltGr, Shift+AltGr; ' ' none
    int width, height;
};

void PrintTo(const InkCase &c, std::ostream *os)
{
    *os << c.name;
}

class KeyInkTest : public testing::TestWithParam<InkCase> {};

TEST_P(KeyInkTest, EveryMarkIsInsideItsKeyAboveTheFingerBand)
{
    NeedApp();
    const InkCase &c = GetParam();
    const CodePage cp(c.codePage);
    LayoutBuilder b;
    b.layout.FingerColors.fill(int32_t(ColorToColorValue(QColor::fromRgb(kBand))));
    const int k = b.key("K", c.type, c.type2, Fingers::LIndex, 0, 0, c.width, c.height);
    b.chars(k, c.levels);
    for (double use : {1.0, 0.0})
        EXPECT_EQ(MisplacedInk(b.layout, cp, use), "") << "use " << use;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyInkTest,
    testing::Values(
        // Dead keys whose accent lies below the line.
        InkCase{"deadCedilla", "CP1252", KeyTypes::LastAccent, 0, "", 40, 40},
        InkCase{"deadCedillaSmall", "CP1252", KeyTypes::LastAccent, 0, "", 28, 28},
        InkCase{"deadUmlautShiftCedilla", "CP1252", KeyTypes::Umlaut, KeyTypes::LastAccent, "", 40, 40},
        InkCase{"deadCedillaOnAltGr", "CP1252", KeyTypes::Alpha, KeyTypes::LastAccent, "cC", 40, 40},
        // Letters with an ogonek or a cedilla, at every level.
        InkCase{"ogonekOnAltGr", "CP1250", KeyTypes::Alpha, 0, "aA\xB9\xA5", 40, 40},
        InkCase{"ogonekOnAltGrE", "CP1250", KeyTypes::Alpha, 0, "eE\xEA\xCA", 40, 40},
        InkCase{"ogonekCapital", "CP1257", KeyTypes::Alpha, 0, "\xE0\xC0", 40, 40},
        InkCase{"ogonekBothCases", "CP1250", KeyTypes::Alpha, 0, "\xB9\xEA", 40, 40},
        InkCase{"cedillaWide", "CP1252", KeyTypes::Alpha, 0, "\xE7\xC7\xB8", 60, 40},
        InkCase{"cedillaFlat", "CP1252", KeyTypes::Alpha, 0, "\xE7\xC7\xB8", 40, 26}),
    [](const testing::TestParamInfo<InkCase> &i) { return std::string(i.param.name); });

// The same for every key of imported layouts: their dead keys and letters.
class ImportedKeyInkTest : public testing::TestWithParam<ImportCase> {};

TEST_P(ImportedKeyInkTest, EveryKeysMarksAreInsideItAboveTheFingerBand)
{
    NeedApp();
    const CodePage cp(GetParam().codePage);
    TDataMod dm;
    LayoutImportOptions o;
    o.layout = GetParam().layout;
    o.codePage = GetParam().codePage;
    o.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, o);
    TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    layout.FingerColors.fill(int32_t(ColorToColorValue(QColor::fromRgb(kBand))));
    ASSERT_GT(layout.Keys.size(), 40u);
    for (size_t k = 0; k < layout.Keys.size(); ++k)
        EXPECT_EQ(MisplacedInk(OneKey(layout, int(k)), cp, 1.0), "")
            << "key " << cp.decode(layout.Keys[k].Name).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Layouts, ImportedKeyInkTest,
                         testing::Values(ImportCase{"pl", "CP1250"}, ImportCase{"lt", "CP1257"},
                                         ImportCase{"ca", "CP1252"}),
                         [](const testing::TestParamInfo<ImportCase> &i) { return std::string(i.param.layout); });

// ---- legends that read on their key ---------------------------------------------

TEST(KeyboardChartTest, LegendsReadOnEveryColourOfUse)
{
    // Black or white, whichever contrasts more, reads at 4.5 : 1 at least on
    // every colour of the scale (the web's guideline for text).
    for (int i = 0; i <= 100; ++i) {
        const QColor face = TKeyboardChart::HeatColour(i / 100.0);
        EXPECT_GE(TKeyboardChart::Contrast(face, TKeyboardChart::LegendColour(face)), 4.5) << "share " << i;
    }
    EXPECT_EQ(TKeyboardChart::LegendColour(TKeyboardChart::HeatColour(1)), QColor(Qt::white)); // dark red
    EXPECT_EQ(TKeyboardChart::LegendColour(TKeyboardChart::HeatColour(0)), QColor(Qt::black));
    EXPECT_NEAR(TKeyboardChart::Contrast(Qt::black, Qt::white), 21.0, 1e-9);
}

// ---- the title line ------------------------------------------------------------

struct TitleCase {
    const char *name;
    std::optional<QString> title;
    const char *shown; // nullptr: no title line
};

class ChartTitleTest : public testing::TestWithParam<TitleCase> {};

TEST_P(ChartTitleTest, TheTitleLineIsTheOneAskedFor)
{
    NeedApp();
    LayoutBuilder b;
    const TKeyboardChart chart = SmallChart(b); // its own title: "Small"
    TChartOptions o;
    o.Title = GetParam().title;
    TChartOptions untitled;
    untitled.Title = QString();
    const SvgContent svg = ReadSvg(chart.Render(TChartFormat::Svg, o));
    if (GetParam().shown) {
        EXPECT_TRUE(svg.texts.count(QString::fromUtf8(GetParam().shown)));
        EXPECT_GT(chart.Size(o).height(), chart.Size(untitled).height());
    } else {
        EXPECT_FALSE(svg.texts.count(QStringLiteral("Small")));
        EXPECT_EQ(chart.Size(o).height(), chart.Size(untitled).height());
    }
}

INSTANTIATE_TEST_SUITE_P(Titles, ChartTitleTest,
                         testing::Values(TitleCase{"none", std::nullopt, "Small"},
                                         TitleCase{"given", QStringLiteral("Wall chart"), "Wall chart"},
                                         TitleCase{"empty", QString(), nullptr},
                                         TitleCase{"blank", QStringLiteral("   "), nullptr}),
                         [](const testing::TestParamInfo<TitleCase> &i) { return std::string(i.param.name); });

// ---- a picture that cannot be made ------------------------------------------------

TEST(KeyboardChartTest, APngThatCannotBeMadeForWantOfMemoryKeepsTheOldFile)
{
    if (!kf::test::AddressSpaceLimit::Works())
        GTEST_SKIP() << "an address-space limit and AddressSanitizer do not go together";
    NeedApp();
    QTemporaryDir dir;
    const std::string target = QFile::encodeName(dir.filePath(QStringLiteral("keep.png"))).toStdString();
    LayoutBuilder b;
    for (int i = 0; i < 30; ++i)
        b.chars(b.key("K", KeyTypes::Alpha), "kK");
    const TKeyboardChart chart(b.layout, Cp1252());
    TChartOptions o;
    chart.Export(target, TChartFormat::Png, o);
    QFile file(QString::fromStdString(target));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray old = file.readAll();
    file.close();
    ASSERT_GT(old.size(), 1000);
    o.Scale = TKeyboardChart::kMaxScale; // some 180 MB of picture
    try {
        const kf::test::AddressSpaceLimit limit(100 << 20);
        chart.Export(target, TChartFormat::Png, o);
        ADD_FAILURE() << "a picture made beyond the memory there is";
    } catch (const EChartError &e) {
        EXPECT_NE(std::string(e.what()).find("not enough memory"), std::string::npos) << e.what();
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.png")});
}

} // namespace
