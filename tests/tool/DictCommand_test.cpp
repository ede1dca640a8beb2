// keyfolio-tool dict, run as a process: the written list byte for byte, the
// counters on stderr and the exit statuses.

#include "common/TextFile.h"
#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>

#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QString kTool = QStringLiteral(KF_BINARY_DIR "/src/keyfolio-tool");

using ToolRun = kf::test::TProgramRun;

// Runs the tool in the given code page; with a limit, its files cannot grow
// beyond that many bytes.
ToolRun dict(const QStringList &args, const QString &codePage = QStringLiteral("CP1252"),
             uint64_t sizeLimit = 0)
{
    return kf::test::RunProgram(kTool, QStringList{"dict"} + args, codePage, sizeLimit);
}

class DictCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_a = write("a.txt", "The cat saw the CAT. don't well-known why? why!\r\n"
                             "abc1 2006 abc ab abcde abcdef abcdef\r\n");
        m_b = write("b.txt", "cat cat zebra\n");
    }
    QString write(const QString &name, const std::string &bytes)
    {
        const QString p = m_dir.filePath(name);
        kf::writeFileBytes(p.toStdString(), bytes);
        return p;
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    std::string read(const QString &name) const { return kf::readFileBytes(path(name).toStdString()); }

    QTemporaryDir m_dir;
    QString m_a, m_b;
};

} // namespace

TEST_F(DictCommand, OptionsActAsTheWindowsOperations)
{
    const struct {
        const char *name;
        QStringList options;
        const char *expected;
        int listed;
        int scanned = 20;
    } cases[] = {
        {"default order is WordIndex", {},
         "2006\r\nab\r\nabc\r\nabc1\r\nabcde\r\nabcdef\r\ncat\r\ndon\r\nsaw\r\nt\r\nthe\r\n"
         "well-known\r\nwhy\r\nzebra\r\n",
         14},
        {"frequency with counts", {"--sort", "frequency", "--counts", "--frequency", "2:100"},
         "cat\t4\r\nabcdef\t2\r\nthe\t2\r\nwhy\t2\r\n", 4},
        {"length filter and order", {"--length", "3:5", "--sort", "length"},
         "abc\r\ncat\r\ndon\r\nsaw\r\nthe\r\nwhy\r\n2006\r\nabc1\r\nabcde\r\nzebra\r\n", 10},
        {"digits purged before the filter", {"--no-digits", "--length", "4:4"}, "", 0},
        {"alpha", {"--sort", "alpha", "--no-digits", "--frequency", "1:1"},
         "ab\r\nabc\r\nabcde\r\ndon\r\nsaw\r\nt\r\nwell-known\r\nzebra\r\n", 8},
        {"case-sensitive, no additional delimiters",
         {"--case-sensitive", "--delimiters", "", "--length", "4:4"},
         "2006\r\nabc1\r\nwhy!\r\nwhy?\r\n", 4},
        {"a letter as a delimiter", {"--delimiters", "e", "--sort", "frequency", "--frequency", "3:9"},
         "cat\r\nabcd\r\n", 2, 24},
    };
    for (const auto &c : cases) {
        const ToolRun r = dict(c.options + QStringList{"-o", path("out.txt"), m_a, m_b});
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(read("out.txt"), c.expected) << c.name;
        const QRegularExpression counters(
            "^(\\d+) words scanned, 0 not in the code page, (\\d+) words listed, \\d+ ms\n$");
        const auto m = counters.match(QString::fromStdString(r.err));
        ASSERT_TRUE(m.hasMatch()) << c.name << ": " << r.err;
        EXPECT_EQ(m.captured(1).toInt(), c.scanned) << c.name;
        EXPECT_EQ(m.captured(2).toInt(), c.listed) << c.name;
    }
}

TEST_F(DictCommand, UnreadableFileWritesNothing)
{
    write("keep.txt", "what the user had\r\n");
    const QString missing = path("vanished.txt");
    for (const QString &out : {path("new.txt"), path("keep.txt")}) {
        const ToolRun r = dict({"-o", out, m_a, missing});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(missing.toStdString()), std::string::npos) << r.err;
    }
    EXPECT_FALSE(QFile::exists(path("new.txt")));
    EXPECT_EQ(read("keep.txt"), "what the user had\r\n");
}

TEST_F(DictCommand, BadCommandLinesAreUsageErrors)
{
    const QStringList cases[] = {
        {m_a},                                                  // no -o
        {"-o", path("x.txt")},                                  // no files
        {"--length", "1:2", "--frequency", "1:2", "-o", path("x.txt"), m_a},
        {"--length", "3", "-o", path("x.txt"), m_a},
        {"--frequency", "a:b", "-o", path("x.txt"), m_a},
        {"--length", "1:99999999999", "-o", path("x.txt"), m_a},
        {"--sort", "size", "-o", path("x.txt"), m_a},
        {"--bogus", "-o", path("x.txt"), m_a},
        {"--input-encoding", "latin-1", "-o", path("x.txt"), m_a},
        {"--unmappable", "", "-o", path("x.txt"), m_a},
        {"--delimiters", QStringLiteral("\u0142"), "-o", path("x.txt"), m_a}, // not in CP1252
        {"-o"},
    };
    for (const QStringList &args : cases) {
        const ToolRun r = dict(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(QFile::exists(path("x.txt")));
}

// Delimiters come from the terminal in UTF-8: "\u20AC" is byte 0x80 of CP1252.
TEST_F(DictCommand, DelimitersTypedInUtf8AreCodePageCharacters)
{
    const QString text = write("euro.txt", "ab\x80" "cd ef\r\n");
    const ToolRun r = dict({"--delimiters", QStringLiteral("\u20AC"), "-o", path("out.txt"), text});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("out.txt"), "ab\r\ncd\r\nef\r\n");
}

TEST_F(DictCommand, AFailedWriteKeepsTheOldList)
{
    const std::string old = "the dictionary of last week\r\n";
    for (const QStringList &options : {QStringList{}, QStringList{"--counts"}}) {
        SCOPED_TRACE(options.join(' ').toStdString());
        write("keep.txt", old);
        const ToolRun r = dict(options + QStringList{"-o", path("keep.txt"), m_a, m_b}, QStringLiteral("CP1252"), 16);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("Cannot write file \"" + path("keep.txt").toStdString() + "\""), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        EXPECT_EQ(read("keep.txt"), old);
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{"a.txt", "b.txt", "keep.txt"}));
    }
}

