#include "define/RxSlider.h"

#include "common/ColorValue.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>

namespace kf {

namespace {

constexpr int kMin = 0;
constexpr int kMax = 100;
constexpr uint32_t kInitialColor = 9502719; // light yellow: red 255, green 255, blue 144

// Geometry of the drawn control.
constexpr int kFrame = 2;        // room for the focus frame
constexpr int kThumbHeight = 11;
constexpr int kThumbInset = 7;   // left/right room beside the thumb for the tick marks
constexpr int kGrooveWidth = 4;

// What assistive technology sees: a slider with a value.
class AccessibleRxSlider : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleRxSlider(TRxSlider *slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(slider()->value());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return slider()->value(); }
    void setCurrentValue(const QVariant &value) override { slider()->setValue(value.toInt()); }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return slider()->singleStep(); }

private:
    TRxSlider *slider() const { return static_cast<TRxSlider *>(widget()); }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(TRxSlider::staticMetaObject.className()) && object
        && object->isWidgetType())
        return new AccessibleRxSlider(static_cast<TRxSlider *>(object));
    return nullptr;
}

void installAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    (void)installed;
}

} // namespace

TRxSlider::TRxSlider(QWidget *parent) : QAbstractSlider(parent), m_color(kInitialColor)
{
    installAccessibleFactory();
    setOrientation(Qt::Vertical);
    setRange(kMin, kMax);
    setSingleStep(kStep);
    setPageStep(kStep);
    setTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_repeat.setInterval(kRepeatInterval);
    connect(&m_repeat, &QTimer::timeout, this, &TRxSlider::repeatStep);
}

void TRxSlider::setColor(uint32_t value)
{
    if (value == m_color)
        return;
    m_color = value;
    update();
}

int TRxSlider::steppedValue(int value, int direction)
{
    // Round half up is never needed: a whole number is at most 2 from its
    // nearest multiple of 5.
    const int rounded = static_cast<int>(std::lround(value / double(kStep))) * kStep;
    const int moved = rounded + (direction > 0 ? kStep : direction < 0 ? -kStep : 0);
    return std::clamp(moved, kMin, kMax);
}

int TRxSlider::trackTop() const
{
    return kFrame + kThumbHeight / 2;
}

int TRxSlider::trackBottom() const
{
    return height() - 1 - kFrame - (kThumbHeight - kThumbHeight / 2);
}

int TRxSlider::thumbCentreY(int value) const
{
    const int span = std::max(1, trackBottom() - trackTop());
    return trackBottom() - static_cast<int>(std::lround(double(value - minimum()) * span
                                                        / std::max(1, maximum() - minimum())));
}

int TRxSlider::valueAtY(int y) const
{
    const int span = std::max(1, trackBottom() - trackTop());
    const double v = double(trackBottom() - y) * (maximum() - minimum()) / span + minimum();
    return std::clamp(static_cast<int>(std::lround(v)), minimum(), maximum());
}

QRect TRxSlider::thumbRect() const
{
    const int centre = thumbCentreY(sliderPosition());
    return QRect(kThumbInset, centre - kThumbHeight / 2, width() - 2 * kThumbInset, kThumbHeight);
}

