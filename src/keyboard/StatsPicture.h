#pragma once
// The keystroke figures drawn to be read at a glance: a bar per finger in
// the finger colours with its share in per cent above it (the second
// keyboard's bar beside it, hatched), the two hands, the rows, and the
// keyboard with each key coloured by its use under a scale of those colours.
// Assistive technology reads the same figures as the widget's description.

#include "model/KeyLayout.h"
#include "model/KeyStrokeStats.h"

#include <QWidget>

#include <optional>

namespace kf {

class TStatsPicture : public QWidget {
    Q_OBJECT
public:
    explicit TStatsPicture(QWidget *parent = nullptr);

    // b: the second keyboard's figures, or null.
    void SetFigures(const TKeyLayout &layout, const TKeyStrokeFigures &a, const TKeyStrokeFigures *b);
    void Clear();

    QSize sizeHint() const override { return {640, 420}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // What the scale of the keys' colours spans, in words.
    static QString scaleText(const TKeyStrokeFigures &a);

    std::optional<TKeyLayout> m_layout;
    std::optional<TKeyStrokeFigures> m_a, m_b;
};

} // namespace kf
