#pragma once
// The keystroke figures written out: as lines of a table (for the window and
// the command line), as CSV and as JSON.

#include <string>
#include <vector>

namespace kf {

class CodePage;
struct TKeyStrokeFigures;

// How shares read: fractions from 0 to 1 with four decimals (0.1324, for
// files) or percentages with one decimal (13.2 %, for people).
enum class TShareStyle { Fraction, Percent };

// The figures as a table: what, then the value (and with a second keyboard,
// its value and the difference b - a). Rows of the two keyboards are matched
// by their number from the top; a character pair or character either
// keyboard lists is given with both keyboards' counts.
struct TKeyStrokeLine {
    std::string What;   // UTF-8
    std::string A, B, Difference;
};
std::vector<TKeyStrokeLine> KeyStrokeLines(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b,
                                           const CodePage &codePage, TShareStyle shares = TShareStyle::Fraction);
// Those lines as CSV (UTF-8, CR LF, fields quoted where needed, shares as
// fractions).
std::string KeyStrokesToCsv(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b, const CodePage &codePage);

// The figures as JSON (UTF-8, keys in alphabetical order, shares as
// fractions): characters in the code page given, a byte the code page leaves
// undefined as its hexadecimal value ("0x81").
std::string KeyStrokesToJson(const TKeyStrokeFigures &figures, const CodePage &codePage);
// Two keyboards: {"a": {...}, "b": {...}}.
std::string KeyStrokesToJson(const TKeyStrokeFigures &a, const TKeyStrokeFigures &b, const CodePage &codePage);

// A character of the figures (code-page bytes) as people read it: a line
// break "↵", a tab "⇥", a space "␣", another control character ^X, a byte
// the code page leaves undefined "0x81", any other character itself.
std::string PrintableChars(const std::string &bytes, const CodePage &codePage);

} // namespace kf
