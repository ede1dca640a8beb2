#include "tool/ToolCommand.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/MainData.h"

namespace kf::tool {

void LoadPackageInItsCodePage(TDataMod &dm, const std::string &path)
{
    if (!dm.LoadPackage(path))
        throw EInOutError(path + ": " + dm.PackageError());
    if (!dm.PackageCodePage.empty() && dm.PackageCodePage != CodePage::current().name())
        CodePage::choose(dm.PackageCodePage);
}

} // namespace kf::tool
