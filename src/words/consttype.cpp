#include "words/consttype.h"

namespace kf {

int32_t CountWords(std::string_view text, const DelimiterSet &delims)
{
    int32_t count = 0;
    size_t p = 0;
    const size_t n = text.size();
    while (p < n) {
        while (p < n && delims.contains(text[p]))
            ++p;
        if (p < n)
            ++count;
        while (p < n && !delims.contains(text[p]))
            ++p;
    }
    return count;
}

int32_t NthWordStart(int32_t n, std::string_view text, const DelimiterSet &delims)
{
    if (n <= 0)
        return 0;
    int32_t counter = 0;
    size_t p = 0;
    const size_t size = text.size();
    while (p < size && counter != n) {
        while (p < size && delims.contains(text[p]))
            ++p;
        if (p < size) {
            ++counter;
            if (counter == n)
                return int32_t(p + 1);
        }
        while (p < size && !delims.contains(text[p]))
            ++p;
    }
    return 0;
}

std::string NthWord(int32_t n, std::string_view text, const DelimiterSet &delims)
{
    const int32_t start = NthWordStart(n, text, delims);
    if (start == 0)
        return {};
    size_t end = size_t(start - 1);
    while (end < text.size() && !delims.contains(text[end]))
        ++end;
    return std::string(text.substr(size_t(start - 1), end - size_t(start - 1)));
}

std::vector<std::string_view> SplitWords(std::string_view text, const DelimiterSet &delims)
{
    std::vector<std::string_view> words;
    ForEachWord(text, delims, [&](std::string_view w) { words.push_back(w); });
    return words;
}

} // namespace kf
