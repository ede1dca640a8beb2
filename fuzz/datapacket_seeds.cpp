// Writes a few valid datapackets into a folder, as a seed corpus for the
// datapacket fuzz target.

#include "model/RecordTable.h"

#include <string>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const std::string dir = argv[1];
    using kf::TFieldType;
    using kf::TValue;
    kf::TRecordTable key({{"Name", TFieldType::String, 20, true}, {"KeyValue", TFieldType::Integer},
                          {"KeyType", TFieldType::Integer}, {"KeyType2", TFieldType::Integer},
                          {"Finger", TFieldType::Integer}, {"Glyph", TFieldType::Graphic},
                          {"Width", TFieldType::Integer}, {"Height", TFieldType::Integer},
                          {"X", TFieldType::Integer}, {"Y", TFieldType::Integer},
                          {"Hint", TFieldType::String, 127}});
    key.SaveToFile(dir + "/key-empty.cds");
    key.AppendRecord({"Q", 16, 1, TValue(), 0, std::string("BM\x06\0\0\0", 6), 40, 40, 5, 10, "hint"});
    key.AppendRecord({"W", 17, 1, 2001, 1, TValue(), 40, 40, 45, 10, ""});
    key.SaveToFile(dir + "/key-rows.cds");
    kf::TRecordTable chars({{"Name", TFieldType::String, 30}, {"Code", TFieldType::Integer},
                            {"KeyNo", TFieldType::Integer}, {"Shift", TFieldType::Boolean},
                            {"AltGr", TFieldType::Boolean}, {"Accent", TFieldType::Integer}});
    chars.SaveToFile(dir + "/char-empty.cds");
    chars.AppendRecord({"a", 97, 16, false, false, 0});
    chars.AppendRecord({"A", 65, 16, true, false, 0});
    chars.AppendRecord({"", 0, TValue(), TValue(), true, 2001});
    chars.SaveToFile(dir + "/char-rows.cds");
    kf::TRecordTable wide({{"Long", TFieldType::String, 300}, {"P", TFieldType::Graphic}});
    wide.AppendRecord({std::string(280, 'x'), std::string(10, '\0')});
    wide.SaveToFile(dir + "/wide.cds");
    return 0;
}
