// Windows keyboard source: the file is read back by a reader of the format
// (here, in the test) and equals the package it was written from, key by key
// and level by level, dead keys and their compositions included.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/KeyboardView.h"
#include "exchange/LayoutImport.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/MainData.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <map>
#include <string>
#include <vector>

using namespace kf;

namespace {

// The scan code of each place of the main block.
const std::map<std::string, QString> kScanCodes = {
    {"TLDE", "29"}, {"AE01", "02"}, {"AE02", "03"}, {"AE03", "04"}, {"AE04", "05"}, {"AE05", "06"},
    {"AE06", "07"}, {"AE07", "08"}, {"AE08", "09"}, {"AE09", "0a"}, {"AE10", "0b"}, {"AE11", "0c"},
    {"AE12", "0d"}, {"AD01", "10"}, {"AD02", "11"}, {"AD03", "12"}, {"AD04", "13"}, {"AD05", "14"},
    {"AD06", "15"}, {"AD07", "16"}, {"AD08", "17"}, {"AD09", "18"}, {"AD10", "19"}, {"AD11", "1a"},
    {"AD12", "1b"}, {"AC01", "1e"}, {"AC02", "1f"}, {"AC03", "20"}, {"AC04", "21"}, {"AC05", "22"},
    {"AC06", "23"}, {"AC07", "24"}, {"AC08", "25"}, {"AC09", "26"}, {"AC10", "27"}, {"AC11", "28"},
    {"BKSL", "2b"}, {"LSGT", "56"}, {"AB01", "2c"}, {"AB02", "2d"}, {"AB03", "2e"}, {"AB04", "2f"},
    {"AB05", "30"}, {"AB06", "31"}, {"AB07", "32"}, {"AB08", "33"}, {"AB09", "34"}, {"AB10", "35"},
    {"SPCE", "39"},
};

// A keyboard source as a reader of the format takes it.
struct KlcFile {
    QString name, description, localeName, localeId;
    QStringList shiftStates;
    std::map<QString, QStringList> layout;                   // scan code: VK, Cap, the five columns
    std::map<QString, std::map<QString, QString>> deadKeys;  // accent: base -> result
    bool ended = false;
};

KlcFile readKlc(const std::string &bytes, std::string &problem)
{
    KlcFile f;
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE' || bytes.size() % 2 != 0) {
        problem = "no UTF-16LE byte-order mark";
        return f;
    }
    QString text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
    if (text.count(QLatin1Char('\n')) != text.count(QStringLiteral("\r\n"))) {
        problem = "a line not ended by CR LF";
        return f;
    }
    QString section, deadKey;
    for (QString line : text.split(QStringLiteral("\r\n"))) {
        const int comment = line.indexOf(QStringLiteral("//"));
        if (comment >= 0)
            line.truncate(comment);
        const int semicolon = line.indexOf(QLatin1Char(';'));
        if (semicolon >= 0)
            line.truncate(semicolon);
        const QStringList cells = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        if (cells.isEmpty())
            continue;
        const QString &head = cells[0];
        if (head == QLatin1String("KBD")) {
            f.name = cells.value(1);
            f.description = cells.mid(2).join(QLatin1Char('\t'));
        } else if (head == QLatin1String("LOCALENAME")) {
            f.localeName = cells.value(1);
        } else if (head == QLatin1String("LOCALEID")) {
            f.localeId = cells.value(1);
        } else if (head == QLatin1String("DEADKEY")) {
            section = head;
            deadKey = cells.value(1);
            f.deadKeys[deadKey];
        } else if (head == QLatin1String("ENDKBD")) {
            f.ended = true;
        } else if (QStringList{"COPYRIGHT", "COMPANY", "VERSION"}.contains(head)) {
        } else if (QStringList{"SHIFTSTATE", "LAYOUT", "KEYNAME", "KEYNAME_EXT", "KEYNAME_DEAD", "DESCRIPTIONS",
                               "LANGUAGENAMES"}
                       .contains(head)) {
            section = head;
        } else if (section == QLatin1String("SHIFTSTATE")) {
            f.shiftStates << head;
        } else if (section == QLatin1String("LAYOUT")) {
            f.layout[head] = cells.mid(1);
        } else if (section == QLatin1String("DEADKEY")) {
            f.deadKeys[deadKey][head] = cells.value(1);
        }
    }
    return f;
}

