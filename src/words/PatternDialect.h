#pragma once
// The pattern dialect of the course generator, turned into PCRE2 syntax.
//
// The dialect is Perl-like, with these defaults: case-sensitive (i off), the
// dot matches every byte (s on), greedy quantifiers (g on), "^" and "$" only at
// the very start and end of the subject (m off), blanks are literal (x off) and
// Cyrillic ranges (r on: in code page 1251, а-я also covers ё, А-Я covers Ё,
// and а-Я covers both alphabets). \w is only the 63 ASCII word characters, \s
// is space, tab, LF, CR and FF, \d is 0-9. Case folding under (?i) follows the
// code page's own lower-case table.
//
// The translation spells out every construct explicitly (classes as byte sets,
// anchors as look-arounds), so the PCRE2 pattern does not depend on PCRE2's
// own option defaults or character tables, except for case-insensitive back
// references, which need tables built from the code page (see PatternMatcher).

#include "common/CodePage.h"

#include <string>
#include <string_view>

namespace kf {

class PatternDialect {
public:
    // The PCRE2 pattern (8-bit, no UTF) for a dialect pattern, to be compiled
    // with PCRE2_DOTALL. Throws ERegExError with a short reason when the pattern
    // is not valid in the dialect.
    static std::string toPcre2(std::string_view pattern, const CodePage &codePage);

    // Deepest nesting of parentheses accepted.
    static constexpr int kMaxNesting = 200;
    // Largest count in a brace quantifier.
    static constexpr int kMaxRepeat = 65535;
};

} // namespace kf
