#include "tool/PlanArgs.h"

#include "common/IntegerText.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace kf::tool {

const char *const kPlanArgsUsage =
    "         [--order keyboard|frequency|mixed] [--letters-only | --all-characters] [--per-lesson N]\n"
    "         [--levels plain,shift,altgr,dead] [--home-row N] [--min-words N] [--min N] [--max N]\n"
    "         [--input-encoding auto|codepage|utf-8|utf-16le|utf-16be]\n";

TPlanArgs::Result TPlanArgs::Take(const std::vector<std::string> &args, size_t &i, std::string &error)
{
    const std::string &a = args[i];
    if (a == "--letters-only" || a == "--all-characters") {
        Options.LettersOnly = a == "--letters-only";
        PlanGiven = true;
        return Result::Taken;
    }
    static const char *const withValue[] = {"--order", "--per-lesson", "--levels", "--home-row",
                                            "--min-words", "--min", "--max", "--input-encoding"};
    if (std::find(std::begin(withValue), std::end(withValue), a) == std::end(withValue))
        return Result::NotMine;
    if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return Result::Usage;
    }
    const std::string &v = args[++i];
    if (a == "--input-encoding") {
        if (ParseInputEncoding(v, Encoding))
            return Result::Taken;
        error = "unknown input encoding \"" + v + "\"";
        return Result::Usage;
    }
    PlanGiven = true;
    int32_t n = 0;
    const auto whole = [&](int32_t min, int32_t max) {
        if (ParseIntegerText(v, n) && n >= min && n <= max)
            return true;
        error = a + " needs a whole number from " + std::to_string(min) + " to " + std::to_string(max) + ", not \"" +
                v + "\"";
        return false;
    };
    if (a == "--order") {
        if (v == "keyboard")
            Options.Order = TPlanOrder::Keyboard;
        else if (v == "frequency")
            Options.Order = TPlanOrder::Frequency;
        else if (v == "mixed")
            Options.Order = TPlanOrder::Mixed;
        else {
            error = "unknown order \"" + v + "\" (keyboard, frequency, mixed)";
            return Result::Usage;
        }
    } else if (a == "--levels") {
        Options.Shift = Options.AltGr = Options.Dead = false;
        size_t from = 0;
        while (from <= v.size()) {
            const size_t comma = std::min(v.find(',', from), v.size());
            const std::string level = v.substr(from, comma - from);
            if (level == "shift")
                Options.Shift = true;
            else if (level == "altgr")
                Options.AltGr = true;
            else if (level == "dead")
                Options.Dead = true;
            else if (level != "plain") {
                error = "unknown level \"" + level + "\" (plain, shift, altgr, dead)";
                return Result::Usage;
            }
            from = comma + 1;
        }
    } else if (a == "--per-lesson") {
        if (!whole(1, TPlanOptions::kMaxPerLesson))
            return Result::Refused;
        Options.PerLesson = n;
    } else if (a == "--home-row") {
        if (!whole(1, 1000))
            return Result::Refused;
        Options.HomeRow = n - 1;
    } else if (a == "--min-words") {
        if (!whole(0, INT32_MAX))
            return Result::Refused;
        Options.MinWords = n;
    } else if (!whole(0, INT32_MAX)) {
        return Result::Refused;
    } else {
        (a == "--min" ? Options.MinLength : Options.MaxLength) = n;
    }
    return Result::Taken;
}

} // namespace kf::tool
