#pragma once
// The plan options of the command line, read alike by `course plan` and
// `course lessons`: --order, --letters-only / --all-characters,
// --per-lesson, --levels, --home-row, --min-words, --min, --max and
// --input-encoding.

#include "common/CodePageDecoder.h"
#include "words/CoursePlan.h"

#include <string>
#include <vector>

namespace kf::tool {

// The lines of the usage text that list them.
extern const char *const kPlanArgsUsage;

struct TPlanArgs {
    TPlanOptions Options;
    InputEncoding Encoding = InputEncoding::Auto;
    bool PlanGiven = false; // a plan option other than --input-encoding was given

    enum class Result {
        NotMine, // args[i] is no plan option
        Taken,   // taken (i is on its value when it has one)
        Usage,   // a value no option takes: a usage error
        Refused, // a number out of its range
    };
    // Takes the option at args[i]; on Usage and Refused, error says why.
    Result Take(const std::vector<std::string> &args, size_t &i, std::string &error);
};

} // namespace kf::tool
