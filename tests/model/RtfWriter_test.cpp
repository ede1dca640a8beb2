#include "common/CodePage.h"
#include "model/RtfWriter.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <unistd.h>

using namespace kf;

namespace {

// The text an independent RTF reader (unrtf, as HTML with numeric character
// references) finds in a document, as Unicode; paragraphs become "\n".
QString readWithUnrtf(const std::string &rtf)
{
    char path[] = "/tmp/kf_rtf_XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, rtf.data(), rtf.size()), ssize_t(rtf.size()));
    close(fd);
    const std::string cmd = std::string("unrtf --html --nopict ") + path + " 2>/dev/null";
    std::string out;
    if (FILE *p = popen(cmd.c_str(), "r")) {
        std::array<char, 4096> buf;
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        pclose(p);
    }
    std::remove(path);
    QString html = QString::fromLatin1(out.c_str());
    const qsizetype body = html.indexOf(QLatin1String("<body>"));
    const qsizetype end = html.indexOf(QLatin1String("</body>"));
    if (body < 0 || end < body)
        return QStringLiteral("<no body>");
    html = html.mid(body + 6, end - body - 6);
    html.replace(QRegularExpression(QStringLiteral("<br\\s*/?>\\s*")), QStringLiteral("\n"));
    html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    QString text;
    const QRegularExpression entity(QStringLiteral("&(#(\\d+)|amp|lt|gt|quot|nbsp|eacute|iuml|euro);"));
    qsizetype pos = 0;
    for (auto it = entity.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        text += html.mid(pos, m.capturedStart() - pos);
        const QString name = m.captured(1);
        if (!m.captured(2).isEmpty())
            text += QChar(char16_t(m.captured(2).toInt()));
        else
            text += name == QLatin1String("amp") ? QStringLiteral("&") : name == QLatin1String("lt") ? QStringLiteral("<")
                : name == QLatin1String("gt") ? QStringLiteral(">") : name == QLatin1String("quot") ? QStringLiteral("\"")
                : name == QLatin1String("eacute") ? QStringLiteral("\u00e9") : name == QLatin1String("iuml") ? QStringLiteral("\u00ef")
                : name == QLatin1String("euro") ? QStringLiteral("\u20ac")
                : QStringLiteral(" ");
        pos = m.capturedEnd();
    }
    text += html.mid(pos);
    return text;
}

} // namespace

TEST(RtfWriter, StructureAndEscapes)
{
    const CodePage cp("CP1251");
    RtfFont font;
    font.family = QStringLiteral("Courier New");
    font.pointSize = 12;
    const std::string rtf = WriteRtf(QString::fromUtf8("a{b}\\c\n\xD0\x96\xE2\x82\xAC\xE4\xB8\x80"), font, cp);
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1251", 0), 0u);
    EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fmodern\\fcharset204 Courier New;}}"), std::string::npos);
    EXPECT_NE(rtf.find("\\fs24"), std::string::npos);
    EXPECT_NE(rtf.find("a\\{b\\}\\\\c\\par\r\n\\'c6\\'88\\u19968?}"), std::string::npos) << rtf;
    int depth = 0;
    for (size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') { ++i; continue; }
        depth += rtf[i] == '{';
        depth -= rtf[i] == '}';
        ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
}

TEST(RtfWriter, IndependentReaderGetsTheTextBack)
{
    if (system("command -v unrtf >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "unrtf is not installed";
    const struct { const char *cp; const char *utf8; } cases[] = {
        {"CP1252", "Hello {world}\nsecond line \\ end"},
        {"CP1252", "caf\xC3\xA9 na\xC3\xAFve \xE2\x82\xAC \xE4\xB8\x80"},
        {"CP1251", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80"},
    };
    for (const auto &c : cases) {
        const CodePage cp(c.cp);
        const QString text = QString::fromUtf8(c.utf8);
        const QString got = readWithUnrtf(WriteRtf(text, RtfFont{}, cp));
        EXPECT_EQ(got.trimmed().toStdString(), text.toStdString()) << c.cp;
    }
}
