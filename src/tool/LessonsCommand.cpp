// keyfolio-tool course lessons: the lesson texts of a course plan (drill,
// word and sentence lines) written for a typing tutor.

#include "tool/LessonsCommand.h"

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "common/IntegerText.h"
#include "common/TextFile.h"
#include "exchange/ExchangeFormat.h"
#include "exchange/LessonFormats.h"
#include "model/KeyLayout.h"
#include "model/MainData.h"
#include "tool/ConsoleDialogs.h"
#include "tool/PlanArgs.h"
#include "tool/ToolCommand.h"
#include "words/CoursePlan.h"
#include "words/FileWordScan.h"
#include "words/LessonTexts.h"

#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <exception>
#include <thread>
#include <iostream>
#include <memory>

namespace kf::tool {

const std::string kLessonsUsage =
    std::string("  course lessons --keyboard FILE.vkt --dictionary FILE [--text FILE]...\n"
                "         [--plan PLAN.json] or the plan options of course plan:\n") +
    kPlanArgsUsage +
    "         [--length N] [--width N] [--seed N]\n"
    "         --format json|text|ktouch|monkeytype [--layout-name XKBNAME] [--title TEXT]\n"
    "         [--output-encoding utf-8|codepage] -o OUT\n"
    "      Writes the lesson texts of a course plan: per lesson drill lines, dictionary\n"
    "      words and sentences of the texts typeable with its characters, followed by\n"
    "      a lesson for the capitals and one for the texts' punctuation marks when\n"
    "      the plan lacks them (defaults: length 600, width 60, seed 1; ktouch needs\n"
    "      --layout-name, the system layout's name).";

namespace {

int usageError(const std::string &why)
{
    std::cerr << "keyfolio-tool course lessons: " << why << "\nUsage:\n" << kLessonsUsage << "\n";
    return kExitUsage;
}

} // namespace

int RunCourseLessons(const std::vector<std::string> &args)
{
    std::string keyboardPath, dictionaryPath, planPath, outPath, formatName, layoutName, title;
    std::vector<std::string> textPaths;
    TPlanArgs planArgs;
    const TPlanOptions &planOptions = planArgs.Options;
    const InputEncoding &encoding = planArgs.Encoding;
    bool inCodePage = false;
    TLessonOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        std::string error;
        switch (planArgs.Take(args, i, error)) {
        case TPlanArgs::Result::Taken:
            continue;
        case TPlanArgs::Result::Usage:
            return usageError(error);
        case TPlanArgs::Result::Refused:
            std::cerr << "keyfolio-tool course lessons: " << error << "\n";
            return kExitError;
        case TPlanArgs::Result::NotMine:
            break;
        }
        static const char *const withValue[] = {"--keyboard", "--dictionary", "--text",  "--plan",
                                                "--length",   "--width",      "--seed",  "--format",
                                                "--layout-name", "--title",   "--output-encoding", "-o"};
        if (std::find(std::begin(withValue), std::end(withValue), a) == std::end(withValue))
            return usageError("unknown argument \"" + a + "\"");
        if (i + 1 >= args.size())
            return usageError(a + " needs a value");
        const std::string &v = args[++i];
        int32_t n = 0;
        const auto whole = [&](int32_t min, int32_t max) {
            if (ParseIntegerText(v, n) && n >= min && n <= max)
                return true;
            std::cerr << "keyfolio-tool course lessons: " << a << " needs a whole number from " << min << " to "
                      << max << ", not \"" << v << "\"\n";
            return false;
        };
        if (a == "--keyboard") {
            keyboardPath = v;
        } else if (a == "--dictionary") {
            dictionaryPath = v;
        } else if (a == "--text") {
            textPaths.push_back(v);
        } else if (a == "--plan") {
            planPath = v;
        } else if (a == "-o") {
            outPath = v;
        } else if (a == "--format") {
            formatName = v;
        } else if (a == "--layout-name") {
            layoutName = v;
        } else if (a == "--title") {
            title = v;
        } else if (a == "--output-encoding") {
            if (v == "codepage")
                inCodePage = true;
            else if (v == "utf-8" || v == "utf8")
                inCodePage = false;
            else
                return usageError("unknown output encoding \"" + v + "\" (utf-8, codepage)");
        } else if (a == "--length") {
            if (!whole(TLessonOptions::kMinLength, TLessonOptions::kMaxLength))
                return kExitError;
            options.Length = n;
        } else if (a == "--width") {
            if (!whole(TLessonOptions::kMinWidth, TLessonOptions::kMaxWidth))
                return kExitError;
            options.Width = n;
        } else if (a == "--seed") {
            if (!whole(0, INT32_MAX))
                return kExitError;
            options.Seed = uint64_t(n);
        }
    }
    if (keyboardPath.empty() || dictionaryPath.empty() || outPath.empty() || formatName.empty())
        return usageError("lessons needs --keyboard, --dictionary, --format and -o");
    const TExchangeFormat *format = FindExchangeFormat(formatName, TExchangeFormat::Content::Lessons);
    if (!format)
        return usageError("unknown format \"" + formatName + "\" (" +
                          ExchangeFormatNames(TExchangeFormat::Content::Lessons) + ")");
    if (!planPath.empty() && planArgs.PlanGiven)
        return usageError("--plan and the plan options exclude each other");
    if (formatName == "ktouch" && layoutName.empty())
        return usageError("the ktouch format needs --layout-name, the name of the system layout the keyboard is");

