// Windows keyboard source: the placed keys by scan code and virtual key with
// their characters in the shift states 0 (plain), 1 (Shift), 2 (Ctrl, never
// used), 6 (AltGr) and 7 (Shift+AltGr), a block per dead key, the key names
// and the language. UTF-16LE with a byte-order mark, lines ended by CR LF.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/KeyboardView.h"
#include "common/Errors.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"

#include <QChar>
#include <QDate>
#include <QLocale>

#include <algorithm>
#include <map>
#include <set>

namespace kf {

namespace {

struct SlotCode {
    const char *slot;
    const char *scanCode;
    const char *virtualKey; // of a US keyboard
};

const SlotCode kSlotCodes[] = {
    {"TLDE", "29", "OEM_3"},      {"AE01", "02", "1"},          {"AE02", "03", "2"},
    {"AE03", "04", "3"},          {"AE04", "05", "4"},          {"AE05", "06", "5"},
    {"AE06", "07", "6"},          {"AE07", "08", "7"},          {"AE08", "09", "8"},
    {"AE09", "0a", "9"},          {"AE10", "0b", "0"},          {"AE11", "0c", "OEM_MINUS"},
    {"AE12", "0d", "OEM_PLUS"},   {"AD01", "10", "Q"},          {"AD02", "11", "W"},
    {"AD03", "12", "E"},          {"AD04", "13", "R"},          {"AD05", "14", "T"},
    {"AD06", "15", "Y"},          {"AD07", "16", "U"},          {"AD08", "17", "I"},
    {"AD09", "18", "O"},          {"AD10", "19", "P"},          {"AD11", "1a", "OEM_4"},
    {"AD12", "1b", "OEM_6"},      {"AC01", "1e", "A"},          {"AC02", "1f", "S"},
    {"AC03", "20", "D"},          {"AC04", "21", "F"},          {"AC05", "22", "G"},
    {"AC06", "23", "H"},          {"AC07", "24", "J"},          {"AC08", "25", "K"},
    {"AC09", "26", "L"},          {"AC10", "27", "OEM_1"},      {"AC11", "28", "OEM_7"},
    {"BKSL", "2b", "OEM_5"},      {"LSGT", "56", "OEM_102"},    {"AB01", "2c", "Z"},
    {"AB02", "2d", "X"},          {"AB03", "2e", "C"},          {"AB04", "2f", "V"},
    {"AB05", "30", "B"},          {"AB06", "31", "N"},          {"AB07", "32", "M"},
    {"AB08", "33", "OEM_COMMA"},  {"AB09", "34", "OEM_PERIOD"}, {"AB10", "35", "OEM_2"},
    {"SPCE", "39", "SPACE"},
};

const SlotCode *codeOf(const std::string &slot)
{
    for (const SlotCode &c : kSlotCodes)
        if (slot == c.slot)
            return &c;
    return nullptr;
}

// Language tags and their locale numbers.
const std::pair<const char *, unsigned> kLocaleIds[] = {
    {"en-US", 0x0409}, {"en-GB", 0x0809}, {"de-DE", 0x0407}, {"de-AT", 0x0c07}, {"de-CH", 0x0807},
    {"fr-FR", 0x040c}, {"fr-BE", 0x080c}, {"fr-CA", 0x0c0c}, {"fr-CH", 0x100c}, {"es-ES", 0x0c0a},
    {"it-IT", 0x0410}, {"pt-PT", 0x0816}, {"pt-BR", 0x0416}, {"nl-NL", 0x0413}, {"nl-BE", 0x0813},
    {"pl-PL", 0x0415}, {"cs-CZ", 0x0405}, {"sk-SK", 0x041b}, {"hu-HU", 0x040e}, {"sl-SI", 0x0424},
    {"hr-HR", 0x041a}, {"ro-RO", 0x0418}, {"lt-LT", 0x0427}, {"lv-LV", 0x0426}, {"et-EE", 0x0425},
    {"fi-FI", 0x040b}, {"sv-SE", 0x041d}, {"da-DK", 0x0406}, {"nb-NO", 0x0414}, {"is-IS", 0x040f},
    {"ru-RU", 0x0419}, {"uk-UA", 0x0422}, {"be-BY", 0x0423}, {"bg-BG", 0x0402}, {"sr-Latn-RS", 0x241a},
    {"mk-MK", 0x042f}, {"el-GR", 0x0408}, {"tr-TR", 0x041f}, {"sq-AL", 0x041c}, {"ga-IE", 0x083c},
    {"cy-GB", 0x0452}, {"mt-MT", 0x043a}, {"eo", 0x1000},
};

const char *const kAccentNames[] = {"GRAVE ACCENT", "ACUTE ACCENT", "CIRCUMFLEX ACCENT", "TILDE",
                                    "DIAERESIS",    "RING ABOVE",   "ESE",               "CEDILLA"};

// The keys' names as a keyboard source lists them.
const char *const kKeyNames[] = {
    "01\tEsc", "0e\tBackspace", "0f\tTab", "1c\tEnter", "1d\tCtrl", "2a\tShift", "36\t\"Right Shift\"",
    "37\t\"Num *\"", "38\tAlt", "39\tSpace", "3a\t\"Caps Lock\"", "3b\tF1", "3c\tF2", "3d\tF3", "3e\tF4", "3f\tF5",
    "40\tF6", "41\tF7", "42\tF8", "43\tF9", "44\tF10", "45\tPause", "46\t\"Scroll Lock\"", "47\t\"Num 7\"",
    "48\t\"Num 8\"", "49\t\"Num 9\"", "4a\t\"Num -\"", "4b\t\"Num 4\"", "4c\t\"Num 5\"", "4d\t\"Num 6\"",
    "4e\t\"Num +\"", "4f\t\"Num 1\"", "50\t\"Num 2\"", "51\t\"Num 3\"", "52\t\"Num 0\"", "53\t\"Num Del\"",
    "54\t\"Sys Req\"", "57\tF11", "58\tF12", "7c\tF13", "7d\tF14", "7e\tF15", "7f\tF16", "80\tF17", "81\tF18",
    "82\tF19", "83\tF20", "84\tF21", "85\tF22", "86\tF23", "87\tF24",
};
const char *const kKeyNamesExt[] = {
    "1c\t\"Num Enter\"", "1d\t\"Right Ctrl\"", "35\t\"Num /\"", "37\t\"Prnt Scrn\"", "38\t\"Right Alt\"",
    "45\t\"Num Lock\"", "46\tBreak", "47\tHome", "48\tUp", "49\t\"Page Up\"", "4b\tLeft", "4d\tRight",
    "4f\tEnd", "50\tDown", "51\t\"Page Down\"", "52\tInsert", "53\tDelete", "54\t<00>", "56\tHelp",
    "5b\t\"Left Windows\"", "5c\t\"Right Windows\"", "5d\tApplication",
};

QString hex4(char32_t c)
{
    return QString::asprintf("%04x", unsigned(c));
}

// A name Windows takes for a keyboard: 1..8 letters and digits.
bool isKlcName(const std::string &name)
{
    if (name.empty() || name.size() > 8)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// A description inside quotes: quotes become apostrophes, no line breaks.
QString quoted(QString text)
{
    text.replace(QLatin1Char('"'), QLatin1Char('\''));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.remove(QLatin1Char('\r'));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

class KlcSource final : public TExchangeFormat {
public:
    const char *Name() const override { return "klc"; }
    QString Title() const override { return QStringLiteral("Windows keyboard source"); }
    QString Filter() const override { return QStringLiteral("Windows keyboard source (*.klc)"); }

    std::string WriteKeyboard(const TKeyboardView &view, const TExportOptions &options,
                              std::vector<std::string> &warnings) const override
    {
        const std::string name = options.Name.empty() ? std::string("keyfolio") : options.Name;
        if (!isKlcName(name))
            throw EConvertError(LibraryText("\"%s\" cannot name a Windows keyboard: 1 to 8 letters and digits",
                                            name));
        const std::string language = options.Language.empty() ? std::string("en-US") : options.Language;
        unsigned localeId = 0;
        for (const auto &[tag, id] : kLocaleIds)
            if (QString::fromStdString(language).compare(QLatin1String(tag), Qt::CaseInsensitive) == 0)
                localeId = id;
        if (localeId == 0) {
            warnings.push_back(LibraryText("No Windows locale number is known for the language %s: the keyboard "
                                           "names a custom locale",
                                           language));
            localeId = 0x1000;
        }
        const QLocale locale(QString::fromStdString(language));
        QString languageName = QLocale::languageToString(locale.language());
        if (locale.territory() != QLocale::AnyTerritory)
            languageName += QStringLiteral(" (") + QLocale::territoryToString(locale.territory()) + QLatin1Char(')');
        QString description =
            options.Description.empty() ? view.Description : QString::fromStdString(options.Description);
        if (description.isEmpty())
            description = QString::fromStdString(name);

        QStringList out;
        out << QStringLiteral("KBD\t%1\t%2").arg(QString::fromStdString(name), quoted(description)) << QString();
        out << QStringLiteral("COPYRIGHT\t\"(c) %1 Keyfolio\"").arg(QDate::currentDate().year()) << QString();
        out << QStringLiteral("COMPANY\t\"Keyfolio\"") << QString();
        out << QStringLiteral("LOCALENAME\t\"%1\"").arg(QString::fromStdString(language)) << QString();
        out << QStringLiteral("LOCALEID\t\"%1\"").arg(localeId, 8, 16, QLatin1Char('0')) << QString();
        out << QStringLiteral("VERSION\t1.0") << QString();
        out << QStringLiteral("SHIFTSTATE") << QString();
        out << QStringLiteral("0\t//Column 4") << QStringLiteral("1\t//Column 5 : Shft")
            << QStringLiteral("2\t//Column 6 :       Ctrl") << QStringLiteral("6\t//Column 7 :       Ctrl Alt")
            << QStringLiteral("7\t//Column 8 : Shft  Ctrl Alt") << QString();
        out << QStringLiteral("LAYOUT\t\t;an extra '@' at the end is a dead key") << QString();
        out << QStringLiteral("//SC\tVK_\t\tCap\t0\t1\t2\t6\t7")
            << QStringLiteral("//--\t----\t\t----\t----\t----\t----\t----\t----") << QString();

        // Virtual keys: a key typing a Latin letter takes its letter's, the
        // others their place's, else a free one.
        std::map<int, QString> virtualKeys;
        std::set<QString> taken;
        for (int index : view.Placed) {
            const TViewKey &k = view.Keys[size_t(index)];
            const char32_t c = k.Chars[0];
            if (c < 0x80 && QChar::isLetter(c)) {
                const QString vk(QChar(QChar::toUpper(c)));
                if (taken.insert(vk).second)
                    virtualKeys[index] = vk;
            }
        }
        static const char *const kSpare[] = {"OEM_8", "OEM_AX", "OEM_102", "ABNT_C1", "ABNT_C2", "OEM_1", "OEM_2",
                                             "OEM_3", "OEM_4", "OEM_5", "OEM_6", "OEM_7", "OEM_PLUS",
                                             "OEM_MINUS", "OEM_COMMA", "OEM_PERIOD"};
        for (int index : view.Placed) {
            if (virtualKeys.count(index))
                continue;
            const SlotCode *code = codeOf(view.Keys[size_t(index)].Slot);
            QString vk = code ? QString::fromLatin1(code->virtualKey) : QString();
            if (vk.isEmpty() || taken.count(vk)) {
                vk.clear();
                for (const char *spare : kSpare)
                    if (!taken.count(QLatin1String(spare))) {
                        vk = QLatin1String(spare);
                        break;
                    }
            }
            taken.insert(vk);
            virtualKeys[index] = vk;
        }

        std::set<int32_t> accents;
        static const int kLevelOfColumn[] = {0, 1, -1, 2, 3};
        for (int index : view.Placed) {
            const TViewKey &k = view.Keys[size_t(index)];
            const SlotCode *code = codeOf(k.Slot);
            if (!code)
                continue;
            const bool letter = k.Chars[0] && QChar::isLetter(k.Chars[0]) && k.Chars[1]
                                && QChar::toUpper(k.Chars[0]) == k.Chars[1];
            QString line = QStringLiteral("%1\t%2\t\t%3").arg(QLatin1String(code->scanCode), virtualKeys[index],
                                                             letter ? QStringLiteral("1") : QStringLiteral("0"));
            QStringList comment;
            for (const int level : kLevelOfColumn) {
                QString cell = QStringLiteral("-1");
                QString what = QStringLiteral("<none>");
                if (level >= 0) {
                    if (const int32_t accent = k.Dead[size_t(level)]) {
                        if (const char32_t c = AccentCharacter(accent)) {
                            cell = hex4(c) + QLatin1Char('@');
                            what = QString::fromUcs4(&c, 1) + QStringLiteral(" (dead)");
                            accents.insert(accent);
                        }
                    } else if (const char32_t c = k.Chars[size_t(level)]) {
                        if (c > 0xFFFF)
                            warnings.push_back(LibraryText("\"%s\" lies beyond what a keyboard source holds",
                                                           QString::fromUcs4(&c, 1).toStdString()));
                        else {
                            cell = hex4(c);
                            what = QString::fromUcs4(&c, 1);
                        }
                    }
                }
                line += QLatin1Char('\t') + cell;
                if (level >= 0)
                    comment << what;
            }
            out << line + QStringLiteral("\t// ") + comment.join(QStringLiteral(", "));
        }
        out << QString();

        for (const int32_t accent : accents) {
            const char32_t dead = AccentCharacter(accent);
            out << QStringLiteral("DEADKEY\t%1").arg(hex4(dead)) << QString();
            for (const TComposition &c : view.Compositions)
                if (c.Accent == accent && c.Base <= 0xFFFF && c.Result <= 0xFFFF)
                    out << QStringLiteral("%1\t%2\t// %3 -> %4")
                               .arg(hex4(c.Base), hex4(c.Result), QString::fromUcs4(&c.Base, 1),
                                    QString::fromUcs4(&c.Result, 1));
            out << QString();
        }

        out << QStringLiteral("KEYNAME") << QString();
        for (const char *n : kKeyNames)
            out << QString::fromLatin1(n);
        out << QString() << QStringLiteral("KEYNAME_EXT") << QString();
        for (const char *n : kKeyNamesExt)
            out << QString::fromLatin1(n);
        out << QString();
        if (!accents.empty()) {
            out << QStringLiteral("KEYNAME_DEAD") << QString();
            for (const int32_t accent : accents)
                out << QStringLiteral("%1\t\"%2\"")
                           .arg(hex4(AccentCharacter(accent)),
                                QLatin1String(kAccentNames[accent - KeyTypes::FirstAccent]));
            out << QString();
        }
        const QString id = QString::asprintf("%04x", localeId & 0xFFFF);
        out << QStringLiteral("DESCRIPTIONS") << QString() << id + QLatin1Char('\t') + description << QString();
        out << QStringLiteral("LANGUAGENAMES") << QString() << id + QLatin1Char('\t') + languageName << QString();
        out << QStringLiteral("ENDKBD") << QString();

        const QString text = out.join(QStringLiteral("\r\n"));
        std::string bytes("\xFF\xFE", 2);
        for (const QChar ch : text) {
            const char16_t u = ch.unicode();
            bytes += char(u & 0xFF);
            bytes += char(u >> 8);
        }
        return bytes;
    }

};

} // namespace

const TExchangeFormat &KlcFormat()
{
    static const KlcSource format;
    return format;
}

} // namespace kf
