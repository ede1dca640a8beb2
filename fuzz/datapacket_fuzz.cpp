// libFuzzer target: the datapacket reader of the record-table engine.
// Any input must either load or fail with a named error; what loads must walk,
// save and load again to the same bytes.

#include "common/Errors.h"
#include "table/RecordTable.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kf::TRecordTable t;
    try {
        t.LoadFromBytes(reinterpret_cast<const char *>(data), size);
    } catch (const kf::Exception &) {
        return 0;
    }
    size_t bytes = 0;
    for (t.First(); !t.Eof(); t.Next())
        for (int f = 0; f < t.FieldCount(); ++f)
            bytes += t.Fields(f).AsBytes().size();
    if (t.FieldCount() > 0) {
        // Order by the first field: views must cope with whatever loaded. A
        // column name with ';' or blanks cannot be named in a field list,
        // which is a refusal, not a fault.
        try {
            t.SetIndexFieldNames(t.FieldDefs()[0].Name);
        } catch (const kf::EDatabaseError &) {
        }
        t.Last();
    }
    const std::string saved = t.SaveToBytes();
    kf::TRecordTable u;
    u.LoadFromBytes(saved);
    if (u.SaveToBytes() != saved || u.RecordCount() != t.RecordCount())
        std::abort();
    return bytes == SIZE_MAX ? 1 : 0;
}
