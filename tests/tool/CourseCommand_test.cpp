// keyfolio-tool course, run as a process: the result text byte for byte,
// the exit statuses and what goes to stderr.

#include "common/CodePage.h"
#include "common/TextFile.h"
#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

const QString kTool = QStringLiteral(KF_BINARY_DIR "/src/keyfolio-tool");
const std::string kData = std::string(KF_TEST_DATA_DIR) + "/tcg/";

using ToolRun = kf::test::TProgramRun;

// Runs the tool, in the given code page if one is named; with a limit, its
// files cannot grow beyond that many bytes.
ToolRun course(const QStringList &args, const QString &codePage = {}, uint64_t sizeLimit = 0)
{
    return kf::test::RunProgram(kTool, QStringList{"course"} + args, codePage, sizeLimit);
}

QStringList golden()
{
    return {"--dictionary", QString::fromStdString(kData + "dictionary.txt"), "--strings",
            QString::fromStdString(kData + "strings.txt"), "--mode", "letters"};
}

TEST(CourseCommand, ViewsWriteTheResultTextByteForByte)
{
    const struct {
        QStringList args;
        const char *file;
    } cases[] = {
        {{}, "view0-headings.txt"},
        {{"--no-headings"}, "view0.txt"},
        {{"--view", "picked"}, "view0-headings.txt"},
        {{"--view", "default"}, "view1-headings.txt"},
        {{"--view", "default", "--no-headings"}, "view1.txt"},
        {{"--view", "length"}, "view2-headings.txt"},
        {{"--view", "length", "--no-headings"}, "view2.txt"},
        {{"--view", "no-headings"}, "view3.txt"},
        {{"--view", "with-headings", "--no-headings"}, "view4.txt"},
        {{"--view", "wordlist"}, "view5.txt"},
    };
    for (const auto &c : cases) {
        const ToolRun r = course(golden() + c.args);
        EXPECT_EQ(r.status, 0) << c.file << r.err;
        EXPECT_EQ(r.out, kf::readFileBytes(kData + c.file)) << c.file;
    }
}

TEST(CourseCommand, WritesToAFileWithDashO)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("result.txt");
    const ToolRun r = course(golden() + QStringList{"--view", "wordlist", "-o", out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(kf::readFileBytes(out.toStdString()), kf::readFileBytes(kData + "view5.txt"));
}

TEST(CourseCommand, AFailedWriteKeepsTheOldResult)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("result.txt");
    const std::string old = "the course of last week\r\n";
    kf::writeFileBytes(out.toStdString(), old);
    const ToolRun r = course(golden() + QStringList{"--view", "wordlist", "-o", out}, {}, 16);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot write file \"" + out.toStdString() + "\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    EXPECT_EQ(kf::readFileBytes(out.toStdString()), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"result.txt"});
}

TEST(CourseCommand, LengthsAndCaseReachTheEngine)
{
    QTemporaryDir dir;
    const std::string strings = dir.filePath("s.txt").toStdString();
    const std::string words = dir.filePath("w.txt").toStdString();
    kf::writeTextLines(strings, {"asdf"});
    kf::writeTextLines(words, {"a", "sad", "Sad", "fads", "dad"});
    const QStringList base{"--dictionary", QString::fromStdString(words), "--strings",
                           QString::fromStdString(strings), "--mode", "finger", "--view", "no-headings"};
    EXPECT_EQ(course(base).out, "a sad Sad fads dad\r\n");
    EXPECT_EQ(course(base + QStringList{"--min", "3", "--max", "3"}).out, "sad Sad dad\r\n");
    EXPECT_EQ(course(base + QStringList{"--case-sensitive", "--min", "2"}).out, "sad fads dad\r\n");
}

