#include "keyboard/StatsPicture.h"

#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "common/Translation.h"
#include "exchange/KeyboardChart.h"
#include "keyboard/KbStatsForm.h"
#include "model/KeyCodes.h"

#include <QPainter>

#include <algorithm>

namespace kf {

namespace {

QString percent(double share)
{
    return QStringLiteral("%1 %").arg(share * 100.0, 0, 'f', 1);
}

QColor fingerColor(const TKeyLayout &layout, int finger)
{
    const int32_t c = layout.FingerColors[size_t(finger)];
    return c ? ColorValueToColor(uint32_t(c)) : QColor(Fingers::IsLeftHand(finger) ? 0x9fc5e8 : 0xf6b26b);
}

} // namespace

QString TStatsPicture::scaleText(const TKeyStrokeFigures &a)
{
    return TranslateQ("Keys by use: from no presses to %1 presses of the busiest key").arg(a.MostKeyPresses());
}

TStatsPicture::TStatsPicture(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatsPicture"));
    setAccessibleName(TranslateQ("Pictures of the figures"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(480, 360);
}

void TStatsPicture::SetFigures(const TKeyLayout &layout, const TKeyStrokeFigures &a, const TKeyStrokeFigures *b)
{
    m_layout = layout;
    m_a = a;
    if (b)
        m_b = *b;
    else
        m_b.reset();
    // What the pictures show, for assistive technology.
    QStringList parts;
    for (int f = 0; f < Fingers::kCount; ++f) {
        QString part = TranslateQ(Fingers::kNames[f].caption) + QStringLiteral(" ") + percent(a.FingerShare(f));
        if (b)
            part += QStringLiteral(" / ") + percent(b->FingerShare(f));
        parts << part;
    }
    parts << TranslateQ("Left hand") + QStringLiteral(" ") + percent(a.HandShare(0));
    parts << TranslateQ("Right hand") + QStringLiteral(" ") + percent(a.HandShare(1));
    for (size_t r = 0; r < a.Rows.size(); ++r)
        parts << QString::fromStdString(a.Rows[r].Name) + QStringLiteral(" ") + percent(a.RowShare(r));
    parts << scaleText(a);
    setAccessibleDescription(parts.join(QStringLiteral("; ")));
    update();
}

void TStatsPicture::Clear()
{
    m_layout.reset();
    m_a.reset();
    m_b.reset();
    setAccessibleDescription(QString());
    update();
}

void TStatsPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    if (!m_a || !m_layout) {
        p.drawText(rect(), Qt::AlignCenter, TranslateQ("Count texts to see the pictures."));
        return;
    }
    const TKeyStrokeFigures &a = *m_a;
    const QFontMetrics fm(font());
    const int line = fm.height();
    const int w = width(), h = height();
    const int margin = 8;

    // Fingers: the upper left part.
    const QRect fingers(margin, margin + line, w / 2 - 2 * margin, h / 2 - 2 * margin - 2 * line);
    p.setPen(palette().text().color());
    p.drawText(margin, margin + fm.ascent(), TranslateQ("Fingers (%)"));
    double most = 0.0;
    for (int f = 0; f < Fingers::kCount; ++f) {
        most = std::max(most, a.FingerShare(f));
        if (m_b)
            most = std::max(most, m_b->FingerShare(f));
    }
    const int slot = fingers.width() / Fingers::kCount;
    for (int f = 0; f < Fingers::kCount; ++f) {
        const int x = fingers.left() + f * slot;
        const auto bar = [&](double share, int bx, int bw, Qt::BrushStyle style) {
            const int bh = most > 0 ? int(share / most * (fingers.height() - 2 * line)) : 0;
            const QRect r(bx, fingers.bottom() - line - bh, bw, bh);
            p.fillRect(r, QBrush(fingerColor(*m_layout, f), style));
            p.setPen(palette().text().color());
            p.drawRect(r);
        };
        if (m_b) {
            bar(a.FingerShare(f), x + 2, slot / 2 - 2, Qt::SolidPattern);
            bar(m_b->FingerShare(f), x + slot / 2, slot / 2 - 2, Qt::BDiagPattern);
        } else {
            bar(a.FingerShare(f), x + 2, slot - 4, Qt::SolidPattern);
        }
        // The bar's value above it (both keyboards' with a second one),
        // in a smaller type when the slot is narrow.
        QFont small = font();
        small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.8));
        p.save();
        p.setFont(small);
        p.setPen(palette().text().color());
        const auto value = [&](double share, int bx, int bw) {
            const int bh = most > 0 ? int(share / most * (fingers.height() - 2 * line)) : 0;
            const QRect r(bx - 4, fingers.bottom() - line - bh - line, bw + 8, line);
            p.drawText(r, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("%1").arg(share * 100.0, 0, 'f', 1));
        };
        if (m_b) {
            value(a.FingerShare(f), x + 2, slot / 2 - 2);
            value(m_b->FingerShare(f), x + slot / 2, slot / 2 - 2);
        } else {
            value(a.FingerShare(f), x + 2, slot - 4);
        }
        p.restore();
        p.drawText(QRect(x, fingers.bottom() - line, slot, line), Qt::AlignCenter,
                   QString::fromLatin1(Fingers::kNames[f].name).mid(1, 2));
    }

