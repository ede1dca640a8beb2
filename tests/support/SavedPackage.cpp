#include "SavedPackage.h"

#include "model/MainData.h"
#include "model/ZipArchive.h"

#include <string_view>

namespace kf::support {

std::string SavedMembers(TDataMod &dm)
{
    ZipArchive zip;
    zip.openBytes(dm.PackageBytes());
    std::string all;
    for (const char *member : {TDataMod::kKeyMember, TDataMod::kCharMember, TDataMod::kReadmeMember})
        all += std::string(member) + '\n' + zip.read(std::string_view(member)) + '\n';
    return all;
}

} // namespace kf::support
