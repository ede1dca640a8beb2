// libFuzzer target: a keyboard definition built from JSON a person wrote by
// hand (keyfolio-tool package build). A refusal is an error of a named kind;
// a build that succeeds dumps to JSON that builds the same definition again,
// and its package loads.

#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/MainData.h"
#include "model/PackageJson.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const kf::CodePage cp1252("CP1252");
    kf::TDataMod dm;
    try {
        kf::PackageFromJson(dm, std::string_view(reinterpret_cast<const char *>(data), size), cp1252);
    } catch (const kf::Exception &) {
        return 0;
    }
    const std::string json = kf::PackageToJson(dm, cp1252);
    kf::TDataMod again;
    kf::PackageFromJson(again, json, cp1252); // an error here ends the run: a finding
    if (kf::PackageToJson(again, cp1252) != json)
        std::abort();
    kf::TDataMod loaded;
    if (!loaded.LoadPackageBytes(dm.PackageBytes()))
        std::abort();
    return 0;
}
