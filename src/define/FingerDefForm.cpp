#include "define/FingerDefForm.h"

#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Translation.h"
#include "define/RxSlider.h"
#include "model/DefinitionHistory.h"
#include "model/MainData.h"

#include <QKeySequence>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>

#include <algorithm>

namespace kf {

namespace {

struct SliderPlace {
    int left;
    const char *label; // the letter under the slider, or nullptr
    int labelLeft;
    const char *finger; // the finger's name, for assistive technology
};

// By slider, left to right; slider k is finger code k - 1.
constexpr SliderPlace kPlaces[TFingerDefFm::kSliderCount] = {
    {8, "L", 20, "L Little"},    {48, nullptr, 0, "L Ring"},   {88, nullptr, 0, "L Middle"},
    {127, nullptr, 0, "L Index"}, {165, "T", 176, "L Thumb"},  {231, "T", 244, "R Thumb"},
    {269, nullptr, 0, "R Index"}, {307, nullptr, 0, "R Middle"}, {345, nullptr, 0, "R Ring"},
    {384, "L", 396, "R Little"},
};

constexpr int kSliderTop = 20;
constexpr int kSliderWidth = 33;
constexpr int kSliderHeight = 181;
constexpr int kLabelTop = 204;
constexpr int kButtonTop = 220;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

const char *const kEmptyTableMessage =
    "You need to load the definition file in the Keyboard Definition window first.";

} // namespace

TFingerDefFm::TFingerDefFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("FingerDefFm"));
    setWindowTitle(QStringLiteral("Finger definition"));
    setClientSize(438, 255);

    for (int i = 0; i < kSliderCount; ++i) {
        const SliderPlace &place = kPlaces[i];
        auto *slider = new TRxSlider(this);
        slider->setObjectName(QStringLiteral("RxSlider%1").arg(i + 1));
        slider->setGeometry(place.left, kSliderTop, kSliderWidth, kSliderHeight);
        slider->setToolTip(QStringLiteral("Double click to change color"));
        slider->setAccessibleName(QString::fromLatin1(place.finger));
        slider->setColor(kInitialColor);
        slider->setValue(0);
        // The slider itself is the control that asked (its mouse press).
        connect(slider, &TRxSlider::colorRequested, this,
                ReportErrors(slider, [this, slider] { RxSliderColorRequested(slider); }));
        m_sliders[i] = slider;

        if (place.label) {
            auto *label = new QLabel(QString::fromLatin1(place.label), this);
            label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
            label->adjustSize();
            label->move(place.labelLeft, kLabelTop);
        }
    }

    auto makeButton = [this](const char *name, const QString &text, int left) {
        auto *button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(left, kButtonTop, kButtonWidth, kButtonHeight);
        button->setAutoDefault(false);
        return button;
    };
    RefreshBn = makeButton("RefreshBn", QStringLiteral("Refresh"), 84);
    ApplyBn = makeButton("ApplyBn", QStringLiteral("&Apply"), 164);
    ApplyBn->setToolTip(QStringLiteral("Apply to definition of virtual keyboard"));
    CloseBn = makeButton("CloseBn", QStringLiteral("&Close"), 256);
    connect(RefreshBn, &QPushButton::clicked, this, ReportErrors(this, [this] { RefreshBnClick(); }));
    connect(ApplyBn, &QPushButton::clicked, this, ReportErrors(this, [this] { ApplyBnClick(); }));
    connect(CloseBn, &QPushButton::clicked, this, ReportErrors(this, [this] { CloseBnClick(); }));

    // Esc is the Close button's key wherever the focus is in this window.
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WidgetWithChildrenShortcut);
    connect(esc, &QShortcut::activated, CloseBn, &QPushButton::click);

    if (DataMod)
        connect(&DataMod->History(), &TDefinitionHistory::SettingsRestored, this,
                [this](const PackageSettings &from, const PackageSettings &to) { FingersRestored(from, to); });
}

TRxSlider *TFingerDefFm::Slider(int k) const
{
    return k >= 1 && k <= kSliderCount ? m_sliders[k - 1] : nullptr;
}

void TFingerDefFm::Refresh()
{
    // Without a data module there is no key table either.
    if (!DataMod || DataMod->MainTbl.RecordCount() == 0) {
        Dialogs().information(QString::fromLatin1(kEmptyTableMessage));
        return;
    }
    ShowFingers();
}

void TFingerDefFm::ShowFingers()
{
    if (!DataMod)
        return;
    for (int k = 1; k <= kSliderCount; ++k)
        Slider(k)->setValue(std::clamp<int32_t>(DataMod->FingerLength[k - 1], 0, 100));
    for (int k = 1; k <= kSliderCount; ++k)
        Slider(k)->setColor(uint32_t(DataMod->FingerColor[k - 1]));
}

void TFingerDefFm::FingersRestored(const PackageSettings &from, const PackageSettings &to)
{
    // A slider the step did not change keeps what the user set, applied or not.
    for (int k = 1; k <= kSliderCount; ++k) {
        if (from.lengths[k - 1] != to.lengths[k - 1])
            Slider(k)->setValue(std::clamp<int32_t>(to.lengths[k - 1], 0, 100));
        if (from.colors[k - 1] != to.colors[k - 1])
            Slider(k)->setColor(uint32_t(to.colors[k - 1]));
    }
}

void TFingerDefFm::Apply()
{
    if (!DataMod)
        return;
    TDefinitionHistory::Step step(DataMod->History(), TranslateQ("finger settings"));
    for (int k = 1; k <= kSliderCount; ++k)
        DataMod->FingerLength[k - 1] = Slider(k)->value();
    for (int k = 1; k <= kSliderCount; ++k)
        DataMod->FingerColor[k - 1] = int32_t(Slider(k)->color());
}

void TFingerDefFm::showEvent(QShowEvent *event)
{
    TChildForm::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        RunReportingErrors(this, [this] { Refresh(); });
    }
}

void TFingerDefFm::RefreshBnClick()
{
    Refresh();
}

void TFingerDefFm::ApplyBnClick()
{
    Apply();
}

void TFingerDefFm::CloseBnClick()
{
    // The frame destroys itself, and this window with it, when closed.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

void TFingerDefFm::RxSliderColorRequested(TRxSlider *slider)
{
    const std::optional<uint32_t> chosen = Dialogs().chooseColor(m_dialogColor);
    if (!chosen)
        return;
    m_dialogColor = *chosen;
    slider->setColor(*chosen);
}

} // namespace kf
