#pragma once
// The tool windows keep the fixed geometry they were laid out with. A desktop
// font wider than the one they were laid out for would clip captions there:
// FitCaptions gives each caption that does not fit its width a smaller font,
// half a point (or a pixel) at a time, down to 6 points (8 pixels), so its
// whole text shows.

class QWidget;

namespace kf {

// Every label, check box, radio button and push button below window. Value
// labels (those with an accessible description: their text may be longer
// than their place) and word-wrapping labels are left as they are; so is a
// caption's trailing blank.
void FitCaptions(QWidget *window);

} // namespace kf
