// keyfolio-tool course: picks dictionary words into groups for typing lessons
// and writes the result text exactly as the course generator window shows it.

#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "common/IntegerText.h"
#include "common/TextFile.h"
#include "tool/ConsoleDialogs.h"
#include "common/CodePage.h"
#include "model/KeyLayout.h"
#include "model/MainData.h"
#include "tool/LessonsCommand.h"
#include "tool/PlanArgs.h"
#include "tool/ToolCommand.h"
#include "words/CoursePlan.h"
#include "words/tcg.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

namespace kf::tool {

namespace {

constexpr int kExitPatternError = 3;

const std::string kUsage =
    std::string("  course --dictionary FILE --strings FILE --mode finger|letters|head|tail|regex\n"
    "         [--min N] [--max N] [--case-sensitive]\n"
    "         [--view picked|default|length|no-headings|with-headings|wordlist]\n"
    "         [--no-headings] [--input-encoding auto|codepage|utf-8|utf-16le|utf-16be]\n"
    "         [-o OUT]\n"
    "      Picks the dictionary's words into one group per line of the strings file\n"
    "      and writes the result text (default: min 0, max 50, view picked with\n"
    "      headings; to stdout unless -o). Exit status 3 after a pattern error\n"
    "      (the partial result is still written). Both files are read as\n"
    "      --input-encoding says (default auto); dictionary words with a character\n"
    "      the code page lacks are left out and counted on stderr, such a string\n"
    "      is an error.\n"
    "  course plan --keyboard FILE.vkt --dictionary FILE [-o STRINGS] [--json]\n") +
    kPlanArgsUsage +
    "      Plans the strings from the keyboard: lessons that bring in its characters\n"
    "      a few at a time, each string holding every character so far; prints per\n"
    "      lesson the new characters, the string, the words it gets and the coverage\n"
    "      (JSON with --json); -o writes the strings file. Order: keyboard, frequency,\n"
    "      or mixed (the home row, then by frequency; the default when the number row\n"
    "      types letters, else keyboard). --letters-only (the default) brings in\n"
    "      letters only and plans each entry without the punctuation around it;\n"
    "      --all-characters every character of the chosen levels.";

int usageError(const std::string &why)
{
    std::cerr << "keyfolio-tool course: " << why << "\nUsage:\n" << kUsage << "\n";
    return kExitUsage;
}

int runPlan(const std::vector<std::string> &args)
{
    std::string keyboardPath, dictionaryPath, outPath;
    TPlanArgs planArgs;
    const TPlanOptions &options = planArgs.Options;
    const InputEncoding &encoding = planArgs.Encoding;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--json") {
            json = true;
            continue;
        }
        std::string error;
        switch (planArgs.Take(args, i, error)) {
        case TPlanArgs::Result::Taken:
            continue;
        case TPlanArgs::Result::Usage:
            return usageError(error);
        case TPlanArgs::Result::Refused:
            std::cerr << "keyfolio-tool course plan: " << error << "\n";
            return kExitError;
        case TPlanArgs::Result::NotMine:
            break;
        }
        if (a != "--keyboard" && a != "--dictionary" && a != "-o")
            return usageError("unknown argument \"" + a + "\"");
        if (i + 1 >= args.size())
            return usageError(a + " needs a value");
        const std::string &v = args[++i];
        if (a == "--keyboard")
            keyboardPath = v;
        else if (a == "--dictionary")
            dictionaryPath = v;
        else
            outPath = v;
    }
    if (keyboardPath.empty() || dictionaryPath.empty())
        return usageError("plan needs --keyboard and --dictionary");

    ConsoleDialogs::install();
    TDataMod dm;
    LoadPackageInItsCodePage(dm, keyboardPath);
    DecodedLines dictionary = ReadDecodedLines(dictionaryPath, encoding);
    TCoursePlan plan(TKeyLayout::FromDataMod(dm), CodePage::current(), TPlanDictionary::FromDecoded(std::move(dictionary)),
                     options);
    plan.Make();
    if (!outPath.empty())
        writeTextLines(outPath, plan.Strings());
    const std::string text = json ? plan.Json() : plan.TableText();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw EInOutError("Cannot write the plan to standard output");
    if (plan.CaseSensitive())
        std::cerr << "keyfolio-tool course plan: the lessons tell capitals from small letters: generate the "
                     "course with --case-sensitive\n";
    return kExitOk;
}

