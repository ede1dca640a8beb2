#pragma once
// What a save of the keyboard definition writes, for comparing two saves.

#include <string>

namespace kf {
class TDataMod;
}

namespace kf::support {

// The package's members as a save would write them, member by member (the
// archive's time stamp aside): equal for two saves of the same definition.
std::string SavedMembers(TDataMod &dm);

} // namespace kf::support
