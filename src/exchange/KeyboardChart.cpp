#include "exchange/KeyboardChart.h"

#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "common/ReplacingFile.h"
#include "common/Translation.h"
#include "model/GlyphCodec.h"
#include "model/KeyCodes.h"
#include "model/KeyPictures.h"
#include "model/MainData.h"
#include "table/RecordTable.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <new>

namespace kf {

namespace {

constexpr double kMargin = 20;
constexpr double kTitleHeight = 34;
constexpr double kGap = 16;
constexpr double kLegendRowHeight = 22;
constexpr double kLegendItemWidth = 78;
constexpr double kHeatHeight = 30;
constexpr double kPageMarginMm = 10;
constexpr double kMaxPageMm = 5000; // the largest page a true-scale chart is given
constexpr int kSmallestLegend = 5;
constexpr int kListedAtMost = 12;

const QString &fontFamily()
{
    static const QString family = QStringLiteral("DejaVu Sans");
    return family;
}

QFont legendFont(int pixelSize, bool bold = false)
{
    QFont font(fontFamily());
    font.setPixelSize(std::max(1, pixelSize));
    font.setBold(bold);
    // The same glyph widths on every device: the SVG, the PDF and the
    // printer place the text where the fitting measured it.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

// A legend to draw: a text fitted into a cell of the key, aligned in it.
struct TLegend {
    QRectF cell;      // the text's size is fitted to it and the text aligned in it
    QRectF room;      // where its ink must stay; empty: the cell
    int maxSize = 12;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    bool bold = false;
    int minSize = kSmallestLegend;
    // An accent mark: its ink (a spacing accent is a small glyph, high or
    // low in its line) is fitted to the cell and centred on it.
    bool mark = false;
};

// Whether text at size fits: its advance and its ink in the cell's width,
// its line (a mark: its ink) in the cell's height, its ink in the room's.
bool fits(const QString &text, const TLegend &l, const QRectF &room, int size)
{
    const QFontMetricsF fm(legendFont(size, l.bold));
    const QRectF ink = fm.tightBoundingRect(text);
    if (ink.width() > l.cell.width() || ink.height() > room.height())
        return false;
    if (l.mark)
        return ink.height() <= l.cell.height();
    return fm.horizontalAdvance(text) <= l.cell.width() && fm.ascent() * 0.92 <= l.cell.height();
}

// Draws a legend at the largest size from its maxSize down to its minSize
// that fits; a text too long even at minSize is cut, ending in "…". Letters
// stand on a common line (capitals fill the cell's height at the top,
// descenders may reach below it at the bottom); whatever the alignment, the
// ink stays in the room: an ogonek or a cedilla is lifted, never cut off or
// drawn over what lies below.
void drawLegend(QPainter &p, const QString &text, TLegend l)
{
    const QRectF &cell = l.cell;
    const QRectF room = l.room.isEmpty() ? cell : l.room;
    if (text.trimmed().isEmpty() || cell.width() <= 0 || cell.height() <= 0)
        return;
    const int minSize = std::min(l.minSize, l.maxSize);
    QString shown = text;
    int size = 0;
    for (int s = l.maxSize; s >= minSize && size == 0; --s)
        if (fits(shown, l, room, s))
            size = s;
    if (size == 0) {
        size = minSize;
        shown = QFontMetricsF(legendFont(size, l.bold)).elidedText(text, Qt::ElideRight, cell.width());
        if (shown.isEmpty())
            shown = text.left(1);
    }
    const QFont font = legendFont(size, l.bold);
    const QFontMetricsF fm(font);
    const QRectF ink = fm.tightBoundingRect(shown);
    const double w = l.mark ? ink.width() : fm.horizontalAdvance(shown);
    const double left = l.mark ? ink.left() : 0; // the ink's start, from the pen's
    double x = cell.left() - left;
    if (l.align & Qt::AlignRight)
        x = cell.right() - w - left;
    else if (l.align & Qt::AlignHCenter)
        x = cell.left() + (cell.width() - w) / 2 - left;
    const double capital = fm.capHeight() > 0 ? fm.capHeight() : fm.ascent() * 0.72;
    double y;
    if (l.mark)
        y = cell.center().y() - ink.center().y();
    else if (l.align & Qt::AlignTop)
        y = cell.top() + capital;
    else if (l.align & Qt::AlignBottom)
        y = cell.bottom() - std::min(fm.descent(), std::max(0.0, cell.height() - capital) / 2);
    else
        y = cell.center().y() + capital / 2;
    // The ink inside the room: first up from below, then down from above.
    const QRectF drawn = ink.translated(x, y);
    if (drawn.bottom() > room.bottom())
        y -= drawn.bottom() - room.bottom();
    if (ink.top() + y < room.top())
        y = room.top() - ink.top();
    if (drawn.right() > room.right())
        x -= drawn.right() - room.right();
    if (ink.left() + x < room.left())
        x = room.left() - ink.left();
    p.setFont(font);
    p.drawText(QPointF(x, y), shown);
}

// A legend of text fitted to cell and aligned in it, its ink kept in it.
void drawLegend(QPainter &p, const QString &text, const QRectF &cell, int maxSize, Qt::Alignment align,
                bool bold = false, int minSize = kSmallestLegend)
{
    TLegend l;
    l.cell = cell;
    l.maxSize = maxSize;
    l.align = align;
    l.bold = bold;
    l.minSize = minSize;
    drawLegend(p, text, l);
}

// The AltGr legends: a red that reads on the face, light on dark faces.
QColor thirdOn(const QColor &face)
{
    return TKeyboardChart::LegendColour(face) == QColor(Qt::white) ? QColor(255, 190, 190) : QColor(0x90, 0, 0);
}

// A colour's relative luminance, 0 (black) to 1 (white).
double luminance(const QColor &c)
{
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

QString quoted(const QString &name)
{
    return QStringLiteral("\"%1\"").arg(name);
}

QString listed(const QStringList &items)
{
    QStringList shown = items.mid(0, kListedAtMost);
    QString text = shown.join(QStringLiteral(", "));
    if (items.size() > kListedAtMost)
        text += TranslateQ(" and %1 more").arg(items.size() - kListedAtMost);
    return text;
}

bool hasSize(const TLayoutKey &k)
{
    return k.Width > 0 && k.Height > 0;
}

QRectF keyRect(const TLayoutKey &k)
{
    return QRectF(k.X, k.Y, k.Width, k.Height);
}

QPageSize pageSize(TChartPaper paper)
{
    return QPageSize(paper == TChartPaper::Letter ? QPageSize::Letter : QPageSize::A4);
}

} // namespace

struct TKeyboardChart::TGeometry {
    QSizeF size;
    QString title;
    QRectF titleRect;
    QPointF keyOffset; // added to a key's X and Y
    QRectF keyboard;
    bool fingerLegend = false;
    int legendColumns = 10;
    QRectF legendRect;
    bool heatLegend = false;
    QRectF heatRect;
};

TKeyboardChart::TKeyboardChart(TKeyLayout layout, const CodePage &cp, std::vector<QImage> pictures,
                               QString defaultTitle)
    : m_layout(std::move(layout)), m_cp(&cp), m_pictures(std::move(pictures)),
      m_defaultTitle(std::move(defaultTitle))
{
    m_pictures.resize(m_layout.Keys.size());
}

TKeyboardChart TKeyboardChart::FromDataMod(const TDataMod &dm, const CodePage &cp)
{
    TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    std::vector<QImage> pictures(layout.Keys.size());
    const TRecordTable &keys = dm.MainTbl;
    const int fGlyph = keys.Active() ? keys.FindFieldIndex("Glyph") : -1;
    if (fGlyph >= 0)
        for (int i = 0; i < int(pictures.size()) && i < keys.RecordCount(); ++i) {
            const TValue glyph = keys.FieldValueAt(i, fGlyph);
            if (!glyph.IsNull())
                pictures[size_t(i)] = GlyphToImageOrNull(glyph.bytes());
        }
    const QString author = dm.TypedAuthor ? *dm.TypedAuthor : cp.decode(dm.Author);
    QString info = dm.TypedInfo ? *dm.TypedInfo : cp.decode(dm.misc);
    info = info.simplified(); // one line
    QStringList parts;
    for (const QString &part : {author.simplified(), info})
        if (!part.isEmpty())
            parts << part;
    return TKeyboardChart(std::move(layout), cp, std::move(pictures), parts.join(QStringLiteral(" \u2014 ")));
}

QString TKeyboardChart::character(uint8_t code) const
{
    return QString(QChar(m_cp->toUnicode(code)));
}

TKeyboardChart::TKeyLegends TKeyboardChart::Legends(int key) const
{
    TKeyLegends legends;
    if (key < 0 || size_t(key) >= m_layout.Keys.size())
        return legends;
    const TLayoutKey &k = m_layout.Keys[size_t(key)];
    const QString name = m_cp->decode(k.Name);
    auto at = [&](TKeyLevel level) {
        const uint8_t code = m_layout.CharAt(key, level);
        return code == 0 ? QString() : character(code);
    };
    if (KeyTypes::IsAccent(k.Type)) {
        legends.Plain = AccentMark(k.Type);
        legends.PlainDead = true;
        if (KeyTypes::IsAccent(k.Type2) && k.Type2 != k.Type) {
            legends.Shift = AccentMark(k.Type2);
            legends.ShiftDead = true;
        } else if (KeyTypes::IsCharType(k.Type2)) {
            legends.Shift = at(TKeyLevel::Shift); // a character under Shift
        }
        return legends;
    }
    if (!KeyTypes::IsCharType(k.Type) || k.Type == KeyTypes::Space) {
        legends.Centre = name;
        if (legends.Centre.trimmed().isEmpty())
            for (const TNamedCode &n : KeyTypes::kKeyTypeNames)
                if (n.code == k.Type)
                    legends.Centre = QString::fromLatin1(n.caption);
        return legends;
    }
    legends.Plain = at(TKeyLevel::Plain);
    legends.Shift = at(TKeyLevel::Shift);
    if (KeyTypes::IsAccent(k.Type2)) {
        legends.AltGr = AccentMark(k.Type2);
        legends.AltGrDead = true;
    } else {
        legends.AltGr = at(TKeyLevel::AltGr);
        legends.ShiftAltGr = at(TKeyLevel::ShiftAltGr);
    }
    // A letter whose Shift character is its capital shows the capital once.
    if (legends.Plain.size() == 1 && legends.Plain.at(0).isLetter() && legends.Shift != legends.Plain
        && legends.Shift == legends.Plain.toUpper())
        legends.Plain.clear();
    if (legends.Plain.trimmed().isEmpty() && legends.Shift.trimmed().isEmpty() && legends.AltGr.trimmed().isEmpty()
        && legends.ShiftAltGr.trimmed().isEmpty()) {
        legends = TKeyLegends{};
        legends.Centre = name;
    }
    return legends;
}

QColor TKeyboardChart::FingerColour(int finger) const
{
    if (!Fingers::IsFinger(finger))
        finger = Fingers::LLittle;
    int32_t value = m_layout.FingerColors[size_t(finger)];
    if (value == 0)
        value = DefaultFingerColors()[size_t(finger)];
    return ColorValueToColor(uint32_t(value) & 0xFFFFFF);
}

QColor TKeyboardChart::HeatColour(double share)
{
    if (!(share >= 0)) // NaN too
        share = 0;
    share = std::min(1.0, share);
    // Pale yellow, orange, dark red.
    static const QColor stops[] = {QColor(255, 255, 204), QColor(254, 178, 76), QColor(240, 59, 32),
                                   QColor(128, 0, 38)};
    const double at = share * 3;
    const int i = std::min(2, int(at));
    const double t = at - i;
    const QColor &a = stops[i], &b = stops[i + 1];
    return QColor(int(std::lround(a.red() + (b.red() - a.red()) * t)),
                  int(std::lround(a.green() + (b.green() - a.green()) * t)),
                  int(std::lround(a.blue() + (b.blue() - a.blue()) * t)));
}

double TKeyboardChart::Contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor TKeyboardChart::LegendColour(const QColor &face)
{
    const QColor black(Qt::black), white(Qt::white);
    return Contrast(face, white) > Contrast(face, black) ? white : black;
}

QColor TKeyboardChart::KeyFace(int key, const TChartOptions &options) const
{
    if (!options.Heat.empty() && size_t(key) < options.Heat.size())
        return HeatColour(options.Heat[size_t(key)]);
    if (!options.FingerColours || key < 0 || size_t(key) >= m_layout.Keys.size())
        return QColor(0xF2, 0xF2, 0xF2);
    return FingerColour(m_layout.Keys[size_t(key)].Finger);
}

QString TKeyboardChart::title(const TChartOptions &options) const
{
    return options.Title.value_or(m_defaultTitle).simplified();
}

TKeyboardChart::TGeometry TKeyboardChart::geometry(const TChartOptions &options) const
{
    TGeometry g;
    QRectF keys;
    for (const TLayoutKey &k : m_layout.Keys)
        if (hasSize(k))
            keys |= keyRect(k);
    g.title = title(options);
    double y = kMargin;
    if (!g.title.isEmpty()) {
        g.titleRect = QRectF(kMargin, y, 0, kTitleHeight - 10);
        y += kTitleHeight;
    }
    g.keyOffset = QPointF(kMargin - keys.left(), y - keys.top());
    g.keyboard = keys.translated(g.keyOffset);
    y = g.keyboard.bottom();
    double width = keys.width();
    g.fingerLegend = options.FingerColours && options.Heat.empty();
    if (g.fingerLegend) {
        // One row of ten fingers, or the two hands one under the other.
        g.legendColumns = keys.width() >= 10 * kLegendItemWidth ? 10 : 5;
        const int rows = Fingers::kCount / g.legendColumns;
        g.legendRect = QRectF(kMargin, y + kGap, g.legendColumns * kLegendItemWidth, rows * kLegendRowHeight);
        y = g.legendRect.bottom();
        width = std::max(width, g.legendRect.width());
    }
    g.heatLegend = !options.Heat.empty();
    if (g.heatLegend) {
        g.heatRect = QRectF(kMargin, y + kGap, std::min(std::max(keys.width(), 240.0), 360.0), kHeatHeight);
        y = g.heatRect.bottom();
        width = std::max(width, g.heatRect.width());
    }
    g.size = QSizeF(std::ceil(width + 2 * kMargin), std::ceil(y + kMargin));
    if (!g.title.isEmpty())
        g.titleRect.setWidth(width);
    return g;
}

QSizeF TKeyboardChart::Size(const TChartOptions &options) const
{
    return geometry(options).size;
}

void TKeyboardChart::paintKey(QPainter &p, int key, const QRectF &r, const TChartOptions &options) const
{
    const QColor face = KeyFace(key, options);
    const QRectF cap = r.adjusted(1.5, 1.5, -1.5, -1.5);
    if (cap.width() <= 0 || cap.height() <= 0)
        return;
    const double radius = std::min({4.0, cap.width() / 6, cap.height() / 6});
    const QImage &picture = m_pictures[size_t(key)];
    if (options.Style == TChartStyle::Pictures && !picture.isNull()) {
        p.drawImage(r, picture);
        if (!options.Heat.empty()) {
            QColor heat = face;
            heat.setAlpha(150);
            p.setPen(Qt::NoPen);
            p.setBrush(heat);
            p.drawRect(r);
        }
        return;
    }
    p.setPen(QPen(face.darker(165), 1));
    p.setBrush(face);
    p.drawRoundedRect(cap, radius, radius);
    // The legends stay inside the key, above the finger band if it has one.
    QRectF area = cap.adjusted(3, 2.5, -3, -2.5);
    if (!options.Heat.empty() && options.FingerColours) {
        // The finger's colour as a band at the key's foot.
        const double band = std::min(4.0, cap.height() / 6);
        const QRectF bandRect(cap.left() + radius, cap.bottom() - band - 1, cap.width() - 2 * radius, band);
        p.setPen(Qt::NoPen);
        p.setBrush(FingerColour(m_layout.Keys[size_t(key)].Finger));
        p.drawRect(bandRect);
        area.setBottom(std::min(area.bottom(), bandRect.top() - 1));
    }
    if (area.height() <= 0)
        return;

    const TKeyLegends legends = Legends(key);
    const QColor text = LegendColour(face), third = thirdOn(face);
    const double side = std::min(r.width(), r.height());
    const int big = int(std::clamp(side * 0.34, 6.0, 20.0));
    const int small = std::max(kSmallestLegend, big * 4 / 5);
    p.setPen(text);
    p.setBrush(Qt::NoBrush);
    if (!legends.Centre.isEmpty()) {
        drawLegend(p, legends.Centre, area, std::min(big, 12), Qt::AlignCenter);
        return;
    }
    const double midX = area.left() + area.width() * 0.55;
    const double midY = area.top() + area.height() / 2;
    const QRectF upperLeft(area.left(), area.top(), midX - area.left(), midY - area.top() - 1);
    const QRectF lowerLeft(area.left(), midY + 1, midX - area.left(), area.bottom() - midY - 1);
    const QRectF upperRight(midX, area.top(), area.right() - midX, midY - area.top() - 1);
    const QRectF lowerRight(midX, midY + 1, area.right() - midX, area.bottom() - midY - 1);
    // A dead key's accent is drawn large (spacing accents are small glyphs),
    // its ink centred on its cell: a circumflex sits high in its line, a
    // cedilla below it.
    const int mark = std::max(big, int(side * 0.6));
    auto place = [&](const QString &s, bool dead, const QRectF &cell, int size, Qt::Alignment align) {
        TLegend l;
        l.cell = cell;
        l.maxSize = dead ? mark : size;
        l.align = align;
        l.mark = dead;
        drawLegend(p, s, l);
    };
    if (legends.Plain.isEmpty() && !legends.Shift.isEmpty() && !legends.ShiftDead) {
        // A letter: its capital alone, large; an ogonek or a cedilla below it
        // may reach into the empty lower half.
        TLegend l;
        l.cell = QRectF(area.left(), area.top(), midX - area.left(), area.height() * 0.62);
        l.room = QRectF(area.left(), area.top(), midX - area.left(), area.height());
        l.maxSize = big + 3;
        drawLegend(p, legends.Shift, l);
    } else {
        place(legends.Shift, legends.ShiftDead, upperLeft, big, Qt::AlignLeft | Qt::AlignTop);
        place(legends.Plain, legends.PlainDead, lowerLeft, big, Qt::AlignLeft | Qt::AlignBottom);
    }
    p.setPen(third);
    drawLegend(p, legends.ShiftAltGr, upperRight, small, Qt::AlignRight | Qt::AlignTop);
    place(legends.AltGr, legends.AltGrDead, lowerRight, small, Qt::AlignRight | Qt::AlignBottom);
    if (legends.Dead()) {
        // The corner mark: upper right, or lower right when the accent sits
        // in the upper right's row.
        p.setPen(text);
        const int markSize = std::max(kSmallestLegend, small * 3 / 4);
        const QString dead = TranslateQ("dead");
        if (legends.AltGrDead)
            drawLegend(p, dead, upperRight, markSize, Qt::AlignRight | Qt::AlignTop);
        else
            drawLegend(p, dead, lowerRight, markSize, Qt::AlignRight | Qt::AlignBottom);
    }
}

void TKeyboardChart::Paint(QPainter &p, const TChartOptions &options) const
{
    const TGeometry g = geometry(options);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!options.Transparent) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(QPointF(0, 0), g.size));
    }
    if (!g.title.isEmpty()) {
        p.setPen(Qt::black);
        drawLegend(p, g.title, g.titleRect, 18, Qt::AlignLeft | Qt::AlignVCenter, true, 12);
    }
    for (size_t i = 0; i < m_layout.Keys.size(); ++i) {
        const TLayoutKey &k = m_layout.Keys[i];
        if (hasSize(k))
            paintKey(p, int(i), keyRect(k).translated(g.keyOffset), options);
    }
    if (g.fingerLegend) {
        for (int f = 0; f < Fingers::kCount; ++f) {
            const int row = f / g.legendColumns, column = f % g.legendColumns;
            const QPointF at = g.legendRect.topLeft() + QPointF(column * kLegendItemWidth, row * kLegendRowHeight);
            const QRectF swatch(at.x(), at.y() + 3, 14, 14);
            const QColor colour = FingerColour(f);
            p.setPen(QPen(colour.darker(165), 1));
            p.setBrush(colour);
            p.drawRect(swatch);
            p.setPen(Qt::black);
            drawLegend(p, TranslateQ(Fingers::kNames[f].caption),
                       QRectF(swatch.right() + 5, swatch.top(), kLegendItemWidth - 24, swatch.height()), 11,
                       Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    if (g.heatLegend) {
        const QRectF bar(g.heatRect.left(), g.heatRect.top(), g.heatRect.width(), 12);
        QLinearGradient gradient(bar.topLeft(), bar.topRight());
        for (int i = 0; i <= 4; ++i)
            gradient.setColorAt(i / 4.0, HeatColour(i / 4.0));
        p.setPen(QPen(QColor(96, 96, 96), 1));
        p.setBrush(gradient);
        p.drawRect(bar);
        p.setPen(Qt::black);
        const QRectF labels(bar.left(), bar.bottom() + 2, bar.width(), g.heatRect.bottom() - bar.bottom() - 2);
        drawLegend(p, TranslateQ("little use"), labels, 11, Qt::AlignLeft | Qt::AlignVCenter);
        drawLegend(p, TranslateQ("much use"), labels, 11, Qt::AlignRight | Qt::AlignVCenter);
    }
    p.restore();
}

void TKeyboardChart::PaintFitted(QPainter &p, const QRectF &target, const TChartOptions &options) const
{
    const QSizeF size = Size(options);
    if (size.isEmpty() || target.isEmpty())
        return;
    const double scale = std::min(target.width() / size.width(), target.height() / size.height());
    p.save();
    p.translate(target.left() + (target.width() - size.width() * scale) / 2,
                target.top() + (target.height() - size.height() * scale) / 2);
    p.scale(scale, scale);
    Paint(p, options);
    p.restore();
}

void TKeyboardChart::Check(const TChartOptions &options, TChartFormat format) const
{
    if (m_layout.Keys.empty())
        throw EChartError(TranslateQ("The keyboard has no keys: there is nothing to draw.").toStdString());
    if (std::none_of(m_layout.Keys.begin(), m_layout.Keys.end(), hasSize))
        throw EChartError(
            TranslateQ("No key has a positive width and height: there is nothing to draw.").toStdString());
    if (!options.Heat.empty() && options.Heat.size() != m_layout.Keys.size())
        throw EChartError(TranslateQ("The colours by use are for %1 keys, the keyboard has %2.")
                              .arg(options.Heat.size())
                              .arg(m_layout.Keys.size())
                              .toStdString());
    if (format == TChartFormat::Pdf && options.TrueScale) {
        const QSizeF size = Size(options) * (kKeyUnitMm / kKeyUnitPixels);
        if (std::max(size.width(), size.height()) > kMaxPageMm)
            throw EChartError(TranslateQ("At true scale the chart would be %1 x %2 mm, too large for a page.")
                                  .arg(size.width(), 0, 'f', 0)
                                  .arg(size.height(), 0, 'f', 0)
                                  .toStdString());
    }
    if (format == TChartFormat::Png) {
        if (!(options.Scale > 0) || options.Scale > kMaxScale)
            throw EChartError(TranslateQ("The scale must be above 0 and at most %1, not %2.")
                                  .arg(kMaxScale)
                                  .arg(options.Scale)
                                  .toStdString());
        const QSizeF size = Size(options) * options.Scale;
        if (size.width() * size.height() > kMaxImagePixels)
            throw EChartError(TranslateQ("An image of %1 x %2 pixels is too large; choose a smaller scale.")
                                  .arg(std::ceil(size.width()))
                                  .arg(std::ceil(size.height()))
                                  .toStdString());
    }
}

QStringList TKeyboardChart::Warnings(const TChartOptions &options, TChartFormat format) const
{
    QStringList warnings;
    const std::vector<TLayoutKey> &keys = m_layout.Keys;
    auto nameOf = [&](size_t i) { return quoted(m_cp->decode(keys[i].Name)); };

    QStringList sizeless, overlaps, silent, unshown;
    for (size_t i = 0; i < keys.size(); ++i)
        if (!hasSize(keys[i]))
            sizeless << QStringLiteral("%1 (%2 x %3)").arg(nameOf(i)).arg(keys[i].Width).arg(keys[i].Height);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!hasSize(keys[i]))
            continue;
        const QRect a(keys[i].X, keys[i].Y, keys[i].Width, keys[i].Height);
        for (size_t j = i + 1; j < keys.size(); ++j)
            if (hasSize(keys[j]) && a.intersects(QRect(keys[j].X, keys[j].Y, keys[j].Width, keys[j].Height)))
                overlaps << QStringLiteral("%1 and %2").arg(nameOf(i), nameOf(j));
        const int32_t type = keys[i].Type;
        if ((type == KeyTypes::Alpha || type == KeyTypes::Num) && !KeyTypes::IsAccent(keys[i].Type2)) {
            bool types = false;
            for (int level = 0; level < kKeyLevelCount && !types; ++level)
                types = m_layout.CharAt(int(i), TKeyLevel(level)) != 0;
            if (!types)
                silent << nameOf(i);
        }
    }
    for (const TLayoutChar &c : m_layout.Chars)
        if (c.Key >= 0 && c.Accent == 0 && c.Code != 0 && !m_cp->defined(c.Code)
            && m_layout.CharAt(c.Key, LevelOf(c.Shift, c.AltGr)) == c.Code)
            unshown << QStringLiteral("%1 (byte %2)").arg(nameOf(size_t(c.Key))).arg(c.Code);
    if (!sizeless.isEmpty())
        warnings << TranslateQ("Keys without a positive width and height are left out: %1.").arg(listed(sizeless));
    if (!overlaps.isEmpty())
        warnings << TranslateQ("Keys overlap (drawn as they are): %1.").arg(listed(overlaps));
    if (!silent.isEmpty())
        warnings << TranslateQ("Character keys that type nothing (drawn empty): %1.").arg(listed(silent));
    if (!unshown.isEmpty())
        warnings << TranslateQ("Characters the code page %1 cannot show (drawn as \uFFFD): %2.")
                        .arg(QString::fromStdString(m_cp->name()), listed(unshown));
    if (format == TChartFormat::Pdf && options.TrueScale) {
        const QSizeF size = Size(options) * (kKeyUnitMm / kKeyUnitPixels);
        const QPageLayout page(pageSize(options.Paper), QPageLayout::Landscape,
                               QMarginsF(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm),
                               QPageLayout::Millimeter);
        const QRectF room = page.paintRect(QPageLayout::Millimeter);
        if (size.width() > room.width() || size.height() > room.height())
            warnings << TranslateQ("At true scale the chart is %1 x %2 mm, larger than %3 landscape: the page is "
                                   "made that size.")
                            .arg(size.width(), 0, 'f', 0)
                            .arg(size.height(), 0, 'f', 0)
                            .arg(options.Paper == TChartPaper::Letter ? QStringLiteral("Letter")
                                                                       : QStringLiteral("A4"));
    }
    return warnings;
}

QByteArray TKeyboardChart::Svg(const TChartOptions &options) const
{
    const QSizeF size = Size(options);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size.toSize());
    svg.setViewBox(QRectF(QPointF(0, 0), size));
    svg.setResolution(96);
    svg.setTitle(title(options).isEmpty() ? TranslateQ("Keyboard chart") : title(options));
    svg.setDescription(TranslateQ("Keyboard chart"));
    {
        QPainter p(&svg);
        Paint(p, options);
        if (!p.end())
            throw EChartError(TranslateQ("The SVG drawing could not be made.").toStdString());
    }
    return bytes;
}

