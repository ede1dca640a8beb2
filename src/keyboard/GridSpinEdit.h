#pragma once
// A spin edit whose buttons stay within 0..15 while a typed value outside the
// range is kept until the edit loses the focus, when it is set back into it.
// It takes digits, signs and the decimal separator of its locale; its value
// is its text read as a decimal integer, MinValue when the text is not one.

#include <QSpinBox>

namespace kf {

class TGridSpinEdit : public QSpinBox {
    Q_OBJECT
    // The range the edit enforces (MinValue..MaxValue), as assistive
    // technology reads it; QSpinBox's own range is wider so that a typed value
    // can stand until the focus goes.
    Q_PROPERTY(int minimum READ EnforcedMinimum)
    Q_PROPERTY(int maximum READ EnforcedMaximum)
public:
    explicit TGridSpinEdit(QWidget *parent = nullptr);
    int MinValue = 0;
    int MaxValue = 15;
    int EnforcedMinimum() const { return MinValue; }
    int EnforcedMaximum() const { return MaxValue; }
    void stepBy(int steps) override;
    // The value a text stands for: a decimal integer, else MinValue.
    int ValueOfText(const QString &text) const;

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    int valueFromText(const QString &text) const override;
    void focusOutEvent(QFocusEvent *event) override;
    StepEnabled stepEnabled() const override;
};

} // namespace kf
