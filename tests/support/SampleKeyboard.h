#pragma once
// A real keyboard definition drawn by the project itself: a US-style layout of
// 57 keys with pictures, Shift, AltGr, Caps Lock and two dead keys (grave on
// the ` key, with tilde under Shift; acute under AltGr on the ' key), and the
// characters each key types in each state (CP1252 codes). The tests, the help
// page and tests/data/sample-keyboard.vkt use it. Needs a QGuiApplication
// (fonts) for the key pictures.

namespace kf {
class TDataMod;
}

namespace kf::sample {

// Replaces the data module's tables and settings with the sample keyboard.
void BuildSampleKeyboard(TDataMod &dm);

// A few facts the tests rely on.
constexpr int kKeyCount = 57;
constexpr int kKeyWidth = 40;
constexpr int kKeyHeight = 40;

} // namespace kf::sample
