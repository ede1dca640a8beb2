// The course generator's pattern dialect on arbitrary pattern text: the
// translation and PCRE2 must reject or accept it without crashing, and an
// accepted pattern must match a short subject without crashing.

#include "common/Errors.h"
#include "words/PatternMatcher.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static kf::PatternMatcher matcher;
    if (matcher.CacheSize() > 1000)
        matcher.ClearCache();
    const std::string pattern(reinterpret_cast<const char *>(data), size);
    try {
        matcher.SetPattern(pattern);
        size_t start = 0, length = 0;
        matcher.Exec("sing \r\n", start, length);
        matcher.Exec(pattern + " \r\n", start, length);
    } catch (const kf::ERegExError &) {
    }
    return 0;
}
