// keyfolio-tool course, run as a process: the result text byte for byte,
// the exit statuses and what goes to stderr.

#include "FileSizeLimit.h"
#include "common/CodePage.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

const QString kTool = QStringLiteral(KF_BINARY_DIR "/src/keyfolio-tool");
const std::string kData = std::string(KF_TEST_DATA_DIR) + "/tcg/";

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool, in the given code page if one is named; with a limit, its
// files cannot grow beyond that many bytes.
ToolRun course(const QStringList &args, const QString &codePage = {}, uint64_t sizeLimit = 0)
{
    QProcess p;
    if (sizeLimit > 0)
        p.setChildProcessModifier([sizeLimit] { kf::test::ApplyFileSizeLimit(sizeLimit); });
    if (!codePage.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KEYFOLIO_CODEPAGE"), codePage);
        p.setProcessEnvironment(env);
    }
    p.start(kTool, QStringList{"course"} + args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
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
