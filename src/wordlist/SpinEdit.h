#pragma once
// A whole-number spin field that, unlike QSpinBox, lets any typed number stand
// until the field loses the focus: only then is a bounded field brought into
// its range. Typed keys are limited to digits and signs; a text that is not a
// number reads as 0.

#include <QAbstractSpinBox>

namespace kf {

class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
    Q_PROPERTY(int value READ Value WRITE SetValue USER true)
    // The range the field enforces, as assistive technology reads it.
    Q_PROPERTY(int minimum READ EnforcedMinimum)
    Q_PROPERTY(int maximum READ EnforcedMaximum)
public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    // Bounds; with min == max the field has none (the default).
    void SetRange(int min, int max);
    int MinValue() const { return m_min; }
    int MaxValue() const { return m_max; }
    bool Bounded() const { return m_min != m_max; }
    // The values the field can end with: its bounds, or every 32-bit integer
    // when it has none.
    int EnforcedMinimum() const;
    int EnforcedMaximum() const;

    // The number shown as it stands (not yet clamped); 0 for a non-number.
    int Value() const;
    void SetValue(int value);

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int clamped(long long value) const;

    int m_min = 0;
    int m_max = 0;
};

} // namespace kf