TEST(CourseCommand, PatternErrorWritesThePartialResultAndExitsWith3)
{
    QTemporaryDir dir;
    const std::string strings = dir.filePath("s.txt").toStdString();
    const std::string words = dir.filePath("w.txt").toStdString();
    kf::writeTextLines(strings, {"c\\w+", "(ab"});
    kf::writeTextLines(words, {"cat", "dog", "cow"});
    const ToolRun r = course({"--dictionary", QString::fromStdString(words), "--strings",
                          QString::fromStdString(strings), "--mode", "regex"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Something wrong with regular expression: (ab"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "=========================\r\nThe to-be-typed keys:  c\\w+  >> Total: 1\r\n"
                     "-------------------------\r\ncat\r\n"
                     "=========================\r\nThe to-be-typed keys:  (ab  >> Total: 0\r\n"
                     "-------------------------\r\n\r\n");
}

TEST(CourseCommand, BadInputsExitWithAnError)
{
    const std::string missing = "/nonexistent/words-xyz.txt";
    ToolRun r = course({"--dictionary", QString::fromStdString(missing), "--strings",
                    QString::fromStdString(kData + "strings.txt"), "--mode", "letters"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");

    r = course(golden() + QStringList{"--min", "three"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");

    for (const QStringList &args : {QStringList{"--mode", "finger"}, golden() + QStringList{"--view", "sideways"},
                                    golden() + QStringList{"--frobnicate"}, golden() + QStringList{"-o"}}) {
        r = course(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.out, "");
    }
}

// The dictionary and the strings in UTF-8 or UTF-16 give the result of their
// code-page versions; a dictionary word the code page lacks is left out.
TEST(CourseCommand, EncodedInputsGiveTheCodePageResult)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const kf::CodePage cp1252("CP1252");
    const QString words = QString::fromUtf8("Gr\u00f6\u00dfe\ngr\u00f6\u00dfer\nStra\u00dfe\n\u00c4pfel\n"
                                            "\u0142\u00f3d\u017a\n\u00fcbel\nz\u00e4hlen\nstrass\n");
    const QString strings = QString::fromUtf8("gr\u00f6\nstra\u00df\n\u00e4\n");
    auto file = [&](const QString &name, const std::string &bytes) {
        const QString p = dir.filePath(name);
        kf::writeFileBytes(p.toStdString(), bytes);
        return p;
    };
    auto utf16 = [](const QString &s, bool bigEndian, bool bom) {
        std::string out = bom ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
        for (const QChar c : s) {
            const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
        }
        return out;
    };
    QStringList cpArgs = {"--dictionary", file("dict.cp", cp1252.encode(words)), "--strings",
                          file("strings.cp", cp1252.encode(strings))};
    for (const char *mode : {"letters", "head"}) {
        const ToolRun want = course(cpArgs + QStringList{"--mode", mode, "--input-encoding", "codepage"}, "CP1252");
        ASSERT_EQ(want.status, 0) << want.err;
        ASSERT_NE(want.out.find("Gr\xF6\xDF" "e"), std::string::npos) << mode << want.out;
        const struct {
            const char *name;
            std::string dictionary, strings;
            QStringList options;
        } forms[] = {
            {"utf-8", words.toStdString(), strings.toStdString(), {}},
            {"utf-8 marked", "\xEF\xBB\xBF" + words.toStdString(), strings.toStdString(), {}},
            {"utf-16le marked", utf16(words, false, true), utf16(strings, false, true), {}},
            {"utf-16be asked", utf16(words, true, false), utf16(strings, true, false),
             {"--input-encoding", "utf-16be"}},
        };
        for (const auto &f : forms) {
            const ToolRun got = course(QStringList{"--dictionary", file("dict.in", f.dictionary), "--strings",
                                                   file("strings.in", f.strings), "--mode", mode} + f.options,
                                       "CP1252");
            EXPECT_EQ(got.status, 0) << f.name << got.err;
            EXPECT_EQ(got.out, want.out) << f.name << " " << mode;
            EXPECT_NE(got.err.find("1 dictionary words not in the code page"), std::string::npos) << got.err;
        }
    }
    // A string the code page cannot hold is an error naming the file and line.
    const QString badStrings = file("bad-strings.txt", "gr\xC3\xB6\r\n\xC5\x82\xC3\xB3\r\n");
    const ToolRun r = course({"--dictionary", file("dict.in", words.toStdString()), "--strings", badStrings,
                              "--mode", "letters"}, "CP1252");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Line 2 of file \"" + badStrings.toStdString() + "\""), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

} // namespace

// course plan: the strings file, the printed plan, and the round trip into
// the course.
namespace {

const QString kSampleKeyboard = QStringLiteral(KF_TEST_DATA_DIR "/sample-keyboard.vkt");

struct PlanFiles {
    QTemporaryDir dir;
    std::string dictionary = dir.filePath("dict.txt").toStdString();
    std::string strings = dir.filePath("strings.txt").toStdString();
};

// The --json output.
QJsonObject PlanJson(const std::string &json)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

// The "words" figure of each lesson in the --json output, in order.
std::vector<int> LessonWords(const std::string &json)
{
    std::vector<int> words;
    for (const QJsonValue &l : PlanJson(json).value(QStringLiteral("lessons")).toArray())
        words.push_back(l.toObject().value(QStringLiteral("words")).toInt());
    return words;
}

// The totals of the course's headings, in order.
std::vector<int> HeadingTotals(const std::string &course)
{
    std::vector<int> totals;
    for (size_t at = course.find("Total: "); at != std::string::npos; at = course.find("Total: ", at + 1))
        totals.push_back(std::atoi(course.c_str() + at + 7));
    return totals;
}

} // namespace

TEST(CourseCommand, PlanThenCourseGivesEachLessonThePlannedWords)
{
    PlanFiles f;
    kf::writeTextLines(f.dictionary, {"jj\t1", "dad\t40", "sad\t30", "lads\t20", "flask\t9", "gaffe\t5", "quiz\t3",
                                      "jug\t2", "sea\t2", "axe\t1", "all\t1", "had\t1", "fall\t1"});
    const ToolRun plan = course({"plan", "--keyboard", kSampleKeyboard, "--dictionary",
                                 QString::fromStdString(f.dictionary), "--per-lesson", "3", "--min-words", "2",
                                 "-o", QString::fromStdString(f.strings), "--json"},
                                QStringLiteral("CP1252"));
    ASSERT_EQ(plan.status, 0) << plan.err;
    const QJsonObject root = PlanJson(plan.out);
    ASSERT_FALSE(root.isEmpty()) << plan.out;
    EXPECT_EQ(root.value(QStringLiteral("left_out")).toArray().first().toString(), QStringLiteral(";"));
    // fjd types "jj" only, 1 of the 116 occurrences; dad needs the a of lesson 3.
    const QJsonObject first = root.value(QStringLiteral("lessons")).toArray().first().toObject();
    EXPECT_EQ(first.value(QStringLiteral("new")).toString(), QStringLiteral("fjd"));
    EXPECT_EQ(first.value(QStringLiteral("string")).toString(), QStringLiteral("fjd"));
    EXPECT_EQ(first.value(QStringLiteral("words")).toInt(), 1);
    EXPECT_EQ(first.value(QStringLiteral("distinct")).toInt(), 1);
    EXPECT_NEAR(first.value(QStringLiteral("coverage")).toDouble(), 1.0 / 116, 1e-12);
    EXPECT_EQ(first.value(QStringLiteral("warnings")).toArray().first().toString(),
              QStringLiteral("too few words: 1, fewer than 2"));
    EXPECT_EQ(root.value(QStringLiteral("order")).toString(), QStringLiteral("keyboard"));
    const std::vector<std::string> strings = kf::readTextLines(f.strings);
    ASSERT_FALSE(strings.empty());
    EXPECT_EQ(strings[0], "fjd");
    EXPECT_EQ(strings[1], "fjdksl");

    const ToolRun generated = course({"--mode", "finger", "--strings", QString::fromStdString(f.strings),
                                      "--dictionary", QString::fromStdString(f.dictionary)},
                                     QStringLiteral("CP1252"));
    ASSERT_EQ(generated.status, 0) << generated.err;
    EXPECT_EQ(HeadingTotals(generated.out), LessonWords(plan.out)) << generated.out;
    EXPECT_NE(generated.out.find("dad"), std::string::npos);
}

TEST(CourseCommand, PlanTableWarnsAndListsWhatIsLeftOut)
{
    PlanFiles f;
    kf::writeTextLines(f.dictionary, {"quad", "quiz", "squid", "jaffa", "dq"});
    const ToolRun r = course({"plan", "--keyboard", kSampleKeyboard, "--dictionary",
                              QString::fromStdString(f.dictionary), "--order", "frequency", "--per-lesson", "1"},
                             QStringLiteral("CP1252"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Lesson  New       Words  Distinct  Coverage  String\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("together with \"u\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Left out:\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("fewer than 15"), std::string::npos) << r.out;
}

// The order and "letters only" on the command line, and what the plan did
// with the dictionary's lines.
TEST(CourseCommand, PlanTakesTheOrderAndLettersOnlyAndTellsTheLinesLeftOut)
{
    PlanFiles f;
    // Quotes around a word, a dash alone, a blank line.
    kf::writeTextLines(f.dictionary, {"\x84jak\x93\t3", "dad\t9", "\x96", "", "sea\t40", "lad\t2"});
    const struct {
        const char *name;
        QStringList args;
        const char *order, *firstString;
        bool lettersOnly;
        int dropped;
    } cases[] = {
        {"default", {}, "keyboard", "jd", true, 2},
        {"mixed", {"--order", "mixed"}, "mixed", "jd", true, 2},
        {"frequency, every character", {"--order", "frequency", "--all-characters"}, "frequency", "as", false, 1},
        {"letters only again", {"--all-characters", "--letters-only"}, "keyboard", "jd", true, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList args{"plan", "--keyboard", kSampleKeyboard, "--dictionary", QString::fromStdString(f.dictionary),
                         "--json"};
        const ToolRun r = course(args + c.args, QStringLiteral("CP1252"));
        ASSERT_EQ(r.status, 0) << r.err;
        const QJsonObject root = PlanJson(r.out);
        EXPECT_EQ(root.value(QStringLiteral("order")).toString(), QString::fromLatin1(c.order));
        EXPECT_EQ(root.value(QStringLiteral("letters_only")).toBool(), c.lettersOnly);
        EXPECT_EQ(root.value(QStringLiteral("lessons")).toArray().first().toObject().value(QStringLiteral("string")).toString(),
                  QString::fromLatin1(c.firstString));
        const QJsonObject dictionary = root.value(QStringLiteral("dictionary")).toObject();
        EXPECT_EQ(dictionary.value(QStringLiteral("blank_lines")).toInt() +
                      dictionary.value(QStringLiteral("no_letter_lines")).toInt(),
                  c.dropped);
    }
    // The table says it in words.
    const ToolRun table = course({"plan", "--keyboard", kSampleKeyboard, "--dictionary",
                                  QString::fromStdString(f.dictionary)},
                                 QStringLiteral("CP1252"));
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("Order: Keyboard; letters only\n"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("Dictionary: 4 entries, 54 word occurrences; 2 dictionary lines left out: 1 blank, 1 "
                             "without a letter\n"),
              std::string::npos)
        << table.out;
}

TEST(CourseCommand, PlanBadInputNamesWhatIsMissingAndWritesNothing)
{
    PlanFiles f;
    const QString dict = QString::fromStdString(f.dictionary);
    const QString out = QString::fromStdString(f.strings);
    const std::string utf8 = f.dir.filePath("cyrillic.txt").toStdString();
    kf::writeFileBytes(utf8, "\xd0\xb4\xd0\xb0\r\n\xd0\xbd\xd0\xb5\xd1\x82\r\n");
    const struct {
        const char *name;
        std::vector<std::string> dictionary;
        QStringList args;
        int status;
        const char *message;
    } cases[] = {
        {"empty dictionary", {}, {}, 1, "The dictionary is empty"},
        {"untypeable", {"\xe9t\xe9"}, {}, 1, "types no word of the dictionary"},
        {"another code page", {}, {"--dictionary", QString::fromStdString(utf8)}, 1, "in the code page CP1252"},
        {"no keyboard", {"dad"}, {"--keyboard", f.dir.filePath("none.vkt")}, 1, "none.vkt"},
        {"no such home row", {"dad"}, {"--home-row", "9"}, 1, "no row 9"},
        {"bad order", {"dad"}, {"--order", "random"}, 2, "unknown order"},
        {"no letter", {"1990", "\xad"}, {}, 1, "no word with a letter (2 dictionary lines left out: 2 without a letter)"},
        {"bad level", {"dad"}, {"--levels", "plain,caps"}, 2, "unknown level \"caps\""},
        {"too many a lesson", {"dad"}, {"--per-lesson", "5"}, 1, "from 1 to 4"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        kf::writeTextLines(f.dictionary, c.dictionary);
        QStringList args{"plan", "--keyboard", kSampleKeyboard, "--dictionary", dict, "-o", out};
        args += c.args; // a later option wins
        const ToolRun r = course(args, QStringLiteral("CP1252"));
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(QFile::exists(out));
    }
}
