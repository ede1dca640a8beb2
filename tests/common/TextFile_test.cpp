#include "common/Errors.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

using namespace std::string_literals;

TEST(TextFile, LineRules)
{
    const struct { std::string in; std::vector<std::string> out; } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\n\r", {"a", ""}},
        {"ab\0cd\nef"s, {"ab"}},
        {"\xEF\xBB\xBFx", {"\xEF\xBB\xBFx"}}, // no byte-order mark is taken off
    };
    for (const auto &c : cases)
        EXPECT_EQ(kf::splitLines(c.in), c.out) << c.in;
}

TEST(TextFile, WriteEndsEveryLineWithCrLfAndReadsBack)
{
    char tmpl[] = "/tmp/kf_textfile_XXXXXX";
    const int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    kf::writeTextLines(tmpl, {"one", "", "three"});
    EXPECT_EQ(kf::readFileBytes(tmpl), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(kf::readTextLines(tmpl), (std::vector<std::string>{"one", "", "three"}));
    std::remove(tmpl);
}

TEST(TextFile, ErrorsNameTheFile)
{
    try {
        kf::readFileBytes("/nonexistent/file.txt");
        FAIL();
    } catch (const kf::EFOpenError &e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/file.txt"), std::string::npos);
        EXPECT_STREQ(e.kind(), "EFOpenError");
    }
    EXPECT_THROW(kf::readFileBytes("/tmp"), kf::EFOpenError);
    EXPECT_THROW(kf::writeFileBytes("/nonexistent/x", "a"), kf::EFCreateError);
}