QByteArray TKeyboardChart::Pdf(const TChartOptions &options) const
{
    const QSizeF size = Size(options);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setCreator(QStringLiteral("Keyfolio"));
    pdf.setTitle(title(options).isEmpty() ? TranslateQ("Keyboard chart") : title(options));
    const QMarginsF margins(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm);
    QPageLayout page(pageSize(options.Paper), QPageLayout::Landscape, margins, QPageLayout::Millimeter);
    const double mmPerPixel = kKeyUnitMm / kKeyUnitPixels;
    const QSizeF trueSize = size * mmPerPixel;
    if (options.TrueScale) {
        const QRectF room = page.paintRect(QPageLayout::Millimeter);
        if (trueSize.width() > room.width() || trueSize.height() > room.height())
            page = QPageLayout(QPageSize(trueSize.grownBy(margins), QPageSize::Millimeter, QString(),
                                         QPageSize::ExactMatch),
                               QPageLayout::Portrait, margins, QPageLayout::Millimeter);
    }
    pdf.setPageLayout(page);
    {
        QPainter p(&pdf);
        const QRectF room = pdf.pageLayout().paintRectPixels(pdf.resolution());
        const QRectF target(QPointF(0, 0), room.size());
        if (options.TrueScale) {
            const double scale = mmPerPixel / 25.4 * pdf.resolution();
            p.translate((target.width() - size.width() * scale) / 2, (target.height() - size.height() * scale) / 2);
            p.scale(scale, scale);
            Paint(p, options);
        } else {
            PaintFitted(p, target, options);
        }
        if (!p.end())
            throw EChartError(TranslateQ("The PDF page could not be made.").toStdString());
    }
    return bytes;
}

