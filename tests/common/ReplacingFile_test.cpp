// Every saver that replaces a file the user chose writes beside it and renames
// over it: a save that fails part way (here under a file-size limit, as on a
// full disk) reports the error and leaves the old file byte for byte as it was,
// and a save that succeeds keeps the old file's permissions.

// First: the word splitter has a member named like a Qt macro.
#include "words/DicBuilder.h"

#include "FileSizeLimit.h"
#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/TextFile.h"
#include "model/MainData.h"
#include "table/RecordTable.h"
#include "model/ZipArchive.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace kf;

namespace {

// Writes beyond this many bytes fail.
constexpr uint64_t kLimit = 512;

const std::string kOldFile = "the list the user saved last week\r\n";

// A keyboard definition whose package is well over the limit.
void fillKeyboard(TDataMod &dm)
{
    for (int i = 0; i < 200; ++i)
        dm.MainTbl.AppendRecord({TValue("key " + std::to_string(i)), TValue(int32_t(i)), TValue(1), TValue(),
                                 TValue(3), TValue(), TValue(40), TValue(38), TValue(int32_t(i * 7 % 500)),
                                 TValue(int32_t(i * 13 % 300)), TValue("hint " + std::to_string(i * 7919))});
}

// Text well over the limit.
std::string bigText()
{
    std::string s;
    for (int i = 0; s.size() < 64 * 1024; ++i)
        s += "word" + std::to_string(i) + "\r\n";
    return s;
}

struct Saver {
    const char *name;
    // Saves something larger than kLimit at path. Throws, or returns false
    // with a reason in why (the package save reports by a flag).
    std::function<bool(const std::string &path, std::string &why)> save;
};

std::vector<Saver> savers(const std::string &scanFile)
{
    return {
        {"text file (course result, demo text, JSON dump)",
         [](const std::string &path, std::string &) {
             writeFileBytes(path, bigText());
             return true;
         }},
        {"text lines",
         [](const std::string &path, std::string &) {
             writeTextLines(path, splitLines(bigText()));
             return true;
         }},
        {"written in parts",
         [](const std::string &path, std::string &) {
             ReplacingFile out(path);
             for (int i = 0; i < 200; ++i)
                 out.write(std::string(100, char('a' + i % 26)));
             out.commit();
             return true;
         }},
        {"dictionary",
         [scanFile](const std::string &path, std::string &) {
             TDicBuilder b;
             b.MakeWordList({scanFile}, false, "");
             b.SaveWordlist(path);
             return true;
         }},
        {"dictionary with counts",
         [scanFile](const std::string &path, std::string &) {
             TDicBuilder b;
             b.MakeWordList({scanFile}, false, "");
             b.SaveFrequencyList(path);
             return true;
         }},
        {"keyboard package",
         [](const std::string &path, std::string &why) {
             TDataMod dm;
             fillKeyboard(dm);
             const bool ok = dm.SavePackage(path);
             why = dm.PackageError();
             return ok;
         }},
        {"ZIP archive",
         [](const std::string &path, std::string &) {
             ZipArchive::writeFile(path, {{"a.txt", bigText()}, {"b.bin", std::string(4096, '\x5A')}}, 0);
             return true;
         }},
        {"datapacket file",
         [](const std::string &path, std::string &) {
             TDataMod dm;
             fillKeyboard(dm);
             dm.MainTbl.SaveToFile(path);
             return true;
         }},
    };
}

// What a save reports: "ok", the error kind and message, or "refused: " and
// the reason of a save that reports by a flag.
std::string runSave(const Saver &s, const std::string &path)
{
    try {
        std::string why;
        return s.save(path, why) ? std::string("ok") : "refused: " + why;
    } catch (const Exception &e) {
        return std::string(e.kind()) + ": " + e.what();
    }
}

mode_t modeOf(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

class ReplacingFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_scan = path("scan.txt");
        writeFileBytes(m_scan, bigText());
    }
    std::string path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)).toStdString(); }

    QTemporaryDir m_dir;
    std::string m_scan;
};

TEST_F(ReplacingFileTest, AFailedSaveKeepsTheOldFileAndReportsTheError)
{
    for (const Saver &s : savers(m_scan)) {
        SCOPED_TRACE(s.name);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const std::string target = folder.filePath(QStringLiteral("target")).toStdString();
        writeFileBytes(target, kOldFile);
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

        const std::string report = test::RunWithFileSizeLimit(kLimit, [&] { return runSave(s, target); });

        EXPECT_NE(report.find("Cannot write file \"" + target + "\""), std::string::npos) << report;
        EXPECT_NE(report.find("File too large"), std::string::npos) << report;
        EXPECT_EQ(readFileBytes(target), kOldFile);
        EXPECT_EQ(modeOf(target), mode_t(0640));
        EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("target")}) << "no temporary file stays";
    }
}

TEST_F(ReplacingFileTest, ASaveReplacesTheFileAndKeepsItsPermissions)
{
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755)}) {
        for (const Saver &s : savers(m_scan)) {
            SCOPED_TRACE(std::string(s.name) + " mode " + std::to_string(mode));
            QTemporaryDir folder;
            ASSERT_TRUE(folder.isValid());
            const std::string target = folder.filePath(QStringLiteral("target")).toStdString();
            writeFileBytes(target, kOldFile);
            ASSERT_EQ(::chmod(target.c_str(), mode), 0);

            EXPECT_EQ(runSave(s, target), "ok");
            const std::string saved = readFileBytes(target);
            EXPECT_GT(saved.size(), kLimit) << "the failing case above must write past the limit";
            EXPECT_NE(saved, kOldFile);
            EXPECT_EQ(modeOf(target), mode);
            EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("target")});
        }
    }
}

TEST_F(ReplacingFileTest, TargetsThatCannotBeReplaced)
{
    const std::string folder = m_dir.path().toStdString();
    const struct {
        std::string path;
        const char *reason;
    } cases[] = {
        {folder, "It is a folder."},
        {folder + "/no/such/folder/x.txt", "Cannot create file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        try {
            writeFileBytes(c.path, "new");
            FAIL() << "expected an error";
        } catch (const EFCreateError &e) {
            EXPECT_NE(std::string(e.what()).find("Cannot create file \"" + c.path + "\""), std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(QFileInfo(QString::fromStdString(folder)).isDir());
}

TEST_F(ReplacingFileTest, AnUncommittedFileLeavesTheTargetAlone)
{
    const std::string target = path("kept.txt");
    writeFileBytes(target, kOldFile);
    {
        ReplacingFile out(target);
        out.write("half of a new file");
    } // abandoned, as when an error ends a save between two writes
    EXPECT_EQ(readFileBytes(target), kOldFile);
    EXPECT_EQ(entries(m_dir.path()), (QStringList{QStringLiteral("kept.txt"), QStringLiteral("scan.txt")}));
}

TEST_F(ReplacingFileTest, ALinkIsFollowedAndADeviceIsWrittenInPlace)
{
    // A link to a file: the file it names gets the new text, the link stays.
    const std::string real = path("real.txt");
    const std::string link = path("link.txt");
    writeFileBytes(real, kOldFile);
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    writeFileBytes(link, "new text\r\n");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink());
    EXPECT_EQ(readFileBytes(real), "new text\r\n");

    // A device holds nothing to keep: it is written directly and stays a device.
    writeFileBytes("/dev/null", "into the void");
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

} // namespace
