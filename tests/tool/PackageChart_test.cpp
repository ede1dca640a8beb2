// keyfolio-tool package chart, run as a process: each format written and
// looked at as a person would (the SVG and the PDF drawn by other programs),
// the options, wrong command lines, warnings on stderr and failed exports that
// leave no file.

#include "MemoryLimit.h"
#include "SmallKeyboards.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"
#include "table/FieldValue.h"

#include "exchange/KeyboardChart.h"
#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <string>

using namespace kf;

namespace {

const QString kTool = QStringLiteral(KF_BINARY_DIR "/src/keyfolio-tool");

using ToolRun = kf::test::TProgramRun;

ToolRun Start(const QString &program, const QStringList &args)
{
    return kf::test::RunProgram(program, args, QStringLiteral("CP1252"));
}

class PackageChart : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        const ToolRun r = Start(kTool, {"package", "import", "de", "--code-page", "CP1252", "--compose-locale",
                                    "en_US.UTF-8", "-o", s_dir->filePath("de.vkt")});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString de() { return s_dir->filePath("de.vkt"); }
    ToolRun chart(const QStringList &args) { return Start(kTool, QStringList{"package", "chart"} + args); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }
    QString save(const char *name, void (*build)(TDataMod &))
    {
        TDataMod dm;
        build(dm);
        const QString file = path(QString::fromLatin1(name));
        EXPECT_TRUE(dm.SavePackage(file.toStdString())) << dm.PackageError();
        return file;
    }

    static QTemporaryDir *s_dir;
    QTemporaryDir m_dir;
};
QTemporaryDir *PackageChart::s_dir = nullptr;

// The colour of a light key face the way the finger legend shows it: the
// picture drawn by another program holds the finger colours of the settings.
bool HasColour(const QImage &image, QRgb colour)
{
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return true;
    return false;
}

