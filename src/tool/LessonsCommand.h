#pragma once
// keyfolio-tool course lessons (dispatched by the course command).

#include <string>
#include <vector>

namespace kf::tool {

int RunCourseLessons(const std::vector<std::string> &args);

} // namespace kf::tool
