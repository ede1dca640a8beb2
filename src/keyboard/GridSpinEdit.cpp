#include "keyboard/GridSpinEdit.h"
#include "common/IntegerText.h"

#include <QLineEdit>

#include <algorithm>

namespace kf {

TGridSpinEdit::TGridSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    // Typed values may leave the range until the focus goes.
    setRange(-999999, 999999);
    setValue(0);
    setAccelerated(false);
}

int TGridSpinEdit::ValueOfText(const QString &text) const
{
    int32_t v = 0;
    return ParseIntegerText(text, v) ? v : MinValue;
}

QValidator::State TGridSpinEdit::validate(QString &input, int &) const
{
    const QString decimalPoint = locale().decimalPoint();
    for (const QChar c : input) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digit && c != QLatin1Char('+') && c != QLatin1Char('-') && !decimalPoint.contains(c))
            return QValidator::Invalid;
    }
    // Every such text stands for a value (a non-number for MinValue), so the
    // value follows each keystroke.
    return QValidator::Acceptable;
}

int TGridSpinEdit::valueFromText(const QString &text) const
{
    return ValueOfText(text);
}

void TGridSpinEdit::stepBy(int steps)
{
    setValue(std::clamp(value() + steps, MinValue, MaxValue));
    selectAll();
}

QAbstractSpinBox::StepEnabled TGridSpinEdit::stepEnabled() const
{
    StepEnabled e = StepNone;
    if (value() < MaxValue)
        e |= StepUpEnabled;
    if (value() > MinValue)
        e |= StepDownEnabled;
    return e;
}

void TGridSpinEdit::focusOutEvent(QFocusEvent *event)
{
    QSpinBox::focusOutEvent(event);
    int32_t typed = 0;
    const bool ok = ParseIntegerText(lineEdit()->text(), typed);
    const int v = ok ? typed : MinValue;
    if (!ok || v < MinValue || v > MaxValue)
        setValue(std::clamp(v, MinValue, MaxValue));
}

} // namespace kf
