#include "SampleKeyboard.h"

#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "model/GlyphCodec.h"
#include "model/MainData.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

namespace kf::sample {

namespace {

enum : int {
    Alpha = 1, Num = 2, Space = 3, Backspace = 8, Enter = 13, Alt = 18, CapsLock = 20,
    Delete = 46, AltGr = 1000, LShift = 1002, RShift = 1003, LCtrl = 1004, RCtrl = 1005,
    Grave = 2001, Acute = 2002, Tilde = 2004,
};

struct KeySpec {
    const char *name;
    int type;
    int type2;
    int finger;
    int width;
    const char *normal;  // character without Shift ("" for none)
    const char *shifted; // character with Shift
    const char *altGr;   // character with AltGr
    const char *hint;
};

// Finger colours (colour values) used for the key faces.
const uint32_t kFingerFaces[10] = {0xC0C0FF, 0xC0FFC0, 0xFFE0C0, 0xC0FFFF, 0xE0E0E0,
                                   0xE0E0E0, 0xFFC0FF, 0xFFE0C0, 0xC0FFC0, 0xC0C0FF};

// Rows of the layout; width 0 means the standard key width.
const std::vector<std::vector<KeySpec>> &Rows()
{
    static const std::vector<std::vector<KeySpec>> rows = {
        {
            {"Grave", Grave, Tilde, 0, 0, "", "", "", "Grave accent; with Shift: tilde"},
            {"1", Num, 0, 0, 0, "1", "!", "\xB9", "1 and !"},
            {"2", Num, 0, 1, 0, "2", "@", "\xB2", "2 and @"},
            {"3", Num, 0, 2, 0, "3", "#", "\xB3", "3 and #"},
            {"4", Num, 0, 3, 0, "4", "$", "", "4 and $"},
            {"5", Num, 0, 3, 0, "5", "%", "", "5 and %"},
            {"6", Num, 0, 6, 0, "6", "^", "", "6 and ^"},
            {"7", Num, 0, 6, 0, "7", "&", "", "7 and &"},
            {"8", Num, 0, 7, 0, "8", "*", "", "8 and *"},
            {"9", Num, 0, 8, 0, "9", "(", "", "9 and ("},
            {"0", Num, 0, 9, 0, "0", ")", "", "0 and )"},
            {"Minus", Num, 0, 9, 0, "-", "_", "", "- and _"},
            {"Equals", Num, 0, 9, 0, "=", "+", "", "= and +"},
            {"Backspace", Backspace, 0, 9, 82, "", "", "", "Delete the character before the cursor"},
        },
        {
            {"Q", Alpha, 0, 0, 0, "q", "Q", "", "Letter Q"},
            {"W", Alpha, 0, 1, 0, "w", "W", "", "Letter W"},
            {"E", Alpha, 0, 2, 0, "e", "E", "\x80", "Letter E; AltGr: euro"},
            {"R", Alpha, 0, 3, 0, "r", "R", "\xAE", "Letter R"},
            {"T", Alpha, 0, 3, 0, "t", "T", "", "Letter T"},
            {"Y", Alpha, 0, 6, 0, "y", "Y", "\xA5", "Letter Y"},
            {"U", Alpha, 0, 6, 0, "u", "U", "", "Letter U"},
            {"I", Alpha, 0, 7, 0, "i", "I", "", "Letter I"},
            {"O", Alpha, 0, 8, 0, "o", "O", "", "Letter O"},
            {"P", Alpha, 0, 9, 0, "p", "P", "\xB6", "Letter P"},
            {"LBracket", Num, 0, 9, 0, "[", "{", "", "[ and {"},
            {"RBracket", Num, 0, 9, 0, "]", "}", "", "] and }"},
        },
        {
            {"Caps Lock", CapsLock, 0, 0, 72, "", "", "", "Caps Lock"},
            {"A", Alpha, 0, 0, 0, "a", "A", "", "Letter A"},
            {"S", Alpha, 0, 1, 0, "s", "S", "\xDF", "Letter S; AltGr: sharp s"},
            {"D", Alpha, 0, 2, 0, "d", "D", "", "Letter D"},
            {"F", Alpha, 0, 3, 0, "f", "F", "", "Letter F"},
            {"G", Alpha, 0, 3, 0, "g", "G", "", "Letter G"},
            {"H", Alpha, 0, 6, 0, "h", "H", "", "Letter H"},
            {"J", Alpha, 0, 6, 0, "j", "J", "", "Letter J"},
            {"K", Alpha, 0, 7, 0, "k", "K", "", "Letter K"},
            {"L", Alpha, 0, 8, 0, "l", "L", "", "Letter L"},
            {"Semicolon", Num, 0, 9, 0, ";", ":", "", "; and :"},
            {"Quote", Num, Acute, 9, 0, "'", "\"", "", "' and \"; AltGr: acute accent"},
            {"Enter", Enter, 0, 9, 80, "", "", "", "New line"},
        },
        {
            {"L Shift", LShift, 0, 0, 94, "", "", "", "Left Shift"},
            {"Z", Alpha, 0, 0, 0, "z", "Z", "", "Letter Z"},
            {"X", Alpha, 0, 1, 0, "x", "X", "", "Letter X"},
            {"C", Alpha, 0, 2, 0, "c", "C", "\xA9", "Letter C"},
            {"V", Alpha, 0, 3, 0, "v", "V", "", "Letter V"},
            {"B", Alpha, 0, 3, 0, "b", "B", "", "Letter B"},
            {"N", Alpha, 0, 6, 0, "n", "N", "", "Letter N"},
            {"M", Alpha, 0, 6, 0, "m", "M", "\xB5", "Letter M"},
            {"Comma", Num, 0, 7, 0, ",", "<", "", ", and <"},
            {"Period", Num, 0, 8, 0, ".", ">", "", ". and >"},
            {"Slash", Num, 0, 9, 0, "/", "?", "", "/ and ?"},
            {"R Shift", RShift, 0, 9, 100, "", "", "", "Right Shift"},
        },
        {
            {"L Ctrl", LCtrl, 0, 0, 60, "", "", "", "Left Ctrl"},
            {"Alt", Alt, 0, 4, 60, "", "", "", "Alt"},
            {"Space", Space, 0, 4, 250, " ", " ", "", "Space bar"},
            {"AltGr", AltGr, 0, 5, 60, "", "", "", "AltGr: third characters and the acute accent"},
            {"R Ctrl", RCtrl, 0, 9, 60, "", "", "", "Right Ctrl"},
            {"Delete", Delete, 0, 9, 60, "", "", "", "Delete the character after the cursor"},
        },
    };
    return rows;
}

// Accented letters reached through a dead key: accent, base letter, character.
struct AccentSpec {
    int accent;
    const char *keyName;
    const char *lower;
    const char *upper;
};
const AccentSpec kAccents[] = {
    {Grave, "A", "\xE0", "\xC0"}, {Grave, "E", "\xE8", "\xC8"}, {Grave, "I", "\xEC", "\xCC"},
    {Grave, "O", "\xF2", "\xD2"}, {Grave, "U", "\xF9", "\xD9"},
    {Acute, "A", "\xE1", "\xC1"}, {Acute, "E", "\xE9", "\xC9"}, {Acute, "I", "\xED", "\xCD"},
    {Acute, "O", "\xF3", "\xD3"}, {Acute, "U", "\xFA", "\xDA"}, {Acute, "Y", "\xFD", "\xDD"},
    {Tilde, "A", "\xE3", "\xC3"}, {Tilde, "O", "\xF5", "\xD5"}, {Tilde, "N", "\xF1", "\xD1"},
};

// Labels are CP1252 bytes, like the character codes.
QString Latin1(const char *s)
{
    static const CodePage cp1252("CP1252");
    return cp1252.decode(s);
}

QImage DrawKey(const KeySpec &k, int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    const QRgb face = ColorValueToRgb(kFingerFaces[k.finger]);
    img.fill(face);
    QPainter p(&img);
    // A darker frame inside the edge keeps the bottom-left pixel the face colour.
    p.setPen(QColor(face).darker(160));
    p.drawRect(1, 1, width - 4, height - 4);
    p.setPen(QColor(face).darker(220));
    p.drawLine(3, height - 2, width - 2, height - 2);
    p.drawLine(width - 2, 3, width - 2, height - 2);
    p.setPen(Qt::black);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);
    if (k.type >= Backspace && k.type < Grave && k.type != Space) {
        p.drawText(QRect(3, 3, width - 7, height - 7), Qt::AlignCenter, QString::fromLatin1(k.name));
    } else if (k.type >= Grave) {
        font.setPixelSize(16);
        p.setFont(font);
        p.drawText(QRect(4, 16, 16, 20), Qt::AlignLeft, QStringLiteral("`"));
        p.drawText(QRect(4, 2, 16, 20), Qt::AlignLeft, QStringLiteral("~"));
    } else if (k.type == Space) {
        p.drawText(QRect(3, 3, width - 7, height - 7), Qt::AlignCenter, QStringLiteral("Space"));
    } else {
        font.setPixelSize(14);
        p.setFont(font);
        const QString shifted = Latin1(k.shifted);
        const QString normal = Latin1(k.normal);
        if (k.type == Alpha) {
            p.drawText(QRect(6, 4, 20, 18), Qt::AlignLeft, shifted);
        } else {
            p.drawText(QRect(6, 2, 20, 18), Qt::AlignLeft, shifted);
            p.drawText(QRect(6, 18, 20, 18), Qt::AlignLeft, normal);
        }
        if (*k.altGr || k.type2 == Acute) {
            font.setPixelSize(11);
            p.setFont(font);
            p.setPen(QColor(0x80, 0, 0));
            p.drawText(QRect(22, 20, 14, 14), Qt::AlignLeft,
                       k.type2 == Acute ? QStringLiteral("\u00B4") : Latin1(k.altGr));
        }
    }
    p.end();
    return img;
}

void AddChar(TDataMod &dm, const std::string &name, const char *ch, int keyNo, bool shift, bool altGr,
             int accent)
{
    dm.Ctbl.AppendRecord({TValue(name), TValue(int32_t(uint8_t(ch[0]))), TValue(int32_t(keyNo)),
                          TValue(shift), TValue(altGr), TValue(int32_t(accent))});
}

} // namespace

