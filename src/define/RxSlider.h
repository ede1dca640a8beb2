#pragma once
// A vertical slider for one finger: a whole value from 0 (bottom) to 100
// (top), moved in steps of 5 by the keys and by presses on the track, freely
// by dragging the thumb. Its track is painted in the finger's colour; a press
// of the right mouse button asks for a new colour (colorRequested).

#include <QAbstractSlider>
#include <QPoint>
#include <QTimer>
#include <cstdint>

namespace kf {

class TRxSlider : public QAbstractSlider {
    Q_OBJECT
public:
    static constexpr int kStep = 5;
    // Interval of the repeated step while the left button is held on the track.
    static constexpr int kRepeatInterval = 400;

    explicit TRxSlider(QWidget *parent = nullptr);

    // The track's colour, a colour value (red in bits 0..7). The value is kept
    // as given; only its low 24 bits are painted.
    uint32_t color() const { return m_color; }
    void setColor(uint32_t value);

    // value rounded to the nearest multiple of kStep, moved one step up
    // (direction > 0) or down (direction < 0), held within 0..100.
    static int steppedValue(int value, int direction);

    // The thumb's rectangle in widget coordinates (for hit-testing and tests).
    QRect thumbRect() const;
    // The whole value whose thumb centre lies nearest to y.
    int valueAtY(int y) const;

    // The timer that repeats the step while the left button is held on the
    // track; exposed so tests can drive it without waiting.
    QTimer &repeatTimer() { return m_repeat; }

signals:
    // The right mouse button was pressed on the slider.
    void colorRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void repeatStep();
    void stopTracking();
    // Vertical extent of the thumb centre: value 100 at trackTop, 0 at trackBottom.
    int trackTop() const;
    int trackBottom() const;
    int thumbCentreY(int value) const;

    enum class Press { None, Drag, StepUp, StepDown };

    uint32_t m_color;
    Press m_press = Press::None;
    int m_dragOffset = 0;  // pointer y minus thumb centre y when a drag started
    QPoint m_pointer;      // last pointer position while the left button is down
    QTimer m_repeat;
};

} // namespace kf
