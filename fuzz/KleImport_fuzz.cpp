// libFuzzer target: a keyboard-layout-editor file read into a keyboard
// definition (keyfolio-tool package import-kle). A refusal is an error of a
// named kind and leaves the definition as it was; what a read gives is
// written again and read again.

#include "common/CodePage.h"
#include "common/Errors.h"
#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "model/MainData.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const kf::CodePage cp1252("CP1252");
    const kf::TExchangeFormat &kle = kf::KleFormat();
    kf::TDataMod dm;
    try {
        kle.ReadKeyboard(dm, std::string(reinterpret_cast<const char *>(data), size), cp1252);
    } catch (const kf::Exception &) {
        if (dm.MainTbl.RecordCount() != 0)
            std::abort();
        return 0;
    }
    std::vector<std::string> warnings;
    std::string written;
    try {
        written = kf::KeyboardFileBytes(dm, cp1252, kle, kf::TExportOptions{}, warnings);
    } catch (const kf::EConvertError &) {
        return 0; // no key on the main block
    }
    kf::TDataMod again;
    try {
        kle.ReadKeyboard(again, written, cp1252);
    } catch (const kf::EConvertError &) {
        // A board of more rows than a file may hold.
    }
    return 0;
}
