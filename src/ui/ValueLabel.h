#pragma once
// A label that shows a value (a count, a file name, the keyboard's state).
// Assistive technology reads the value itself as the label's name, as a sighted
// user reads it; what the value is goes in the accessible description.

class QLabel;
class QString;

namespace kf {

void SetupValueLabel(QLabel *label, const QString &what);

} // namespace kf
