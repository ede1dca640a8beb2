#include "common/Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "common/Errors.h"
#include "model/RecordTable.h"

#include <gtest/gtest.h>
#include <cstring>

namespace {

// One entry of a catalogue: msgid -> msgstr.
struct Entry {
    const char *id;
    const char *str;
};

class TranslationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "Translation_test";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            app = new QCoreApplication(argc, argv);
    }

    void SetUp() override
    {
        msgfmt = QStandardPaths::findExecutable(QStringLiteral("msgfmt"));
        if (msgfmt.isEmpty())
            GTEST_SKIP() << "msgfmt is not installed";
        ASSERT_TRUE(dir.isValid());
        savedLang = qgetenv("LANG");
    }

    void TearDown() override
    {
        kf::StopTranslation();
        qputenv("LANG", savedLang);
    }

    QString localeDir() const { return dir.filePath(QStringLiteral("locale")); }

    // Builds locale/<code>/LC_MESSAGES/default.mo with msgfmt.
    void buildCatalogue(const QString &code, const QList<Entry> &entries,
                        const QByteArray &charset = "UTF-8")
    {
        const QString folder = localeDir() + QLatin1Char('/') + code + QStringLiteral("/LC_MESSAGES");
        ASSERT_TRUE(QDir().mkpath(folder));
        QByteArray po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=" + charset
                        + "\\n\"\n\n";
        for (const Entry &e : entries)
            po += QByteArray("msgid \"") + e.id + "\"\nmsgstr \"" + e.str + "\"\n\n";
        const QString poPath = folder + QStringLiteral("/default.po");
        QFile f(poPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(po);
        f.close();
        QProcess p;
        p.start(msgfmt, {QStringLiteral("-o"), folder + QStringLiteral("/default.mo"), poPath});
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }

    static inline QCoreApplication *app = nullptr;
    QTemporaryDir dir;
    QString msgfmt;
    QByteArray savedLang;
};

TEST_F(TranslationTest, CatalogueOfTheLanguageTranslatesLibraryAndPlatformTexts)
{
    buildCatalogue(QStringLiteral("de"), {{"Delete record?", "Datensatz l\xc3\xb6schen?"},
                                          {"Field '%s' must have a value", "Feld '%s' muss einen Wert haben"},
                                          {"OK", "Gut"}});
    qputenv("LANG", "de_AT.UTF-8");

    ASSERT_TRUE(kf::StartTranslation(localeDir()));
    EXPECT_EQ(kf::TranslationLanguage(), QStringLiteral("de_AT"));
    EXPECT_EQ(kf::TranslationCatalogue(), QStringLiteral("de"));
    EXPECT_STREQ(kf::Translate("Delete record?"), "Datensatz l\xc3\xb6schen?");
    EXPECT_EQ(kf::TranslateQ("Field '%s' must have a value"),
              QStringLiteral("Feld '%s' muss einen Wert haben"));
    // The record-table engine's messages go through the catalogue, the
    // field's name put where the placeholder stands.
    kf::TRecordTable table({{"Name", kf::TFieldType::String, 5, true}});
    table.Append();
    try {
        table.Post();
        ADD_FAILURE() << "a required field left empty was posted";
    } catch (const kf::EDatabaseError &e) {
        EXPECT_STREQ(e.what(), "Feld 'Name' muss einen Wert haben");
    }
    table.Cancel();
    // Texts without an entry come back unchanged.
    EXPECT_STREQ(kf::Translate("Some bugs in the config of the template."),
                 "Some bugs in the config of the template.");
    // The texts Qt shows itself (dialog buttons) go through the catalogue too.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("Gut"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));

    kf::StopTranslation();
    EXPECT_STREQ(kf::Translate("Delete record?"), "Delete record?");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("OK"));
}

TEST_F(TranslationTest, FullLanguageCodeComesBeforeItsFirstTwoLetters)
{
    buildCatalogue(QStringLiteral("pt"), {{"Delete record?", "two letters"}});
    buildCatalogue(QStringLiteral("pt_BR"), {{"Delete record?", "full code"}});
    qputenv("LANG", "pt_BR.UTF-8");

    ASSERT_TRUE(kf::StartTranslation(localeDir()));
    EXPECT_EQ(kf::TranslationCatalogue(), QStringLiteral("pt_BR"));
    EXPECT_STREQ(kf::Translate("Delete record?"), "full code");
}

TEST_F(TranslationTest, StaysOffWithoutAUtf8CatalogueOfTheLanguage)
{
    struct Case {
        const char *name;
        const char *lang;
        const char *folder;  // where the catalogue lies, or nullptr for none
        const char *charset;
    };
    const Case cases[] = {
        {"no catalogue at all", "fr_FR.UTF-8", nullptr, "UTF-8"},
        {"catalogue of another language", "fr_FR.UTF-8", "es", "UTF-8"},
        {"catalogue not in UTF-8", "fi_FI.UTF-8", "fi", "ISO-8859-1"},
        {"catalogue without charset", "sv_SE", "sv", "CHARSET"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.folder)
            buildCatalogue(QString::fromLatin1(c.folder), {{"Delete record?", "translated"}},
                           c.charset);
        qputenv("LANG", c.lang);
        EXPECT_FALSE(kf::StartTranslation(localeDir()));
        EXPECT_FALSE(kf::TranslationActive());
        const char *id = "Delete record?";
        EXPECT_EQ(kf::Translate(id), id);
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("OK"));
    }
}

} // namespace
