// libFuzzer target: LoadPackage on a well-formed ZIP archive whose three
// members come from the input, so the fuzzer reaches the datapackets and the
// readme. The input is "key.cds" bytes, the separator "\n@@\n", "char.cds"
// bytes, the separator, then the readme.

#include "common/CodePage.h"
#include "model/MainData.h"
#include "model/ZipArchive.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const std::string sep = "\n@@\n";
    const size_t a = input.find(sep);
    const size_t b = a == std::string::npos ? std::string::npos : input.find(sep, a + sep.size());
    if (b == std::string::npos)
        return 0;
    const std::string archive = kf::ZipArchive::build({{"key.cds", input.substr(0, a)},
                                                       {"char.cds", input.substr(a + sep.size(), b - a - sep.size())},
                                                       {"readme", input.substr(b + sep.size())}},
                                                      0);
    kf::TDataMod dm;
    if (!dm.LoadPackageBytes(archive)) {
        if (dm.PackageError().empty())
            std::abort();
        return 0;
    }
    kf::TDataMod again;
    if (!again.LoadPackageBytes(dm.PackageBytes()))
        std::abort();
    // A save names the code page in force, whatever the package named.
    kf::PackageSettings saved = dm.Settings();
    saved.codePage = kf::CodePage::current().name();
    if (again.Settings() != saved || again.MainTbl.RecordCount() != dm.MainTbl.RecordCount()
        || again.Ctbl.RecordCount() != dm.Ctbl.RecordCount())
        std::abort();
    return 0;
}