    ConsoleDialogs::install();
    TDataMod dm;
    LoadPackageInItsCodePage(dm, keyboardPath);
    const CodePage &codePage = CodePage::current();
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    // The texts are read and cut on a thread of their own while the
    // dictionary is read and the plan made.
    TLessonTexts texts(codePage, layout);
    std::vector<std::string> textWarnings;
    std::exception_ptr textFailure;
    std::thread reader([&] {
        try {
            for (const std::string &path : textPaths) {
                try {
                    texts.AddText(FileWordScan::readText(path, encoding, 1));
                } catch (const Exception &e) {
                    textWarnings.push_back(std::string(e.what()) + "; the lessons are made without its sentences");
                    texts.AddText({});
                }
            }
        } catch (...) {
            textFailure = std::current_exception();
        }
    });
    // Joined before anything thrown here leaves.
    struct Join {
        std::thread &t;
        ~Join()
        {
            if (t.joinable())
                t.join();
        }
    } join{reader};

    DecodedLines lines = ReadDecodedLines(dictionaryPath, encoding);
    TPlanDictionary dictionary = TPlanDictionary::FromLines(std::move(lines.lines), lines.unmappable.size());
    // The plan: saved, or made from the options as course plan makes it.
    std::vector<std::string> news;
    std::unique_ptr<TCoursePlan> plan;
    const TPlanDictionary *words = &dictionary;
    if (!planPath.empty()) {
        news = ReadSavedPlan(readFileBytes(planPath), codePage, planPath);
    } else {
        plan = std::make_unique<TCoursePlan>(layout, codePage, std::move(dictionary), planOptions);
        plan->Make();
        for (const TPlanLesson &l : plan->Lessons())
            news.push_back(l.New);
        words = &plan->Dictionary();
    }

    reader.join();
    if (textFailure)
        std::rethrow_exception(textFailure);
    for (const std::string &w : textWarnings)
        std::cerr << "keyfolio-tool course lessons: " << w << "\n";
    texts.SetPlan(news, *words);

    TLessonCourse course;
    course.Lessons = texts.Make(options);
    course.Page = &codePage;
    course.Seed = options.Seed;
    course.LayoutName = layoutName;
    const std::string keyboardName = QFileInfo(QString::fromStdString(keyboardPath)).completeBaseName().toStdString();
    course.Title = title.empty() ? keyboardName + " lessons" : title;
    course.Description = "Drills, dictionary words and sentences for the keyboard " + keyboardName + ".";
    course.TextInCodePage = inCodePage;
    const std::string bytes = format->WriteLessons(course);
    writeFileBytes(outPath, bytes);

    for (size_t k = 0; k < course.Lessons.size(); ++k)
        for (const std::string &w : course.Lessons[k].Warnings)
            std::cerr << "keyfolio-tool course lessons: lesson " << k + 1 << ": " << w << "\n";
    return kExitOk;
}

namespace {
// Listed by --help; `course lessons` reaches it through the course command.
const ToolCommand registerLessons("course lessons", kLessonsUsage.c_str(), RunCourseLessons);
} // namespace

} // namespace kf::tool
