// KTouch keyboard layout: valid against KTouch's published schema
// (xmllint --schema), every key of the board in its place, characters by
// corner and modifier, the home keys marked.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/KeyboardView.h"
#include "exchange/LayoutImport.h"
#include "common/CodePage.h"
#include "common/TextFile.h"
#include "model/MainData.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <map>
#include <string>
#include <vector>

using namespace kf;

namespace {

const QString kSchema = QStringLiteral(KF_TEST_DATA_DIR "/ktouch/keyboardlayout.xsd");

struct KTouchCase {
    const char *label;
    const char *layout;
    const char *codePage;
    KeyBlock block;
};

class KTouchExport : public ::testing::TestWithParam<KTouchCase> {};

TEST_P(KTouchExport, ValidAgainstTheSchemaWithEveryKey)
{
    const KTouchCase &c = GetParam();
    const CodePage cp(c.codePage);
    TDataMod dm;
    LayoutImportOptions o;
    o.layout = c.layout;
    o.codePage = c.codePage;
    o.block = c.block;
    o.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, o);
    TExportOptions options;
    options.Name = c.layout;
    std::vector<std::string> warnings;
    const std::string xml = KeyboardFileBytes(dm, cp, KTouchKeyboardFormat(), options, warnings);
    // The same keyboard, the same file (and id).
    EXPECT_EQ(KeyboardFileBytes(dm, cp, KTouchKeyboardFormat(), options, warnings), xml);

    QTemporaryDir dir;
    const QString file = dir.filePath("layout.xml");
    writeFileBytes(file.toStdString(), xml);
    QProcess lint;
    lint.start(QStringLiteral("xmllint"), {"--noout", "--schema", kSchema, file});
    ASSERT_TRUE(lint.waitForFinished(60000)) << "xmllint (libxml2-utils) did not run";
    EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().toStdString();

    // Keys by their characters; the special keys by type.
    const TKeyboardView view = TKeyboardView::FromDataMod(dm, cp);
    QXmlStreamReader r(QByteArray::fromStdString(xml));
    int keys = 0, haptic = 0, spaces = 0;
    std::map<QString, std::vector<QString>> charsOfKey; // first char: "position modifier text" of each
    QString current;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (r.name() == QLatin1String("key") || r.name() == QLatin1String("specialKey")) {
            ++keys;
            current.clear();
            haptic += r.attributes().value("hasHapticMarker") == QLatin1String("true");
            spaces += r.attributes().value("type") == QLatin1String("space");
            if (r.name() == QLatin1String("key")) {
                const int finger = r.attributes().value("fingerIndex").toInt();
                EXPECT_GE(finger, 0);
                EXPECT_LE(finger, 7);
            }
        } else if (r.name() == QLatin1String("char")) {
            const QString position = r.attributes().value("position").toString();
            const QString modifier = r.attributes().value("modifier").toString();
            const QString text = r.readElementText();
            if (current.isEmpty())
                current = text;
            charsOfKey[current].push_back(position + QLatin1Char(' ') + modifier + QLatin1Char(' ') + text);
        }
    }
    EXPECT_FALSE(r.hasError());
    EXPECT_EQ(keys, int(std::count_if(view.Keys.begin(), view.Keys.end(), [](const TViewKey &k) { return k.Row >= 0; })));
    EXPECT_EQ(haptic, 2);
    EXPECT_EQ(spaces, 1);
    // A letter shows its capital; its small letter is hidden. Shift is the
    // other hand's.
    const std::vector<QString> &a = charsOfKey[QStringLiteral("a")];
    ASSERT_GE(a.size(), 2u);
    EXPECT_EQ(a[0], QStringLiteral("hidden  a"));
    EXPECT_EQ(a[1], QStringLiteral("topLeft right_shift A"));
    EXPECT_EQ(charsOfKey[QStringLiteral("m")].at(1), QStringLiteral("topLeft left_shift M"));
}

const KTouchCase kKTouchCases[] = {
    {"us_ansi", "us", "CP1252", KeyBlock::Ansi},
    {"de_iso", "de", "CP1252", KeyBlock::Iso},
    {"pl_iso", "pl", "CP1250", KeyBlock::Iso},
};

INSTANTIATE_TEST_SUITE_P(Layouts, KTouchExport, ::testing::ValuesIn(kKTouchCases),
                         [](const ::testing::TestParamInfo<KTouchCase> &i) { return std::string(i.param.label); });

} // namespace
