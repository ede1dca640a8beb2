#include "common/IntegerText.h"
#include "common/LibraryErrors.h"

#include <limits>

namespace kf {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

bool ParseIntegerText(std::string_view text, int32_t &value)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    // Gathered as a negative number, whose range reaches one further.
    constexpr int64_t lowest = std::numeric_limits<int32_t>::min();
    int64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 - (c - '0');
        if (v < lowest)
            return false;
    }
    if (!negative) {
        if (v == lowest)
            return false;
        v = -v;
    }
    value = int32_t(v);
    return true;
}

bool ParseIntegerText(const QString &text, int32_t &value)
{
    // Any blank the user can type (a no-break space too) is trimmed here; what
    // is left must be plain ASCII to be a number.
    return ParseIntegerText(std::string_view(text.trimmed().toStdString()), value);
}

int32_t StrToInt(std::string_view text)
{
    int32_t value = 0;
    if (!ParseIntegerText(text, value))
        RaiseNotAnInteger(text);
    return value;
}

int32_t StrToInt(const QString &text)
{
    int32_t value = 0;
    if (!ParseIntegerText(text, value))
        RaiseNotAnInteger(text.toStdString());
    return value;
}

} // namespace kf
