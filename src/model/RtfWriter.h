#pragma once
// Writes plain text as a Rich Text Format document in one font: the demo
// text of the keyboard layout window. Characters of the code page are written
// as bytes (\'hh above 127), others as \uN with a '?' fallback.

#include <QString>
#include <string>

namespace kf {

class CodePage;

struct RtfFont {
    QString family = QStringLiteral("Courier New");
    double pointSize = 12.0;
    bool bold = false;
    bool italic = false;
};

std::string WriteRtf(const QString &text, const RtfFont &font, const CodePage &codePage);

} // namespace kf