int runCourse(const std::vector<std::string> &args)
{
    if (!args.empty() && args[0] == "plan")
        return runPlan(std::vector<std::string>(args.begin() + 1, args.end()));
    if (!args.empty() && args[0] == "lessons")
        return RunCourseLessons(std::vector<std::string>(args.begin() + 1, args.end()));

    static const std::map<std::string, int> modes = {
        {"finger", tcgClass::FingerPlacement}, {"letters", tcgClass::LetterStrings},
        {"head", tcgClass::HeadLetters},       {"tail", tcgClass::TailLetters},
        {"regex", tcgClass::RegularExpression},
    };
    static const std::map<std::string, int> views = {
        {"picked", tcgClass::AsPicked},         {"default", tcgClass::SortDefault},
        {"length", tcgClass::SortByLength},     {"no-headings", tcgClass::NoHeadings},
        {"with-headings", tcgClass::WithHeadings}, {"wordlist", tcgClass::WordListView},
    };

    std::string dictionaryPath, stringsPath, outPath;
    int mode = 0, view = tcgClass::AsPicked;
    int32_t minLength = 0, maxLength = 50;
    bool caseSensitive = false, headings = true;
    InputEncoding encoding = InputEncoding::Auto;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--case-sensitive") {
            caseSensitive = true;
        } else if (a == "--no-headings") {
            headings = false;
        } else if (a == "--dictionary" || a == "--strings" || a == "--mode" || a == "--min" ||
                   a == "--max" || a == "--view" || a == "-o" || a == "--input-encoding") {
            if (!value(v))
                return usageError(a + " needs a value");
            if (a == "--dictionary") {
                dictionaryPath = v;
            } else if (a == "--strings") {
                stringsPath = v;
            } else if (a == "-o") {
                outPath = v;
            } else if (a == "--input-encoding") {
                if (!ParseInputEncoding(v, encoding))
                    return usageError("unknown input encoding \"" + v + "\"");
            } else if (a == "--mode") {
                const auto it = modes.find(v);
                if (it == modes.end())
                    return usageError("unknown mode \"" + v + "\"");
                mode = it->second;
            } else if (a == "--view") {
                const auto it = views.find(v);
                if (it == views.end())
                    return usageError("unknown view \"" + v + "\"");
                view = it->second;
            } else if (!ParseIntegerText(v, a == "--min" ? minLength : maxLength)) {
                std::cerr << "keyfolio-tool course: " << a << " needs a whole number, not \"" << v
                          << "\"\n";
                return kExitError;
            }
        } else {
            return usageError("unknown argument \"" + a + "\"");
        }
    }
    if (dictionaryPath.empty() || stringsPath.empty() || mode == 0)
        return usageError("--dictionary, --strings and --mode are required");

    ConsoleDialogs::install();
    const WordList strings = ReadCodePageLines(stringsPath, encoding);
    DecodedLines dictionary = ReadDecodedLines(dictionaryPath, encoding);
    // A frequency list ("word TAB count") gives its words.
    const WordList words = TPlanDictionary::WordsOf(std::move(dictionary.lines));
    if (!dictionary.unmappable.empty())
        std::cerr << "keyfolio-tool course: " << dictionary.unmappable.size()
                  << " dictionary words not in the code page left out\n";

    tcgClass engine;
    engine.MinLength = minLength;
    engine.MaxLength = maxLength;
    engine.CaseSensitive = caseSensitive;
    engine.Generate(words, strings, mode);
    const std::string text = engine.RenderResultText(view, headings);

    if (outPath.empty()) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
            throw EInOutError("Cannot write the result to standard output");
    } else {
        writeFileBytes(outPath, text);
    }
    return engine.LastError().empty() ? kExitOk : kExitPatternError;
}

const ToolCommand registerCourse("course", kUsage.c_str(), runCourse);

} // namespace

} // namespace kf::tool
