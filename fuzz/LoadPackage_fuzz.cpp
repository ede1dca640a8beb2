// libFuzzer target: LoadPackage from the bytes of a package file. A load that
// succeeds must save again, and that package must load again.

#include "model/MainData.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kf::TDataMod dm;
    if (!dm.LoadPackageBytes(std::string_view(reinterpret_cast<const char *>(data), size))) {
        if (dm.PackageError().empty())
            std::abort(); // a failure always says why
        return 0;
    }
    kf::TDataMod again;
    if (!again.LoadPackageBytes(dm.PackageBytes()))
        std::abort();
    return 0;
}
