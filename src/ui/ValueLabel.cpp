#include "ui/ValueLabel.h"

#include <QLabel>

namespace kf {

void SetupValueLabel(QLabel *label, const QString &what)
{
    // An accessible name would stand in for the text: leave it unset, so the
    // name follows every value the label shows.
    label->setAccessibleName(QString());
    label->setAccessibleDescription(what);
    // The value is plain text, never markup read as something else.
    label->setTextFormat(Qt::PlainText);
}

} // namespace kf