TEST_F(DictCommand, InputEncodingAndWordsNotInTheCodePage)
{
    const QString pl = QStringLiteral(KF_TEST_DATA_DIR "/wordlist/pl.utf8.txt");
    const QRegularExpression counters("^(\\d+) words scanned, (\\d+) not in the code page, (\\d+) words listed");
    ToolRun r = dict({"--sort", "frequency", "--unmappable", path("pl-unmappable.txt"), "-o", path("pl.dic"), pl});
    ASSERT_EQ(r.status, 0) << r.err;
    auto m = counters.match(QString::fromStdString(r.err));
    ASSERT_TRUE(m.hasMatch()) << r.err;
    EXPECT_EQ(m.captured(2).toInt(), 23);
    const std::string unmappable = read("pl-unmappable.txt");
    const std::string firstTwo = "dzie\xC5\x84\t3\r\nby\xC5\x82\t2\r\n";
    EXPECT_EQ(unmappable.substr(0, firstTwo.size()), firstTwo);
    EXPECT_EQ(std::count(unmappable.begin(), unmappable.end(), '\n'), 20);
    EXPECT_EQ(read("pl.dic").find("?"), std::string::npos);

    // In the code page the text belongs to, every word is listed.
    r = dict({"--unmappable", path("none.txt"), "-o", path("pl1250.dic"), pl}, "CP1250");
    ASSERT_EQ(r.status, 0) << r.err;
    m = counters.match(QString::fromStdString(r.err));
    ASSERT_TRUE(m.hasMatch()) << r.err;
    EXPECT_EQ(m.captured(2).toInt(), 0);
    EXPECT_EQ(read("none.txt"), "");
    EXPECT_NE(read("pl1250.dic").find("dzie\xF1\r\n"), std::string::npos);

    // UTF-16 with a mark, and asked for without one, give the code-page list.
    const std::string text = "Gr\xC3\xB6\xC3\x9F" "e, gro\xC3\x9F \xE2\x82\xAC 5\r\n";
    auto utf16 = [](const std::string &utf8, bool bom) {
        std::string out = bom ? "\xFF\xFE" : "";
        for (const QChar c : QString::fromStdString(utf8))
            out += std::string{char(c.unicode() & 0xFF), char(c.unicode() >> 8)};
        return out;
    };
    write("cp.txt", "Gr\xF6\xDF" "e, gro\xDF \x80 5\r\n");
    ASSERT_EQ(dict({"--input-encoding", "codepage", "-o", path("cp.dic"), path("cp.txt")}).status, 0);
    const struct {
        QStringList options;
        std::string bytes;
    } forms[] = {
        {{}, text},
        {{"--input-encoding", "utf-8"}, text},
        {{}, utf16(text, true)},
        {{"--input-encoding", "utf-16le"}, utf16(text, false)},
    };
    for (const auto &f : forms) {
        write("in.txt", f.bytes);
        r = dict(f.options + QStringList{"-o", path("out.dic"), path("in.txt")});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read("out.dic"), read("cp.dic")) << f.options.join(' ').toStdString();
    }
}

TEST_F(DictCommand, MalformedUtf8IsAnErrorAndWritesNothing)
{
    write("keep.dic", "what the user had\r\n");
    // The offset counts from the file's first byte, a byte-order mark included.
    const std::string text = "fine words\r\nthen \xC3\xA9\xC3 broken\r\n"; // the cut sequence at 19
    const struct {
        const char *name;
        std::string bytes;
        QStringList options;
        const char *offset;
    } cases[] = {
        {"utf-8 asked", text, {"--input-encoding", "utf-8"}, "byte offset 19"},
        {"utf-8 asked, marked", "\xEF\xBB\xBF" + text, {"--input-encoding", "utf-8"}, "byte offset 22"},
        {"auto, marked", "\xEF\xBB\xBF" + text, {}, "byte offset 22"},
    };
    QString bad;
    for (const auto &c : cases) {
        bad = write("bad.txt", c.bytes);
        const ToolRun r = dict(c.options + QStringList{"-o", path("keep.dic"), m_a, bad});
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_NE(r.err.find(bad.toStdString()), std::string::npos) << c.name << r.err;
        EXPECT_NE(r.err.find(c.offset), std::string::npos) << c.name << r.err;
        EXPECT_EQ(read("keep.dic"), "what the user had\r\n") << c.name;
    }
    bad = write("bad.txt", text);
    // Asked to read it as the code page, it is bytes like any other.
    EXPECT_EQ(dict({"--input-encoding", "codepage", "-o", path("keep.dic"), bad}).status, 0);
}

TEST_F(DictCommand, ABinaryFileIsNamedInAWarning)
{
    const QString program = write("program", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0", 11));
    const ToolRun r = dict({"-o", path("out.txt"), m_a, program});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(program.toStdString() + " looks like a binary file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("a.txt looks like"), std::string::npos) << r.err;
}
