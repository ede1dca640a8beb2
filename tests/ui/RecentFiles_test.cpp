// The recent-files store: order, limits, kinds, what it keeps in the settings
// store and what it reads back from there, and the switch that keeps nothing.

#include "ui/RecentFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace kf;

namespace {

// The files of a test, under a folder of its own.
class RecentFilesTest : public ::testing::Test {
protected:
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString settingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    std::unique_ptr<QSettings> settings() const
    {
        return std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat);
    }

    QTemporaryDir m_dir;
};

TEST_F(RecentFilesTest, NewestFirstEachOnceAtMostEightOfAKind)
{
    TRecentFiles recent;
    int changes = 0;
    QObject::connect(&recent, &TRecentFiles::Changed, [&] { ++changes; });
    for (int i = 0; i < 10; ++i)
        recent.Add(RecentKind::Package, file(QStringLiteral("k%1.vkt").arg(i)));
    recent.Add(RecentKind::Package, file(QStringLiteral("k5.vkt")));
    recent.Add(RecentKind::Package, file(QStringLiteral("./k5.vkt"))); // the same file, already first
    recent.Add(RecentKind::Dictionary, file(QStringLiteral("words.txt")));

    QStringList expected;
    for (int i : {5, 9, 8, 7, 6, 4, 3, 2})
        expected << file(QStringLiteral("k%1.vkt").arg(i));
    EXPECT_EQ(recent.Files(RecentKind::Package), expected);
    EXPECT_EQ(recent.Files(RecentKind::Dictionary), QStringList{file(QStringLiteral("words.txt"))});
    EXPECT_TRUE(recent.Files(RecentKind::Strings).isEmpty());
    EXPECT_EQ(changes, 12);
    EXPECT_FALSE(recent.Kept());
}

TEST_F(RecentFilesTest, RelativePathsAreKeptAbsolute)
{
    TRecentFiles recent;
    recent.Add(RecentKind::Strings, QStringLiteral("sub/../rows.txt"));
    EXPECT_EQ(recent.Files(RecentKind::Strings), QStringList{QDir::current().absoluteFilePath(QStringLiteral("rows.txt"))});
}

TEST_F(RecentFilesTest, RemoveTakesOneFileOfOneKindAndClearAll)
{
    TRecentFiles recent;
    const QString a = file(QStringLiteral("a.txt")), b = file(QStringLiteral("b.txt"));
    recent.Add(RecentKind::Dictionary, a);
    recent.Add(RecentKind::Dictionary, b);
    recent.Add(RecentKind::Strings, a);

    recent.Remove(RecentKind::Dictionary, a);
    EXPECT_EQ(recent.Files(RecentKind::Dictionary), QStringList{b});
    EXPECT_EQ(recent.Files(RecentKind::Strings), QStringList{a});

    recent.Clear();
    EXPECT_TRUE(recent.IsEmpty());
}

TEST_F(RecentFilesTest, KeptInTheSettingsAndReadBack)
{
    const QString pkg = file(QStringLiteral("de.vkt")), dic = file(QStringLiteral("de.txt"));
    {
        TRecentFiles recent(settings());
        EXPECT_TRUE(recent.Kept());
        recent.Add(RecentKind::Package, pkg);
        recent.Add(RecentKind::Dictionary, dic);
    }
    {
        TRecentFiles again(settings());
        EXPECT_EQ(again.Files(RecentKind::Package), QStringList{pkg});
        EXPECT_EQ(again.Files(RecentKind::Dictionary), QStringList{dic});
        again.Clear();
    }
    TRecentFiles cleared(settings());
    EXPECT_TRUE(cleared.IsEmpty());
}

TEST_F(RecentFilesTest, WhatTheSettingsHoldIsChecked)
{
    // Written by hand or by another program: relative and empty entries,
    // the same file twice, more than eight, a value that is no list.
    {
        auto s = settings();
        QStringList packages{QStringLiteral("relative.vkt"), QString(), file(QStringLiteral("a.vkt")),
                             file(QStringLiteral("sub/../a.vkt"))};
        for (int i = 0; i < 10; ++i)
            packages << file(QStringLiteral("p%1.vkt").arg(i));
        s->setValue(TRecentFiles::Key(RecentKind::Package), packages);
        s->setValue(TRecentFiles::Key(RecentKind::Strings), 42);
    }
    TRecentFiles recent(settings());
    QStringList expected{file(QStringLiteral("a.vkt"))};
    for (int i = 0; i < 7; ++i)
        expected << file(QStringLiteral("p%1.vkt").arg(i));
    EXPECT_EQ(recent.Files(RecentKind::Package), expected);
    EXPECT_TRUE(recent.Files(RecentKind::Strings).isEmpty());
}

// The program's own store: the desktop's settings (here under a
// configuration folder of the test's), unless KEYFOLIO_NO_SETTINGS=1.
TEST_F(RecentFilesTest, TheSettingsSwitchKeepsNothing)
{
    // The settings folder is fixed once per program run: point it here first.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    const QString stored = m_dir.filePath(QStringLiteral("config/Keyfolio/Keyfolio.conf"));
    const QString pkg = file(QStringLiteral("de.vkt"));

    qunsetenv("KEYFOLIO_NO_SETTINGS");
    {
        auto recent = TRecentFiles::ForProgram();
        EXPECT_TRUE(recent->Kept());
        recent->Add(RecentKind::Package, pkg);
    }
    EXPECT_TRUE(QFile::exists(stored));
    EXPECT_EQ(TRecentFiles::ForProgram()->Files(RecentKind::Package), QStringList{pkg});

    qputenv("KEYFOLIO_NO_SETTINGS", "1");
    QFile::remove(stored);
    {
        auto recent = TRecentFiles::ForProgram();
        EXPECT_FALSE(recent->Kept());
        recent->Add(RecentKind::Package, file(QStringLiteral("other.vkt")));
        EXPECT_EQ(recent->Files(RecentKind::Package), QStringList{file(QStringLiteral("other.vkt"))});
    }
    EXPECT_FALSE(QFile::exists(stored));
    // Nor is anything read: the list starts empty.
    {
        qunsetenv("KEYFOLIO_NO_SETTINGS");
        TRecentFiles::ForProgram()->Add(RecentKind::Package, pkg);
        qputenv("KEYFOLIO_NO_SETTINGS", "1");
    }
    EXPECT_TRUE(TRecentFiles::ForProgram()->IsEmpty());
}

} // namespace