TEST_F(PackageChart, TheSvgDrawnByAnotherProgramShowsTheKeysInTheirColours)
{
    const ToolRun r = chart({de(), "-o", path("de.svg")});
    ASSERT_EQ(r.status, 0) << r.err;
    const ToolRun draw = Start("rsvg-convert", {path("de.svg"), "-o", path("de-svg.png")});
    ASSERT_EQ(draw.status, 0) << "rsvg-convert (librsvg2-bin): " << draw.err;
    QImage image(path("de-svg.png"));
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), image.height());
    EXPECT_TRUE(HasColour(image, qRgb(0xFF, 0xC0, 0xC0))); // L Little and R Little, light red
    EXPECT_TRUE(HasColour(image, qRgb(0xC0, 0xFF, 0xC0))); // the ring fingers, light green
    QFile svg(path("de.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_TRUE(text.contains(">Backspace</text>"));
    EXPECT_TRUE(text.contains("<title>German"));
}

TEST_F(PackageChart, ThePdfIsOneLandscapePageAndFittedOrTrueScale)
{
    for (const QStringList &extra : {QStringList{}, QStringList{"--paper", "letter"}, QStringList{"--true-scale"}}) {
        const ToolRun r = chart(QStringList{de(), "-o", path("de.pdf")} + extra);
        ASSERT_EQ(r.status, 0) << r.err;
        const ToolRun draw = Start("pdftoppm", {"-png", "-r", "30", "-singlefile", path("de.pdf"), path("de-pdf")});
        ASSERT_EQ(draw.status, 0) << "pdftoppm (poppler-utils): " << draw.err;
        QImage image(path("de-pdf.png"));
        ASSERT_FALSE(image.isNull());
        EXPECT_GT(image.width(), image.height()) << extra.join(' ').toStdString();
        EXPECT_TRUE(HasColour(image, qRgb(0xFF, 0xC0, 0xC0))) << extra.join(' ').toStdString();
        if (extra.contains("--true-scale"))
            EXPECT_NE(r.err.find("larger than A4 landscape"), std::string::npos) << r.err;
        else
            EXPECT_EQ(r.err, "");
    }
}

TEST_F(PackageChart, ThePngFollowsTheScaleAndMayBeTransparent)
{
    ASSERT_EQ(chart({de(), "-o", path("one.png"), "--scale", "1"}).status, 0);
    ASSERT_EQ(chart({de(), "-o", path("two.png")}).status, 0);
    const ToolRun r = chart({de(), "-o", path("three.png"), "--scale", "3", "--transparent", "--title", "Wall chart"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage one(path("one.png")), two(path("two.png")), three(path("three.png"));
    EXPECT_EQ(two.size(), one.size() * 2);
    EXPECT_EQ(three.size(), one.size() * 3);
    EXPECT_EQ(qAlpha(one.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(three.pixel(0, 0)), 0);
    EXPECT_TRUE(HasColour(two, qRgb(0xFF, 0xC0, 0xC0)));
    ASSERT_EQ(chart({de(), "-o", path("plain.png"), "--colours", "plain"}).status, 0);
    EXPECT_FALSE(HasColour(QImage(path("plain.png")), qRgb(0xFF, 0xC0, 0xC0)));
    ASSERT_EQ(chart({de(), "-o", path("pictures.png"), "--style", "pictures"}).status, 0);
    EXPECT_EQ(QImage(path("pictures.png")).size(), two.size());
}

struct UsageCase {
    const char *name;
    QStringList args; // after the package
    const char *says;
};

class PackageChartUsage : public PackageChart, public testing::WithParamInterface<UsageCase> {};

TEST_P(PackageChartUsage, AWrongCommandLineWritesNothing)
{
    const ToolRun r = chart(QStringList{de()} + GetParam().args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
    EXPECT_TRUE(entries().isEmpty()) << entries().join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Options, PackageChartUsage,
    testing::Values(UsageCase{"noOutput", {}, "needs -o"},
                    UsageCase{"unknownFormat", {"-o", "chart.gif"}, "must end in .svg, .pdf or .png"},
                    UsageCase{"badStyle", {"-o", "c.svg", "--style", "photo"}, "--style takes legends or pictures"},
                    UsageCase{"badColours", {"-o", "c.svg", "--colours", "rainbow"}, "takes finger, plain or use"},
                    UsageCase{"useWithoutText", {"-o", "c.svg", "--colours", "use"}, "needs the texts to count"},
                    UsageCase{"textWithoutUse", {"-o", "c.svg", "--text", "t.txt"}, "--text is for --colours use"},
                    UsageCase{"badEncoding", {"-o", "c.svg", "--colours", "use", "--text", "t.txt",
                                              "--input-encoding", "latin9"}, "--input-encoding takes"},
                    UsageCase{"zeroScale", {"-o", "c.png", "--scale", "0"}, "--scale takes a number above 0"},
                    UsageCase{"hugeScale", {"-o", "c.png", "--scale", "40"}, "at most 16"},
                    UsageCase{"scaleForSvg", {"-o", "c.svg", "--scale", "2"}, "--scale is for PNG only"},
                    UsageCase{"paperForPng", {"-o", "c.png", "--paper", "a4"}, "--paper is for PDF only"},
                    UsageCase{"badPaper", {"-o", "c.pdf", "--paper", "a3"}, "--paper takes a4 or letter"},
                    UsageCase{"missingValue", {"-o", "c.pdf", "--title"}, "--title needs a value"}),
    [](const testing::TestParamInfo<UsageCase> &i) { return std::string(i.param.name); });

// --colours use: the keys coloured by how often typing the texts presses
// them. A text of e alone makes the E key the busiest (the darkest colour),
// keys it never presses the palest, and a bar from little to much use takes
// the finger legend's place.
TEST_F(PackageChart, KeysColouredByTheirUseInTheTexts)
{
    QFile text(path("e.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("eeee eee ee\n");
    text.close();
    const ToolRun r = chart({de(), "-o", path("use.svg"), "--colours", "use", "--text", path("e.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    QFile svg(path("use.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray drawn = svg.readAll();
    const QByteArray busiest = TKeyboardChart::HeatColour(1).name().toLatin1();
    const QByteArray unused = TKeyboardChart::HeatColour(0).name().toLatin1();
    EXPECT_TRUE(drawn.contains("fill=\"" + busiest + "\"")) << busiest.constData();
    EXPECT_TRUE(drawn.contains("fill=\"" + unused + "\""));
    EXPECT_TRUE(drawn.contains(">much use</text>"));

    // A text that cannot be read is an error, and no chart is written.
    const ToolRun missing = chart({de(), "-o", path("none.svg"), "--colours", "use", "--text", path("no.txt")});
    EXPECT_EQ(missing.status, 1) << missing.err;
    EXPECT_FALSE(QFile::exists(path("none.svg")));
}

// The package names its code page: a chart in a CP1252 session draws its
// letters as written; --code-page reads them in another one on purpose.
TEST_F(PackageChart, TheCharactersAreReadInThePackagesCodePage)
{
    const ToolRun import = Start(kTool, {"package", "import", "lt", "--code-page", "CP1257", "--compose-locale",
                                         "en_US.UTF-8", "-o", path("lt.vkt")});
    ASSERT_EQ(import.status, 0) << import.err;
    const ToolRun r = chart({path("lt.vkt"), "-o", path("lt.svg")});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(chart({path("lt.vkt"), "-o", path("wrong.svg"), "--code-page", "cp1252"}).status, 0);
    QFile wrong(path("wrong.svg")), right(path("lt.svg"));
    ASSERT_TRUE(wrong.open(QIODevice::ReadOnly) && right.open(QIODevice::ReadOnly));
    const QString rightText = QString::fromUtf8(right.readAll()), wrongText = QString::fromUtf8(wrong.readAll());
    for (const QString &letter : {QStringLiteral("\u0104"), QStringLiteral("\u010C"), QStringLiteral("\u0160")}) {
        EXPECT_TRUE(rightText.contains(QStringLiteral(">%1</text>").arg(letter))) << letter.toStdString();
        EXPECT_FALSE(wrongText.contains(QStringLiteral(">%1</text>").arg(letter))) << letter.toStdString();
    }
    EXPECT_EQ(chart({path("lt.vkt"), "-o", path("x.svg"), "--code-page", "CP9999"}).status, 1);
}

TEST_F(PackageChart, AFailedExportSaysWhyAndLeavesNoFile)
{
    const ToolRun missing = chart({de(), "-o", path("no/such/folder/c.pdf")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("c.pdf"), std::string::npos) << missing.err;

    const QString empty = save("empty.vkt", [](TDataMod &) {});
    const ToolRun none = chart({empty, "-o", path("c.svg")});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no keys"), std::string::npos) << none.err;
    EXPECT_EQ(entries(), QStringList{"empty.vkt"});
}

TEST_F(PackageChart, KeysDrawnAsTheyAreAreNamedOnStderr)
{
    const QString file = save("odd.vkt", [](TDataMod &dm) {
        sample::BuildSmallKeyboard(dm);
        sample::AddKey(dm, "Over", 90, KeyTypes::Alpha, TValue(0), 0, 5, 5, 20, 20);
        sample::AddKey(dm, "Flat", 91, KeyTypes::Alpha, TValue(0), 0, 300, 0, 0, 20);
    });
    const ToolRun r = chart({file, "-o", path("odd.svg")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: Keys overlap"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"Over\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"Flat\" (0 x 20)"), std::string::npos) << r.err;
    EXPECT_TRUE(QFile::exists(path("odd.svg")));
}

// A PNG too large for the memory the process may have (`ulimit -v`, a
// small machine): the command says so and fails, and the chart written
// before is still there, whole.
TEST_F(PackageChart, APngThatCannotBeMadeKeepsTheOldFileAndFails)
{
    if (!kf::test::AddressSpaceLimit::Works())
        GTEST_SKIP() << "a memory limit and AddressSanitizer do not go together";
    ASSERT_EQ(chart({de(), "-o", path("keep.png")}).status, 0);
    QFile file(path("keep.png"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray old = file.readAll();
    file.close();
    ASSERT_GT(old.size(), 10000);
    const ToolRun r = Start("sh", {"-c", "ulimit -v 250000 && exec \"$0\" \"$@\"", kTool, "package", "chart", de(),
                                   "-o", path("keep.png"), "--scale", "16"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("not enough memory"), std::string::npos) << r.err;
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(entries(), QStringList{"keep.png"});
}

// --title "" draws no title line: the chart is as high as one without a
// definition's title, and the SVG holds no title text.
TEST_F(PackageChart, AnEmptyTitleDrawsNoTitleLine)
{
    ASSERT_EQ(chart({de(), "-o", path("titled.png"), "--scale", "1"}).status, 0);
    ASSERT_EQ(chart({de(), "-o", path("untitled.png"), "--scale", "1", "--title", ""}).status, 0);
    ASSERT_EQ(chart({de(), "-o", path("untitled.svg"), "--title", ""}).status, 0);
    EXPECT_LT(QImage(path("untitled.png")).height(), QImage(path("titled.png")).height());
    QFile svg(path("untitled.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_FALSE(text.contains(">German")) << "the definition's title drawn";
    EXPECT_TRUE(text.contains(">Backspace</text>"));
}

} // namespace
