#include "common/FilePath.h"

#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cctype>
#include <clocale>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct PathCase {
    const char *name;
    const char *locale;
    QString fileName;
};

void PrintTo(const PathCase &c, std::ostream *os) { *os << c.name << " under " << c.locale; }

const char *const kLocales[] = {"C", "C.UTF-8"};
const char *const kNames[][2] = {
    {"ascii", "plain.txt"},
    {"latin", "Schl\xc3\xbcssel \xc3\xa4\xc3\xb6\xc3\xbc.txt"},
    {"cyrillic", "\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87.vkt"},
    {"ideographs", "\xe9\x8d\xb5 key.txt"},
    {"outside the basic plane", "\xf0\x9f\x8e\xb9 piano.rtf"},
};

std::vector<PathCase> cases()
{
    std::vector<PathCase> out;
    for (const char *locale : kLocales)
        for (const auto &n : kNames)
            out.push_back({n[0], locale, QString::fromUtf8(n[1])});
    return out;
}

class FilePathTest : public testing::TestWithParam<PathCase> {
protected:
    void SetUp() override
    {
        const char *current = std::setlocale(LC_ALL, nullptr);
        saved = current ? current : "C";
        if (!std::setlocale(LC_ALL, GetParam().locale))
            GTEST_SKIP() << "locale " << GetParam().locale << " is not installed";
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { std::setlocale(LC_ALL, saved.c_str()); }

    std::string saved;
    QTemporaryDir dir;
};

// A file written through the path of a name the dialogs gave is the file of
// that name, and a file of that name is read through its path.
TEST_P(FilePathTest, NameAndPathReachTheSameFile)
{
    const QString name = GetParam().fileName;
    const QString full = dir.filePath(name);

    kf::writeFileBytes(kf::LocalPath(full), "written by path");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
    QFile byName(full);
    ASSERT_TRUE(byName.open(QIODevice::ReadOnly)) << byName.errorString().toStdString();
    EXPECT_EQ(byName.readAll(), QByteArray("written by path"));
    byName.close();

    ASSERT_TRUE(byName.open(QIODevice::WriteOnly | QIODevice::Truncate));
    byName.write("written by name");
    byName.close();
    EXPECT_EQ(kf::readFileBytes(kf::LocalPath(full)), "written by name");
}

TEST_P(FilePathTest, RoundTrip)
{
    const QString full = dir.filePath(GetParam().fileName);
    EXPECT_EQ(kf::PathName(kf::LocalPath(full)), full);
    const std::string path = kf::LocalPath(full);
    EXPECT_EQ(kf::LocalPath(kf::PathName(path)), path);
}

INSTANTIATE_TEST_SUITE_P(Names, FilePathTest, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<PathCase> &caseInfo) {
                             std::string name = std::string(caseInfo.param.name) + "_" + caseInfo.param.locale;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

} // namespace
