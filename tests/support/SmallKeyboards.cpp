#include "SmallKeyboards.h"

#include "model/GlyphCodec.h"
#include "model/MainData.h"

#include <QImage>

#include <stdexcept>

namespace kf::sample {

namespace {

void locate(TRecordTable &table, const std::string &name)
{
    if (!table.Locate("Name", {TValue(name)}))
        throw std::invalid_argument("no row named \"" + name + "\"");
}

} // namespace

std::string KeyPicture(int width, int height, uint32_t face)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(qRgb(int(face & 0xFF), int((face >> 8) & 0xFF), int((face >> 16) & 0xFF)));
    img.setPixel(width / 2, height / 2, qRgb(0, 0, 0)); // a mark on the face
    return ImageToGlyph(img);
}

void AddKey(TDataMod &dm, const std::string &name, int32_t keyValue, int32_t type, const TValue &type2,
            int32_t finger, int x, int y, int width, int height)
{
    dm.MainTbl.AppendRecord({TValue(name), TValue(keyValue), TValue(type), type2, TValue(finger),
                             TValue(KeyPicture(width, height)), TValue(int32_t(width)), TValue(int32_t(height)),
                             TValue(int32_t(x)), TValue(int32_t(y)), TValue("hint")});
}

void AddChar(TDataMod &dm, const std::string &name, int32_t code, const TValue &keyNo, bool shift, bool altGr,
             int32_t accent)
{
    dm.Ctbl.AppendRecord({TValue(name), TValue(code), keyNo, TValue(shift), TValue(altGr), TValue(accent)});
}

void BuildSmallKeyboard(TDataMod &dm)
{
    AddKey(dm, "A", 1, 1, TValue(), 0, 0, 0);
    AddKey(dm, "B", 2, 1, TValue(), 1, 22, 0);
    AddKey(dm, "Acute", 3, 2002, TValue(int32_t(2002)), 2, 44, 0);
    AddKey(dm, "Space", 4, 3, TValue(), 4, 0, 22, 42);
    AddKey(dm, "Shift", 5, 1002, TValue(), 0, 44, 22);
    AddKey(dm, "AltGr", 6, 1000, TValue(), 5, 66, 22);
    AddChar(dm, "a", 97, TValue(int32_t(1)), false, false, 0);
    AddChar(dm, "A", 65, TValue(int32_t(1)), true, false, 0);
    AddChar(dm, "b", 98, TValue(int32_t(2)), false, false, 0);
    AddChar(dm, "B", 66, TValue(int32_t(2)), true, false, 0);
    AddChar(dm, "space", 32, TValue(int32_t(4)), false, false, 0);
    AddChar(dm, "a acute", 225, TValue(int32_t(1)), false, false, 2002);
    AddChar(dm, "sharp s", 223, TValue(int32_t(2)), false, true, 0);
    AddChar(dm, "section", 167, TValue(), false, false, 0);
    dm.bkcolor = kSmallBackground;
    dm.FingerLength.fill(50);
}

void SetKeyField(TDataMod &dm, const std::string &name, const char *field, const TValue &value)
{
    locate(dm.MainTbl, name);
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName(field).SetValue(value);
    dm.MainTbl.Post();
}

void SetCharField(TDataMod &dm, const std::string &name, const char *field, const TValue &value)
{
    locate(dm.Ctbl, name);
    dm.Ctbl.Edit();
    dm.Ctbl.FieldByName(field).SetValue(value);
    dm.Ctbl.Post();
}

void DeleteKey(TDataMod &dm, const std::string &name)
{
    locate(dm.MainTbl, name);
    dm.MainTbl.Delete();
}

void DeleteChar(TDataMod &dm, const std::string &name)
{
    locate(dm.Ctbl, name);
    dm.Ctbl.Delete();
}

std::string AllBytes()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s += char(i);
    return s;
}

void FillEdgeValues(TDataMod &dm)
{
    dm.MainTbl.AppendRecord({"Q", TValue(16), TValue(1), TValue(), TValue(3), AllBytes(), TValue(40), TValue(38),
                             TValue(-10), TValue(2147483647), "quote \" backslash \\ tab\t"});
    dm.MainTbl.AppendRecord({"\xC4" "ccent", TValue(-2147483647 - 1), TValue(), TValue(2001), TValue(), TValue(),
                             TValue(), TValue(), TValue(), TValue(), TValue()});
    dm.Ctbl.AppendRecord({"e acute \xE9", TValue(0xE9), TValue(16), TValue(false), TValue(true), TValue(2002)});
    dm.Ctbl.AppendRecord({TValue(), TValue(321), TValue(), TValue(), TValue(), TValue()});
    dm.bkcolor = 0xFFEEDD;
    dm.Author = "\x80uro";
    dm.misc = "two\r\nlines";
    for (int f = 0; f < kFingerCount; ++f) {
        dm.FingerLength[size_t(f)] = f * 10;
        dm.FingerX[size_t(f)] = -f;
        dm.FingerColor[size_t(f)] = 0x111111 * f;
    }
}

} // namespace kf::sample