QImage TKeyboardChart::Image(const TChartOptions &options) const
{
    const QSizeF size = Size(options) * options.Scale;
    const int width = int(std::ceil(size.width())), height = int(std::ceil(size.height()));
    // Without a transparent background the picture has no alpha channel: a
    // smaller file, written faster.
    QImage image(width, height, options.Transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        throw EChartError(TranslateQ("There is not enough memory for a picture of %1 x %2 pixels; choose a "
                                     "smaller scale.")
                              .arg(width)
                              .arg(height)
                              .toStdString());
    image.fill(options.Transparent ? QColor(Qt::transparent) : QColor(Qt::white));
    const int dotsPerMeter = int(std::lround(96 / 0.0254 * options.Scale));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    {
        QPainter p(&image);
        p.scale(options.Scale, options.Scale);
        Paint(p, options);
    }
    return image;
}

QByteArray TKeyboardChart::Png(const TChartOptions &options) const
{
    const QImage image = Image(options);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Compression a little below zlib's default: much faster to write, a few
    // per cent larger.
    if (!image.save(&buffer, "PNG", 60) || bytes.isEmpty())
        throw EChartError(TranslateQ("The PNG picture of %1 x %2 pixels could not be written; choose a smaller "
                                     "scale.")
                              .arg(image.width())
                              .arg(image.height())
                              .toStdString());
    return bytes;
}

QByteArray TKeyboardChart::Render(TChartFormat format, const TChartOptions &options) const
{
    Check(options, format);
    switch (format) {
    case TChartFormat::Svg:
        return Svg(options);
    case TChartFormat::Pdf:
        return Pdf(options);
    case TChartFormat::Png:
        break;
    }
    return Png(options);
}

void TKeyboardChart::Export(const std::string &path, TChartFormat format, const TChartOptions &options) const
{
    QByteArray bytes;
    try {
        bytes = Render(format, options);
    } catch (const std::bad_alloc &) {
        throw EChartError(TranslateQ("There is not enough memory to draw the chart.").toStdString());
    }
    ReplacingFile::writeWhole(path, std::string_view(bytes.constData(), size_t(bytes.size())));
}

bool TKeyboardChart::FormatOfPath(const QString &path, TChartFormat &format)
{
    const QString lower = path.toLower();
    if (lower.endsWith(QStringLiteral(".svg")))
        format = TChartFormat::Svg;
    else if (lower.endsWith(QStringLiteral(".pdf")))
        format = TChartFormat::Pdf;
    else if (lower.endsWith(QStringLiteral(".png")))
        format = TChartFormat::Png;
    else
        return false;
    return true;
}

} // namespace kf
