#include "common/Translation.h"

#include "TestCatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/Errors.h"
#include "common/TextFile.h"
#include "dbctrls/TableModel.h"
#include "table/DataSource.h"
#include "table/RecordTable.h"
#include "model/ZipArchive.h"
#include "words/DicBuilder.h"
#include "common/IntegerText.h"
#include "words/tcg.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <functional>
#include <locale.h>
#include <string.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

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
        if (!kf::support::MsgfmtInstalled())
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
    void buildCatalogue(const QString &code, const kf::support::CatalogueEntries &entries,
                        const QByteArray &charset = "UTF-8")
    {
        const QString error = kf::support::BuildCatalogue(localeDir(), code, entries, charset);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    static inline QCoreApplication *app = nullptr;
    QTemporaryDir dir;
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

// The messages of the libraries and the platform, wherever they are raised:
// each is looked up in the catalogue, its placeholders filled in afterwards.
TEST_F(TranslationTest, LibraryAndPlatformMessagesGoThroughTheCatalogue)
{
    // The system's untranslated text, which the catalogue is asked with.
    const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    ASSERT_TRUE(cLocale);
    const std::string noSuchFile = strerror_l(ENOENT, cLocale);
    freelocale(cLocale);
    buildCatalogue(QStringLiteral("de"),
                   {{"'%s' is not a valid integer value", "'%s' ist keine g\xc3\xbcltige ganze Zahl"},
                    {"List index out of bounds (%s)", "Listenindex au\xc3\x9f" "erhalb der Grenzen (%s)"},
                    {"Cannot open file \"%s\". %s", "Datei \"%s\" kann nicht ge\xc3\xb6" "ffnet werden. %s"},
                    {"Cannot create file \"%s\". %s", "Datei \"%s\" kann nicht erstellt werden. %s"},
                    {"It is a folder.", "Es ist ein Ordner."},
                    {"It is not a regular file.", "Es ist keine gew\xc3\xb6hnliche Datei."},
                    {noSuchFile.c_str(), "Datei fehlt"},
                    {"not a ZIP archive", "kein ZIP-Archiv"},
                    {"not a ZIP archive (no data)", "kein ZIP-Archiv (keine Daten)"},
                    {"%s: member missing", "%s: Eintrag fehlt"}});
    qputenv("LANG", "de_DE.UTF-8");
    ASSERT_TRUE(kf::StartTranslation(localeDir()));

    const std::string base = dir.path().toStdString();
    const std::string missing = base + "/missing.txt";
    const std::string noFolder = base + "/no/such/folder/out.txt";
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("folder"))));
    const std::string folder = base + "/folder";

    kf::TRecordTable table({{"Name", kf::TFieldType::String, 20}, {"Code", kf::TFieldType::Integer}});
    table.AppendRecord({"a", 1});
    kf::TDataSource source;
    source.SetDataSet(&table);

    struct Case {
        const char *name;
        std::function<void()> raise;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"grid cell",
         [&] {
             kf::TTableModel model;
             model.SetDataSource(&source);
             model.SetColumns({kf::TColumn("Code", QStringLiteral("Code"), 6, kf::TColumnKind::Number)});
             model.setData(model.index(0, 0), QStringLiteral("12a"));
         },
         "'12a' ist keine g\xc3\xbcltige ganze Zahl"},
        {"dictionary filter answer", [] { kf::StrToInt(QStringLiteral("zwei")); },
         "'zwei' ist keine g\xc3\xbcltige ganze Zahl"},
        {"table field",
         [&] {
             table.Edit();
             table.FieldByName("Code").SetAsString("x");
         },
         "'x' ist keine g\xc3\xbcltige ganze Zahl"},
        {"table row", [&] { table.RowAt(7); }, "Listenindex au\xc3\x9f" "erhalb der Grenzen (7)"},
        {"course group", [] { kf::tcgClass().Group(3); }, "Listenindex au\xc3\x9f" "erhalb der Grenzen (3)"},
        {"text file missing", [&] { kf::readFileBytes(missing); },
         "Datei \"" + missing + "\" kann nicht ge\xc3\xb6" "ffnet werden. Datei fehlt"},
        {"text file is a folder", [&] { kf::readFileBytes(folder); },
         "Datei \"" + folder + "\" kann nicht ge\xc3\xb6" "ffnet werden. Es ist ein Ordner."},
        {"text file not created", [&] { kf::writeFileBytes(noFolder, "x"); },
         "Datei \"" + noFolder + "\" kann nicht erstellt werden. Datei fehlt"},
        {"table file missing", [&] { kf::TRecordTable().LoadFromFile(missing); },
         "Datei \"" + missing + "\" kann nicht ge\xc3\xb6" "ffnet werden. Datei fehlt"},
        {"dictionary scan of a missing file", [&] { kf::TDicBuilder().MakeWordList({missing}, false, ""); },
         "Datei \"" + missing + "\" kann nicht ge\xc3\xb6" "ffnet werden. Datei fehlt"},
        {"dictionary scan of a folder", [&] { kf::TDicBuilder().MakeWordList({folder}, false, ""); },
         "Datei \"" + folder + "\" kann nicht ge\xc3\xb6" "ffnet werden. Es ist ein Ordner."},
        {"dictionary save", [&] { kf::TDicBuilder().SaveWordlist(noFolder); },
         "Datei \"" + noFolder + "\" kann nicht erstellt werden. Datei fehlt"},
        {"package is a folder", [&] { kf::ZipArchive().open(folder); },
         "Datei \"" + folder + "\" kann nicht ge\xc3\xb6" "ffnet werden. Es ist ein Ordner."},
        {"package is no regular file", [] { kf::ZipArchive().open("/dev/null"); },
         "Datei \"/dev/null\" kann nicht ge\xc3\xb6" "ffnet werden. Es ist keine gew\xc3\xb6hnliche Datei."},
        {"package is no archive", [] { kf::ZipArchive().openBytes("hello, world"); }, "kein ZIP-Archiv"},
        {"package without data", [] { kf::ZipArchive().openBytes(""); }, "kein ZIP-Archiv (keine Daten)"},
        {"package member missing",
         [] {
             kf::ZipArchive zip;
             zip.openBytes(kf::ZipArchive::build({{"readme", "x"}}, 0));
             zip.read("key.cds");
         },
         "key.cds: Eintrag fehlt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.raise();
            ADD_FAILURE() << "nothing was raised";
        } catch (const kf::Exception &e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        table.Cancel();
    }
}

} // namespace

