#pragma once
// The finger definition window: the length and the colour of each of the ten
// fingers, for the typing tutor. It works on copies: the sliders are filled
// from the data module on the first showing and on Refresh, and written back
// only on Apply (one step of the undo history). An undo or redo sets only the
// sliders whose finger it changed.

#include "model/Readme.h"
#include "ui/ChildForm.h"

#include <array>
#include <cstdint>

class QLabel;
class QPushButton;

namespace kf {

class TRxSlider;

class TFingerDefFm : public TChildForm {
    Q_OBJECT
public:
    static constexpr int kSliderCount = 10;
    // Slider colour before the first refresh: light yellow.
    static constexpr uint32_t kInitialColor = 9502719;

    explicit TFingerDefFm(QWidget *parent = nullptr);

    // Slider k (1..10) shows the finger with code k - 1: left little finger
    // to left thumb, then right thumb to right little finger.
    TRxSlider *Slider(int k) const;

    // The sliders take the data module's finger lengths (held within 0..100)
    // and colours; with an empty key table a message says what to do first
    // and the sliders stay as they are.
    void Refresh();
    // Writes every slider's length and colour into the data module.
    void Apply();
    // The sliders take the data module's lengths and colours, without a word.
    void ShowFingers();

    QPushButton *RefreshBn = nullptr;
    QPushButton *ApplyBn = nullptr;
    QPushButton *CloseBn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void RefreshBnClick();
    void ApplyBnClick();
    void CloseBnClick();
    // An undo or redo took the settings from `from` to `to`.
    void FingersRestored(const PackageSettings &from, const PackageSettings &to);
    // The right button on a slider: the window's colour dialog chooses its colour.
    void RxSliderColorRequested(TRxSlider *slider);

    std::array<TRxSlider *, kSliderCount> m_sliders{}; // owned by this window
    uint32_t m_dialogColor = 0; // the colour last chosen in the colour dialog
    bool m_shown = false;       // the first showing has run Refresh
};

} // namespace kf