void TRxSlider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor back = ColorValueToColor(m_color);
    p.fillRect(rect(), back);

    // A contrasting ink for the marks and the focus frame.
    const QColor ink = back.lightness() < 110 ? QColor(Qt::white) : QColor(Qt::black);

    // The groove along the middle.
    const int cx = width() / 2;
    const QRect groove(cx - kGrooveWidth / 2, trackTop() - 1, kGrooveWidth,
                       trackBottom() - trackTop() + 3);
    qDrawShadePanel(&p, groove, palette(), true, 1);

    // Marks on both sides at every step; longer ones at the ends and the middle.
    p.setPen(ink);
    for (int v = minimum(); v <= maximum(); v += kStep) {
        const int y = thumbCentreY(v);
        const int len = (v == minimum() || v == maximum() || v == (minimum() + maximum()) / 2) ? 4 : 2;
        p.drawLine(kThumbInset - 1 - len, y, kThumbInset - 2, y);
        p.drawLine(width() - kThumbInset + 1, y, width() - kThumbInset + len, y);
    }

    // The thumb: a raised button with a notch across its middle.
    const QRect thumb = thumbRect();
    qDrawWinButton(&p, thumb, palette(), isSliderDown(), &palette().brush(QPalette::Button));
    const int my = thumb.center().y();
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(thumb.left() + 3, my, thumb.right() - 3, my);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(thumb.left() + 3, my + 1, thumb.right() - 3, my + 1);

    if (hasFocus()) {
        QPen pen(ink, 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TRxSlider::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        setValue(steppedValue(value(), +1));
        break;
    case Qt::Key_Down:
        setValue(steppedValue(value(), -1));
        break;
    case Qt::Key_Home:
        setValue(kMin);
        break;
    case Qt::Key_End:
        setValue(kMax);
        break;
    default:
        // Tab, Esc and the rest go on to the window.
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TRxSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        stopTracking();
        emit colorRequested();
        return;
    }
    if (event->button() != Qt::LeftButton || m_press != Press::None) {
        event->ignore();
        return;
    }
    event->accept();
    const QPoint pos = event->position().toPoint();
    m_pointer = pos;
    const QRect thumb = thumbRect();
    if (pos.y() >= thumb.top() && pos.y() <= thumb.bottom()) {
        m_press = Press::Drag;
        m_dragOffset = pos.y() - thumbCentreY(value());
        setSliderDown(true);
        update();
        return;
    }
    m_press = pos.y() < thumb.top() ? Press::StepUp : Press::StepDown;
    setValue(steppedValue(value(), m_press == Press::StepUp ? +1 : -1));
    m_repeat.start();
}

void TRxSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (m_press == Press::None) {
        event->ignore();
        return;
    }
    event->accept();
    m_pointer = event->position().toPoint();
    if (m_press == Press::Drag)
        setSliderPosition(valueAtY(m_pointer.y() - m_dragOffset));
}

void TRxSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept(); // the press has done its work
        return;
    }
    if (event->button() != Qt::LeftButton || m_press == Press::None) {
        event->ignore();
        return;
    }
    event->accept();
    m_pointer = event->position().toPoint();
    if (m_press == Press::Drag)
        setSliderPosition(valueAtY(m_pointer.y() - m_dragOffset));
    stopTracking();
}

void TRxSlider::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is no command of its own (the press before it has
    // already done its work).
    event->accept();
}

void TRxSlider::wheelEvent(QWheelEvent *event)
{
    // The wheel does not move a finger's length.
    event->ignore();
}

void TRxSlider::focusOutEvent(QFocusEvent *event)
{
    stopTracking();
    QAbstractSlider::focusOutEvent(event);
}

void TRxSlider::hideEvent(QHideEvent *event)
{
    stopTracking();
    QAbstractSlider::hideEvent(event);
}

void TRxSlider::repeatStep()
{
    if (m_press != Press::StepUp && m_press != Press::StepDown) {
        m_repeat.stop();
        return;
    }
    // Steps only while the pointer stays on the side of the thumb it was pressed on.
    const QRect thumb = thumbRect();
    if (m_press == Press::StepUp && m_pointer.y() < thumb.top())
        setValue(steppedValue(value(), +1));
    else if (m_press == Press::StepDown && m_pointer.y() > thumb.bottom())
        setValue(steppedValue(value(), -1));
}

void TRxSlider::stopTracking()
{
    m_repeat.stop();
    const bool wasDrag = m_press == Press::Drag;
    m_press = Press::None;
    if (wasDrag) {
        setSliderDown(false);
        update();
    }
}

} // namespace kf