namespace {

// Placeholders filled without a catalogue: numbered ones by number, "%s" in
// turn, and never inside an argument.
struct FillCase {
    const char *name;
    const char *msgid;
    std::vector<std::string> args;
    std::string expected;
};

class TranslateWithTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(TranslateWithTest, FillsThePlaceholders)
{
    const FillCase &c = GetParam();
    std::vector<std::string_view> views(c.args.begin(), c.args.end());
    std::string out;
    switch (views.size()) {
    case 0: out = kf::TranslateWith(c.msgid, {}); break;
    case 1: out = kf::TranslateWith(c.msgid, {views[0]}); break;
    case 2: out = kf::TranslateWith(c.msgid, {views[0], views[1]}); break;
    default: out = kf::TranslateWith(c.msgid, {views[0], views[1], views[2]}); break;
    }
    EXPECT_EQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, TranslateWithTest,
    ::testing::Values(
        FillCase{"Numbered", "%2 before %1", {"a", "b"}, "b before a"},
        FillCase{"NumberedTwice", "%1 and %1", {"x"}, "x and x"},
        FillCase{"NumberedWithoutArgumentIsLeftOut", "row %3.", {"a"}, "row ."},
        FillCase{"InTurn", "File \"%s\" at %s", {"a.txt", "7"}, "File \"a.txt\" at 7"},
        FillCase{"InTurnRunsOut", "%s and %s", {"one"}, "one and %s"},
        FillCase{"ArgumentHoldingPlaceholdersStays", "%1 %2", {"%2", "%s"}, "%2 %s"},
        FillCase{"InTurnArgumentHoldingPlaceholdersStays", "%s|%s", {"%s", "b"}, "%s|b"},
        FillCase{"LonePercentAtTheEnd", "100%", {"a"}, "100%"},
        FillCase{"NoPlaceholders", "plain", {"a", "b", "c"}, "plain"}),
    [](const ::testing::TestParamInfo<FillCase> &p) { return std::string(p.param.name); });

} // namespace
