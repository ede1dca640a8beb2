#include "exchange/LayoutImportParts.h"
#include "common/Errors.h"
#include "common/TextFile.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kf {

namespace xkbimport {

namespace {

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

// The X locale folder: $XLOCALEDIR when set, else /usr/share/X11/locale.
std::string xLocaleDir()
{
    if (const char *d = std::getenv("XLOCALEDIR"); d && *d)
        return d;
    return "/usr/share/X11/locale";
}

// The two words of each line of an X locale file ("compose.dir",
// "locale.alias"): "first second" or "first: second"; comments and other
// lines are skipped. Empty when the file cannot be read.
std::vector<std::pair<std::string, std::string>> localeFilePairs(const std::string &path)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::string> lines;
    try {
        lines = splitLines(readFileBytes(path, uint64_t(1) << 20));
    } catch (const EInOutError &) {
        return pairs;
    }
    for (const std::string &line : lines) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t end = line.find_first_of(" \t");
        const size_t start = line.find_first_not_of(" \t", end);
        if (end == std::string::npos || start == std::string::npos)
            continue;
        std::string first = line.substr(0, end);
        if (!first.empty() && first.back() == ':')
            first.pop_back();
        const size_t stop = line.find_first_of(" \t", start);
        pairs.emplace_back(std::move(first), line.substr(start, stop == std::string::npos ? std::string::npos : stop - start));
    }
    return pairs;
}

// "en_US.utf8" as the X locale files spell it: "en_US.UTF-8" (the codeset
// "utf8", "UTF8" or "utf-8" in any case becomes "UTF-8"; the rest stays).
std::string normalizedLocaleName(const std::string &locale)
{
    const size_t dot = locale.find('.');
    if (dot == std::string::npos)
        return locale;
    const size_t at = locale.find('@', dot);
    std::string codeset = locale.substr(dot + 1, at == std::string::npos ? std::string::npos : at - dot - 1);
    std::string folded;
    for (const char c : codeset)
        if (c != '-' && c != '_')
            folded += char(std::tolower(static_cast<unsigned char>(c)));
    if (folded != "utf8")
        return locale;
    return locale.substr(0, dot) + ".UTF-8" + (at == std::string::npos ? std::string() : locale.substr(at));
}

// The compose table file of the system for a locale name compose.dir lists
// (relative to the X locale folder), with the name it is listed under.
struct ComposeFile {
    std::string locale;
    std::string path;
};

ComposeFile systemComposeFile(const std::string &locale)
{
    if (locale.empty())
        return {};
    const std::string dir = xLocaleDir();
    const auto composeDir = localeFilePairs(dir + "/compose.dir");
    const auto aliases = localeFilePairs(dir + "/locale.alias");
    auto listed = [&composeDir](const std::string &name) -> std::string {
        for (const auto &[file, name2] : composeDir)
            if (name2 == name)
                return file;
        return std::string();
    };
    auto alias = [&aliases](const std::string &name) -> std::string {
        for (const auto &[from, to] : aliases)
            if (from == name)
                return to;
        return std::string();
    };
    // The name as given, then as the locale files spell it, then what
    // locale.alias makes of either.
    std::vector<std::string> names{locale, normalizedLocaleName(locale)};
    for (size_t i = 0, n = names.size(); i < n; ++i)
        if (std::string a = alias(names[i]); !a.empty())
            names.push_back(std::move(a));
    for (const std::string &name : names)
        if (std::string file = listed(name); !file.empty())
            return {name, dir + "/" + file};
    return {};
}

} // namespace

std::string UserLocale()
{
    for (const char *var : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char *v = std::getenv(var); v && *v)
            return v;
    return std::string();
}

XkbPtr<xkb_compose_table> SystemComposeTable(xkb_context *ctx, const std::string &locale, std::string &listedAs)
{
    const ComposeFile file = systemComposeFile(locale);
    if (file.path.empty())
        return nullptr;
    std::unique_ptr<FILE, FileCloser> f(std::fopen(file.path.c_str(), "rb"));
    if (!f)
        return nullptr;
    XkbPtr<xkb_compose_table> table(xkb_compose_table_new_from_file(
        ctx, f.get(), file.locale.c_str(), XKB_COMPOSE_FORMAT_TEXT_V1, XKB_COMPOSE_COMPILE_NO_FLAGS));
    if (table)
        listedAs = file.locale;
    return table;
}

} // namespace xkbimport

std::string SystemComposeLocale(const std::string &locale)
{
    return xkbimport::systemComposeFile(locale).locale;
}

} // namespace kf
