#pragma once
// Case folding of ASCII letters only, for names that match without regard to
// case (field and index names, member names, readme keys, keywords); other
// bytes are left as they are.

#include <string>
#include <string_view>

namespace kf {

inline char LowerAsciiChar(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline std::string LowerAscii(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = LowerAsciiChar(c);
    return out;
}

inline bool EqualsNoCaseAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAsciiChar(a[i]) != LowerAsciiChar(b[i]))
            return false;
    return true;
}

} // namespace kf
