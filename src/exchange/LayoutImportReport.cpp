#include "exchange/LayoutImport.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace kf {

namespace {

const char *kindHeading(LayoutImportNote::Kind kind)
{
    switch (kind) {
    case LayoutImportNote::Kind::UnheldCharacter:
        return "Characters the code page cannot hold:";
    case LayoutImportNote::Kind::OtherDeadKey:
        return "Dead keys other than the eight accents, or with no character the code page holds after them (left out):";
    case LayoutImportNote::Kind::LeftOutLevel:
        return "Levels beyond Shift and AltGr (left out):";
    case LayoutImportNote::Kind::LeftOutKey:
        return "Keys left out:";
    case LayoutImportNote::Kind::UnreachableLevel:
        return "Levels the key types cannot reach (left out):";
    case LayoutImportNote::Kind::NoPlainCharacter:
        return "Character keys with nothing the code page holds on the plain level (left out):";
    case LayoutImportNote::Kind::SharedPlainCharacter:
        return "Character keys whose plain character another key types (left out):";
    case LayoutImportNote::Kind::CapsLockOnly:
        return "Characters the layout types only with Caps Lock, where Caps Lock does more than swap a "
               "letter key's plain and Shift characters (left out):";
    }
    return "";
}

std::string codePointText(const QString &text)
{
    std::string out;
    for (const char32_t c : text.toStdU32String()) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%sU+%04X", out.empty() ? "" : " ", unsigned(c));
        out += buf;
    }
    return out;
}

// One character as "\"x\" (U+0078)"; anything else (a keysym name) as it is.
std::string quotedText(const QString &text)
{
    const std::string t = text.toStdString();
    if (text.size() == 1 || text.toStdU32String().size() == 1)
        return "\"" + t + "\" (" + codePointText(text) + ")";
    return t;
}

} // namespace

std::string LayoutImportNote::Describe() const
{
    const std::string t = text.toStdString();
    switch (kind) {
    case Kind::UnheldCharacter:
        return level + " on \"" + key + "\": \"" + t + "\" (" + codePointText(text) + ")";
    case Kind::OtherDeadKey:
        return level + " on \"" + key + "\": " + t;
    case Kind::LeftOutLevel:
    case Kind::UnreachableLevel:
        return level + " on \"" + key + "\": " + quotedText(text);
    case Kind::LeftOutKey:
        return key + (t.empty() ? std::string() : " (" + t + ")");
    case Kind::CapsLockOnly:
        return level + " on \"" + key + "\": " + quotedText(text) + ", which no key types without Caps Lock"
            + (withoutCapsLock.isEmpty() ? std::string() : "; without Caps Lock the key types " + quotedText(withoutCapsLock));
    case Kind::NoPlainCharacter:
    case Kind::SharedPlainCharacter: {
        std::string line = key + ": " + level + " " + quotedText(text);
        if (kind == Kind::SharedPlainCharacter)
            line += ", which key \"" + keptBy + "\" keeps";
        for (size_t i = 0; i < alsoLost.size(); ++i)
            line += (i == 0 ? "; with it " : ", ") + alsoLost[i].first + " " + quotedText(alsoLost[i].second);
        return line;
    }
    }
    return t;
}

size_t LayoutImportReport::Count(LayoutImportNote::Kind kind) const
{
    return size_t(std::count_if(notes.begin(), notes.end(), [kind](const LayoutImportNote &n) { return n.kind == kind; }));
}

std::vector<std::string> LayoutImportReport::Lines() const
{
    std::vector<std::string> lines;
    lines.push_back("Layout " + layoutId + (description.empty() ? std::string() : " (" + description + ")") + ", "
                    + KeyBlockName(block) + " key block, code page " + codePage + ": " + std::to_string(keyCount)
                    + " keys, " + std::to_string(charCount) + " characters (" + std::to_string(composedCount)
                    + " with a dead key" + (composeLocale.empty() ? std::string() : ", compose table " + composeLocale)
                    + ")");
    for (const auto kind : {LayoutImportNote::Kind::UnheldCharacter, LayoutImportNote::Kind::NoPlainCharacter,
                            LayoutImportNote::Kind::SharedPlainCharacter, LayoutImportNote::Kind::CapsLockOnly,
                            LayoutImportNote::Kind::OtherDeadKey,
                            LayoutImportNote::Kind::LeftOutLevel, LayoutImportNote::Kind::UnreachableLevel,
                            LayoutImportNote::Kind::LeftOutKey}) {
        const size_t n = Count(kind);
        if (n == 0)
            continue;
        lines.push_back(std::string(kindHeading(kind)) + " " + std::to_string(n));
        for (const LayoutImportNote &note : notes)
            if (note.kind == kind)
                lines.push_back("  " + note.Describe());
    }
    return lines;
}

} // namespace kf
