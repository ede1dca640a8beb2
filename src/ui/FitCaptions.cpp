#include "ui/FitCaptions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace kf {

namespace {

constexpr qreal kSmallestPoints = 6;
constexpr int kSmallestPixels = 8; // for a font sized in pixels
// What a push button's frame and bevel take beside its text.
constexpr int kButtonMargin = 6;

// The width the widget needs for its whole text in its present font; 0 when
// it is none of the kinds fitted.
int neededWidth(const QWidget *w)
{
    if (const auto *l = qobject_cast<const QLabel *>(w)) {
        if (l->wordWrap() || l->text().isEmpty() || !l->pixmap().isNull()
            || !l->accessibleDescription().isEmpty())
            return 0;
        const QFontMetrics m = l->fontMetrics();
        return l->sizeHint().width() - m.horizontalAdvance(l->text()) + m.horizontalAdvance(l->text().trimmed());
    }
    if (const auto *b = qobject_cast<const QPushButton *>(w)) {
        if (b->text().isEmpty())
            return 0;
        return b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + kButtonMargin;
    }
    if (qobject_cast<const QCheckBox *>(w) || qobject_cast<const QRadioButton *>(w))
        return w->sizeHint().width();
    return 0;
}

} // namespace

void FitCaptions(QWidget *window)
{
    for (QWidget *w : window->findChildren<QWidget *>()) {
        QFont f = w->font();
        const bool inPixels = f.pointSizeF() <= 0;
        while (neededWidth(w) > w->width()) {
            if (inPixels) {
                if (f.pixelSize() <= kSmallestPixels)
                    break;
                f.setPixelSize(f.pixelSize() - 1);
            } else {
                if (f.pointSizeF() <= kSmallestPoints)
                    break;
                f.setPointSizeF(f.pointSizeF() - 0.5);
            }
            w->setFont(f);
        }
    }
}

} // namespace kf
