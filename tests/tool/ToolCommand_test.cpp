// keyfolio-tool --help on every command and subcommand, run as a process:
// its own usage on stdout, exit 0, nothing done.

#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <string>

namespace {

struct HelpCase {
    const char *label;
    QStringList args;
    const char *usage;   // the start of the usage entry it prints
    const char *notThis; // a line of another entry it leaves out (empty: none)
};

void PrintTo(const HelpCase &c, std::ostream *os)
{
    *os << c.label;
}

class ToolHelp : public ::testing::TestWithParam<HelpCase> {};

TEST_P(ToolHelp, PrintsItsOwnUsageAndExitsZero)
{
    const HelpCase &c = GetParam();
    const kf::test::TProgramRun r = kf::test::RunProgram(kf::test::ToolProgram(), c.args, QStringLiteral("CP1252"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind(std::string("Usage:\n") + c.usage, 0), 0u) << r.out;
    if (*c.notThis)
        EXPECT_EQ(r.out.find(c.notThis), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ToolHelp,
    ::testing::Values(
        HelpCase{"package_import", {"package", "import", "--help"}, "  package import LAYOUT", "package chart"},
        HelpCase{"package_import_with_arguments", {"package", "import", "de", "-o", "x.vkt", "-h"},
                 "  package import LAYOUT", "package check"},
        HelpCase{"package_stats", {"package", "stats", "--help"}, "  package stats FILE TEXT", "package import"},
        HelpCase{"package_check", {"package", "check", "--help"}, "  package check FILE", "package dump"},
        HelpCase{"package_compare", {"package", "compare", "--help"}, "  package compare FILE", "package check"},
        HelpCase{"package_chart", {"package", "chart", "--help"}, "  package chart FILE", "package info"},
        HelpCase{"package_layouts", {"package", "layouts", "--help"}, "  package layouts", "package import"},
        HelpCase{"package", {"package", "--help"}, "  package info FILE", ""},
        HelpCase{"course_plan", {"course", "plan", "--help"}, "  course plan --keyboard", "--strings FILE"},
        HelpCase{"course", {"course", "--help"}, "  course --dictionary FILE", ""},
        HelpCase{"dict", {"dict", "--help"}, "  dict [--case-sensitive]", ""},
        HelpCase{"dict_after_files", {"dict", "a.txt", "-h"}, "  dict [--case-sensitive]", ""}),
    [](const ::testing::TestParamInfo<HelpCase> &i) { return std::string(i.param.label); });

// After "--" a "--help" is a file name, as every other word is.
TEST(ToolHelp, AfterDoubleDashItIsAFileName)
{
    const kf::test::TProgramRun r =
        kf::test::RunProgram(kf::test::ToolProgram(), {"dict", "-o", "/nonexistent/out.txt", "--", "--help"},
                             QStringLiteral("CP1252"));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out.find("Usage:"), std::string::npos) << r.out;
}

} // namespace
