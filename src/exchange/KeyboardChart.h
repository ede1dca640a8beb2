#pragma once
// The keyboard chart: the keyboard of a definition drawn for people to keep.
// Every key sits at its place and size, in its finger's colour (or plain, or
// coloured by use), showing what it types plain (lower left), with Shift
// (upper left), with AltGr (lower right) and with Shift+AltGr (upper right),
// or the key's own picture; a title line above and the finger colours, named,
// below. One painter routine draws it on any device: SVG with the legends as
// text, a one-page PDF, a PNG, and the printer of the windows.

#include "common/Errors.h"
#include "model/KeyLayout.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace kf {

class CodePage;
class TDataMod;

// A chart that cannot be made: no keys to draw, impossible options.
class EChartError : public Exception {
public:
    using Exception::Exception;
    const char *kind() const noexcept override { return "EChartError"; }
};

enum class TChartStyle { Legends, Pictures };
enum class TChartFormat { Svg, Pdf, Png };
enum class TChartPaper { A4, Letter };

struct TChartOptions {
    TChartStyle Style = TChartStyle::Legends;
    bool FingerColours = true; // false: every key plain, no finger legend
    // The title line; none given: the definition's own (author and info);
    // empty: no title line.
    std::optional<QString> Title;
    // Colours by use: a share 0..1 per key of the layout (in its key order);
    // empty: none.
    std::vector<double> Heat;
    double Scale = 2;          // PNG: image pixels per chart pixel
    bool Transparent = false;  // PNG and SVG: no background
    TChartPaper Paper = TChartPaper::A4; // PDF, landscape
    bool TrueScale = false;    // PDF: a key unit is 19.05 mm instead of fitted to the paper
};

class TKeyboardChart {
public:
    // A key unit: a key 40 pixels wide is 19.05 mm wide at true scale.
    static constexpr double kKeyUnitPixels = 40;
    static constexpr double kKeyUnitMm = 19.05;
    static constexpr double kMaxScale = 16;
    static constexpr double kMaxImagePixels = 100e6;

    // The chart of a layout whose characters are bytes of cp. pictures: each
    // key's picture by key index (null or missing: none). defaultTitle is the
    // title line when the options give none. cp must outlive the chart.
    TKeyboardChart(TKeyLayout layout, const CodePage &cp, std::vector<QImage> pictures = {},
                   QString defaultTitle = QString());
    // The data module's definition: its keys in the key table's order, their
    // pictures, the finger colours, the author and info as title.
    static TKeyboardChart FromDataMod(const TDataMod &dm, const CodePage &cp);

    const TKeyLayout &Layout() const { return m_layout; }
    const QString &DefaultTitle() const { return m_defaultTitle; }

    // What a key shows in the legends style.
    struct TKeyLegends {
        QString Plain, Shift, AltGr, ShiftAltGr; // a letter's capital alone is Shift
        QString Centre;                          // a key's name, alone
        bool PlainDead = false, ShiftDead = false, AltGrDead = false; // accent marks of dead keys
        bool Dead() const { return PlainDead || ShiftDead || AltGrDead; }
    };
    TKeyLegends Legends(int key) const;

    // The face colour of a key under the options: its use, its finger's
    // colour (an unset colour reads as the light default) or plain.
    QColor KeyFace(int key, const TChartOptions &options) const;
    // The colour of a share of use 0..1, from pale to dark.
    static QColor HeatColour(double share);
    // The colour of text on a face: black or white, whichever contrasts more.
    static QColor LegendColour(const QColor &face);
    // The contrast ratio of two colours, 1 (none) to 21 (black on white), as
    // the web's accessibility guidelines measure it.
    static double Contrast(const QColor &a, const QColor &b);
    // A finger's colour on the chart.
    QColor FingerColour(int finger) const;

    // Throws EChartError when no chart can be drawn with these options: no
    // key, no key with a positive width and height, heat values for another
    // number of keys, a scale outside 0..kMaxScale or an image too large.
    void Check(const TChartOptions &options, TChartFormat format) const;
    // What is drawn as it is but wants the user's eye, one line each: keys
    // left out for their size, overlapping keys, character keys that type
    // nothing, characters the code page cannot show, a true-scale PDF larger
    // than its paper.
    QStringList Warnings(const TChartOptions &options, TChartFormat format) const;

    // The chart's size in chart pixels (the keys' own pixels).
    QSizeF Size(const TChartOptions &options) const;
    // Draws the chart with its top-left corner at the painter's origin, one
    // unit a chart pixel.
    void Paint(QPainter &painter, const TChartOptions &options) const;
    // Draws it as large as fits into target (device units), centred.
    void PaintFitted(QPainter &painter, const QRectF &target, const TChartOptions &options) const;

    QByteArray Svg(const TChartOptions &options) const;
    QByteArray Pdf(const TChartOptions &options) const;
    // The picture of the chart; throws EChartError when there is not
    // enough memory for it.
    QImage Image(const TChartOptions &options) const;
    // The PNG file's bytes; throws EChartError when the picture cannot be
    // made or written.
    QByteArray Png(const TChartOptions &options) const;
    // Check, then the bytes of the format.
    QByteArray Render(TChartFormat format, const TChartOptions &options) const;
    // Writes the chart to path (local 8-bit name): beside it first, renamed
    // over it when complete, so a failure (of the drawing too, e.g. for want
    // of memory) leaves the old file as it was. Throws EChartError or
    // EFCreateError.
    void Export(const std::string &path, TChartFormat format, const TChartOptions &options) const;

    // The format a file name ends in (.svg, .pdf, .png, any case); false: none.
    static bool FormatOfPath(const QString &path, TChartFormat &format);

private:
    struct TGeometry;
    TGeometry geometry(const TChartOptions &options) const;
    QString title(const TChartOptions &options) const;
    void paintKey(QPainter &p, int key, const QRectF &r, const TChartOptions &options) const;
    QString character(uint8_t code) const;

    TKeyLayout m_layout;
    const CodePage *m_cp; // not owned
    std::vector<QImage> m_pictures;
    QString m_defaultTitle;
};

} // namespace kf