    // Hands and rows: the upper right part, as horizontal bars.
    int y = margin;
    const int left = w / 2 + margin, barWidth = w / 2 - 2 * margin;
    // With a second keyboard, its bar (hatched) below the first one's.
    const auto hbar = [&](const QString &caption, double share, std::optional<double> second, const QColor &color) {
        p.setPen(palette().text().color());
        QString text = caption + QStringLiteral("  ") + percent(share);
        if (second)
            text += QStringLiteral(" / ") + percent(*second);
        p.drawText(left, y + fm.ascent(), text);
        y += line;
        const int bh = line / 2 + 2;
        p.fillRect(QRect(left, y, int(share * barWidth), bh), color);
        p.drawRect(QRect(left, y, barWidth, bh));
        if (second) {
            p.fillRect(QRect(left, y + bh, int(*second * barWidth), bh), QBrush(color, Qt::BDiagPattern));
            p.drawRect(QRect(left, y + bh, barWidth, bh));
            y += bh;
        }
        y += line;
    };
    const auto ofB = [&](auto get) -> std::optional<double> {
        if (m_b)
            return get(*m_b);
        return std::nullopt;
    };
    hbar(TranslateQ("Left hand"), a.HandShare(0), ofB([](const TKeyStrokeFigures &f) { return f.HandShare(0); }),
         QColor(0x9fc5e8));
    hbar(TranslateQ("Right hand"), a.HandShare(1), ofB([](const TKeyStrokeFigures &f) { return f.HandShare(1); }),
         QColor(0xf6b26b));
    for (size_t r = 0; r < a.Rows.size() && y < h / 2; ++r) {
        const std::string &name = a.Rows[r].Name;
        hbar(QString::fromStdString(name), a.RowShare(r), ofB([&name](const TKeyStrokeFigures &f) {
                 for (size_t i = 0; i < f.Rows.size(); ++i)
                     if (f.Rows[i].Name == name)
                         return f.RowShare(i);
                 return 0.0;
             }),
             a.Rows[r].Home ? QColor(0x93c47d) : QColor(0xb7b7b7));
    }

    // The keyboard coloured by use: the lower half.
    const QRect area(margin, h / 2 + line, w - 2 * margin, h / 2 - 2 * line - margin);
    p.setPen(palette().text().color());
    p.drawText(margin, h / 2 + fm.ascent(), TranslateQ("Keys by use"));
    // The scale: the colours from no presses to the busiest key's.
    {
        const QString none = QStringLiteral("0");
        const QString busiest = TranslateQ("%1 presses").arg(a.MostKeyPresses());
        const int scaleY = h - margin - line + 2;
        const int scaleLeft = margin + fm.horizontalAdvance(none) + 6;
        const int right = w - margin - fm.horizontalAdvance(busiest) - 6;
        p.drawText(margin, scaleY + fm.ascent() - 2, none);
        p.drawText(right + 6, scaleY + fm.ascent() - 2, busiest);
        const int steps = std::max(1, (right - scaleLeft) / 4);
        for (int i = 0; i < steps; ++i) {
            const int x0 = scaleLeft + (right - scaleLeft) * i / steps, x1 = scaleLeft + (right - scaleLeft) * (i + 1) / steps;
            p.fillRect(QRect(x0, scaleY, x1 - x0, line - 4), KeyUseColor(double(i) / std::max(1, steps - 1)));
        }
        p.setPen(QColor(0x606060));
        p.drawRect(QRect(scaleLeft, scaleY, right - scaleLeft, line - 4));
    }
    int maxX = 1, maxY = 1;
    for (const TLayoutKey &k : m_layout->Keys) {
        maxX = std::max(maxX, k.X + k.Width);
        maxY = std::max(maxY, k.Y + k.Height);
    }
    const double scale = std::min(double(area.width()) / maxX, double(area.height()) / maxY);
    const std::vector<double> use = a.KeyUse();
    const CodePage &codePage = CodePage::current();
    for (size_t k = 0; k < m_layout->Keys.size(); ++k) {
        const TLayoutKey &key = m_layout->Keys[k];
        if (key.Width <= 0 || key.Height <= 0)
            continue;
        const QRectF r(area.left() + key.X * scale, area.top() + key.Y * scale, key.Width * scale - 1,
                       key.Height * scale - 1);
        const QColor face = KeyUseColor(k < use.size() ? use[k] : 0.0);
        p.fillRect(r, face);
        p.setPen(QColor(0x606060));
        p.drawRect(r);
        // The key's name in black or white, whichever reads on its colour.
        p.setPen(TKeyboardChart::LegendColour(face));
        p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, codePage.decode(key.Name));
    }
}

} // namespace kf
