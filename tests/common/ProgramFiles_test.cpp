// Where the program finds the files it ships with: beside it in the build
// tree, in share/keyfolio of an installed program.

#include "common/InstallDirs.h"
#include "common/ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The install's share folder as the program computes it from its own folder.
QString shareDir(const QString &bin)
{
    return QDir::cleanPath(bin + QLatin1Char('/') + QLatin1String(kf::kDataDirFromProgramDir));
}

struct PlaceCase {
    const char *name;
    bool beside;    // the file exists beside the program
    bool installed; // the file exists in the share folder
    bool expectInstalled;
};

class ProgramFilePathTest : public ::testing::TestWithParam<PlaceCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("bin")));
    }
    static void touch(const QString &path)
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QTemporaryDir root;
};

TEST_P(ProgramFilePathTest, PrefersTheFileBesideTheProgram)
{
    const PlaceCase &c = GetParam();
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString beside = bin + QStringLiteral("/help/index.html");
    const QString installed = shareDir(bin) + QStringLiteral("/help/index.html");
    if (c.beside)
        touch(beside);
    if (c.installed)
        touch(installed);
    const QString found = kf::ProgramFilePath(bin, QStringLiteral("help/index.html"));
    EXPECT_EQ(QDir::cleanPath(found).toStdString(), (c.expectInstalled ? installed : beside).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    ProgramFiles, ProgramFilePathTest,
    ::testing::Values(PlaceCase{"build_tree", true, false, false}, PlaceCase{"installed", false, true, true},
                      PlaceCase{"both_beside_wins", true, true, false},
                      PlaceCase{"neither_names_the_place_beside", false, false, false}),
    [](const ::testing::TestParamInfo<PlaceCase> &caseInfo) { return std::string(caseInfo.param.name); });

TEST(ProgramFiles, FindsAFolderInTheShareFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    const QString locale = shareDir(bin) + QStringLiteral("/locale");
    ASSERT_TRUE(QDir().mkpath(locale));
    EXPECT_EQ(kf::ProgramFilePath(bin, QStringLiteral("locale")).toStdString(), locale.toStdString());
}

} // namespace
