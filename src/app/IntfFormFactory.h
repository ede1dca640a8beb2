#pragma once
// Opens the tool windows of the main window, at most one of each kind.

namespace kf {

class IFormFactory {
public:
    virtual ~IFormFactory() = default;

    virtual void ShowDefineFm() = 0;    // "Keyboard definition"
    virtual void ShowKbDemoFm() = 0;    // "Keyboard layout"
    virtual void ShowFingerDefFm() = 0; // "Finger definition"
    virtual void ShowTcgFm() = 0;       // "Typing Course Generator"
    virtual void ShowDicFm() = 0;       // "Make Dictionary"
    // The keyboard definition window's Check: opens that window, posts its
    // edits and shows the findings in the "Check definition" window.
    virtual void ShowCheckFm() = 0;
};

} // namespace kf
