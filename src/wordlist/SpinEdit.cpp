#include "wordlist/SpinEdit.h"
#include "common/IntegerText.h"

#include <QLineEdit>

#include <climits>

namespace kf {

TSpinEdit::TSpinEdit(QWidget *parent) : QAbstractSpinBox(parent)
{
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
    lineEdit()->setText(QStringLiteral("0"));
}

void TSpinEdit::SetRange(int min, int max)
{
    m_min = min;
    m_max = max;
}

int TSpinEdit::EnforcedMinimum() const
{
    return Bounded() ? m_min : INT_MIN;
}

int TSpinEdit::EnforcedMaximum() const
{
    return Bounded() ? m_max : INT_MAX;
}

int TSpinEdit::Value() const
{
    int32_t v = 0;
    return ParseIntegerText(text(), v) ? v : 0;
}

void TSpinEdit::SetValue(int value)
{
    lineEdit()->setText(QString::number(value));
}

int TSpinEdit::clamped(long long value) const
{
    const long long lo = EnforcedMinimum(), hi = EnforcedMaximum();
    return int(value < lo ? lo : value > hi ? hi : value);
}

void TSpinEdit::stepBy(int steps)
{
    SetValue(clamped((long long)Value() + steps));
    selectAll();
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    const int v = Value();
    StepEnabled e = StepNone;
    if (!Bounded() || v < m_max)
        e |= StepUpEnabled;
    if (!Bounded() || v > m_min)
        e |= StepDownEnabled;
    return e;
}

QValidator::State TSpinEdit::validate(QString &input, int &) const
{
    for (const QChar c : input)
        if (!c.isDigit() && c != QLatin1Char('-') && c != QLatin1Char('+'))
            return QValidator::Invalid;
    // Any mix of digits and signs may stand while the user types; it is read
    // as a number (0 if it is none) when the value is needed.
    return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString &) const {}

void TSpinEdit::focusOutEvent(QFocusEvent *event)
{
    if (Bounded()) {
        const int v = Value();
        const int c = clamped(v);
        if (c != v || text() != QString::number(v))
            SetValue(c);
    }
    QAbstractSpinBox::focusOutEvent(event);
}

} // namespace kf