QString hex4(char32_t c)
{
    return QString::asprintf("%04x", unsigned(c));
}

struct KlcCase {
    const char *label;
    const char *layout;
    const char *codePage;
};

class KlcExport : public ::testing::TestWithParam<KlcCase> {};

TEST_P(KlcExport, ReadBackEqualsThePackage)
{
    const KlcCase &c = GetParam();
    const CodePage cp(c.codePage);
    TDataMod dm;
    LayoutImportOptions o;
    o.layout = c.layout;
    o.codePage = c.codePage;
    o.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, o);
    TExportOptions options;
    options.Name = "kbdtest";
    options.Description = "Test \"quoted\"";
    options.Language = "lt-LT";
    std::vector<std::string> warnings;
    const std::string bytes = KeyboardFileBytes(dm, cp, KlcFormat(), options, warnings);
    EXPECT_TRUE(warnings.empty());

    std::string problem;
    const KlcFile f = readKlc(bytes, problem);
    ASSERT_TRUE(problem.empty()) << problem;
    EXPECT_TRUE(f.ended);
    EXPECT_EQ(f.name, "kbdtest");
    EXPECT_EQ(f.description, "\"Test 'quoted'\"");
    EXPECT_EQ(f.localeName, "\"lt-LT\"");
    EXPECT_EQ(f.localeId, "\"00000427\"");
    EXPECT_EQ(f.shiftStates, (QStringList{"0", "1", "2", "6", "7"}));

    const TKeyboardView view = TKeyboardView::FromDataMod(dm, cp);
    ASSERT_EQ(f.layout.size(), view.Placed.size());
    static const int kLevelOfColumn[] = {0, 1, -1, 2, 3};
    for (int index : view.Placed) {
        const TViewKey &k = view.Keys[size_t(index)];
        const auto line = f.layout.find(kScanCodes.at(k.Slot));
        ASSERT_NE(line, f.layout.end()) << k.Slot;
        const QStringList &cells = line->second;
        ASSERT_EQ(cells.size(), 7) << k.Slot;
        for (int column = 0; column < 5; ++column) {
            const int level = kLevelOfColumn[column];
            QString want = QStringLiteral("-1");
            if (level >= 0 && k.Dead[size_t(level)])
                want = hex4(AccentCharacter(k.Dead[size_t(level)])) + QLatin1Char('@');
            else if (level >= 0 && k.Chars[size_t(level)])
                want = hex4(k.Chars[size_t(level)]);
            EXPECT_EQ(cells[2 + column], want) << k.Slot << " column " << column;
        }
    }
    // Every composition in the block of its accent, and nothing else there.
    size_t compositions = 0;
    for (const auto &[accent, pairs] : f.deadKeys)
        compositions += pairs.size();
    EXPECT_EQ(compositions, view.Compositions.size());
    for (const TComposition &comp : view.Compositions) {
        const auto block = f.deadKeys.find(hex4(AccentCharacter(comp.Accent)));
        ASSERT_NE(block, f.deadKeys.end());
        const auto it = block->second.find(hex4(comp.Base));
        ASSERT_NE(it, block->second.end()) << hex4(comp.Base).toStdString();
        EXPECT_EQ(it->second, hex4(comp.Result));
    }
}

const KlcCase kKlcCases[] = {
    {"lt_CP1257", "lt", "CP1257"},
    {"pl_CP1250", "pl", "CP1250"},
    {"de_CP1252", "de", "CP1252"},
    {"fr_CP1252", "fr", "CP1252"},
};

INSTANTIATE_TEST_SUITE_P(Layouts, KlcExport, ::testing::ValuesIn(kKlcCases),
                         [](const ::testing::TestParamInfo<KlcCase> &i) { return std::string(i.param.label); });

TEST(KlcExportRefusals, ANameWindowsDoesNotTake)
{
    TDataMod dm;
    LayoutImportOptions o;
    o.layout = "us";
    o.codePage = "CP1252";
    o.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, o);
    for (const char *name : {"toolongname", "with space", "ä"}) {
        TExportOptions options;
        options.Name = name;
        std::vector<std::string> warnings;
        EXPECT_THROW(KeyboardFileBytes(dm, CodePage("CP1252"), KlcFormat(), options, warnings), EConvertError)
            << name;
    }
}

} // namespace