void BuildSampleKeyboard(TDataMod &dm)
{
    dm.MainTbl.DisableControls();
    dm.Ctbl.DisableControls();
    dm.MainTbl.EmptyDataSet();
    dm.Ctbl.EmptyDataSet();

    int keyNo = 0;
    int y = 8;
    std::vector<std::pair<std::string, int>> keyNumbers;
    for (const auto &row : Rows()) {
        int x = 8;
        for (const KeySpec &k : row) {
            ++keyNo;
            const int w = k.width ? k.width : kKeyWidth;
            const QImage picture = DrawKey(k, w, kKeyHeight);
            dm.MainTbl.AppendRecord({TValue(std::string(k.name)), TValue(int32_t(keyNo)), TValue(int32_t(k.type)),
                                     k.type2 ? TValue(int32_t(k.type2)) : TValue(), TValue(int32_t(k.finger)),
                                     TValue(ImageToGlyph(picture)), TValue(int32_t(w)), TValue(int32_t(kKeyHeight)),
                                     TValue(int32_t(x)), TValue(int32_t(y)), TValue(std::string(k.hint))});
            keyNumbers.emplace_back(k.name, keyNo);
            if (k.type < Backspace) {
                if (*k.normal)
                    AddChar(dm, std::string(k.name) + " normal", k.normal, keyNo, false, false, 0);
                if (*k.shifted)
                    AddChar(dm, std::string(k.name) + " shifted", k.shifted, keyNo, true, false, 0);
                if (*k.altGr)
                    AddChar(dm, std::string(k.name) + " AltGr", k.altGr, keyNo, false, true, 0);
            }
            x += w + 2;
        }
        y += kKeyHeight + 2;
    }
    for (const AccentSpec &a : kAccents) {
        int no = 0;
        for (const auto &kn : keyNumbers)
            if (kn.first == a.keyName)
                no = kn.second;
        const std::string accentName = a.accent == Grave ? "grave" : a.accent == Acute ? "acute" : "tilde";
        AddChar(dm, std::string(a.keyName) + " " + accentName, a.lower, no, false, false, a.accent);
        AddChar(dm, std::string(a.keyName) + " " + accentName + " capital", a.upper, no, true, false, a.accent);
    }
    // A character linked to no key yet: the layout window links it.
    dm.Ctbl.AppendRecord({TValue(std::string("Section sign")), TValue(int32_t(0xA7)), TValue(), TValue(false),
                          TValue(false), TValue(int32_t(0))});

    PackageSettings s;
    s.bkcolor = int32_t(RgbToColorValue(qRgb(96, 112, 128)));
    s.Author = "Keyfolio sample";
    s.misc = "A US-style layout with grave, tilde and acute dead keys";
    const int lengths[10] = {55, 70, 80, 75, 50, 50, 75, 80, 70, 55};
    for (int f = 0; f < 10; ++f) {
        s.lengths[size_t(f)] = lengths[f];
        s.xValues[size_t(f)] = 10 * f + 5;
        s.colors[size_t(f)] = int32_t(kFingerFaces[f]);
    }
    dm.SetSettings(s);
    dm.MainTbl.MergeChangeLog();
    dm.Ctbl.MergeChangeLog();
    dm.MainTbl.First();
    dm.Ctbl.First();
    dm.MainTbl.EnableControls();
    dm.Ctbl.EnableControls();
}

} // namespace kf::sample
