#include "define/DefineForm.h"

#include "common/ColorValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/FilePath.h"
#include "common/Translation.h"
#include "dbctrls/DBImage.h"
#include "model/DefinitionHistory.h"
#include "model/GlyphCodec.h"
#include "model/KeyImage.h"
#include "model/KeyPictures.h"
#include "model/MainData.h"

#include <QCheckBox>
#include <algorithm>

namespace kf {

namespace {

const char *const kBitmapFilter = "Bitmaps (*.bmp)|*.bmp";

} // namespace

// ---- key image tools ---------------------------------------------------------

void TDefineFm::EditKeyRow()
{
    if (!DataMod)
        return;
    TRecordTable &keys = DataMod->MainTbl;
    if (!keys.Editing())
        keys.Edit(); // on an empty table a new row
}

void TDefineFm::FitKeySize()
{
    if (!DataMod || !FitImgCheckbox->isChecked())
        return;
    const QImage &picture = KeyImage->Picture();
    TRecordTable &keys = DataMod->MainTbl;
    keys.FieldByName("Width").SetAsInteger(picture.width());
    keys.FieldByName("Height").SetAsInteger(picture.height());
}

void TDefineFm::LoadImgBnClick()
{
    RunReportingErrors(this, [this] {
        FileRequest request;
        request.title = QStringLiteral("Load image");
        request.filter = QString::fromLatin1(kBitmapFilter);
        request.picturePreview = true;
        const QString path = Dialogs().openFile(request);
        if (path.isEmpty())
            return;
        EditKeyRow();
        const QImage picture = LoadBitmapFile(LocalPath(path)); // throws for anything but a bitmap
        KeyImage->SetPicture(picture);
        FitKeySize();
    });
}

void TDefineFm::PasteImgBnClick()
{
    RunReportingErrors(this, [this] {
        EditKeyRow();
        KeyImage->PasteFromClipboard(); // nothing without a picture on the clipboard
        FitKeySize();
    });
}

void TDefineFm::ClearImgBnClick()
{
    RunReportingErrors(this, [] {
        if (!DataMod)
            return;
        TRecordTable &keys = DataMod->MainTbl;
        if (!keys.Editing())
            keys.Edit();
        keys.FieldByName("Glyph").Clear(); // the picture box follows
    });
}

void TDefineFm::CopyImgBnClick()
{
    RunReportingErrors(this, [this] { KeyImage->CopyToClipboard(); });
}

void TDefineFm::KeyColorBnClick()
{
    RunReportingErrors(this, [this] {
        const std::optional<uint32_t> color = AskColor();
        if (!color)
            return;
        EditKeyRow();
        const QImage &picture = KeyImage->Picture();
        if (picture.isNull())
            return;
        KeyImage->SetPicture(RecolorKey(picture, *color));
    });
}

bool TDefineFm::SetFingerColorsIfUnset()
{
    if (!DataMod || DataMod->FingerColor != std::array<int32_t, kFingerCount>{})
        return false;
    DataMod->FingerColor = DefaultFingerColors();
    return true;
}

void TDefineFm::DrawKeysBnClick()
{
    if (!DataMod)
        return;
    TRecordTable &keys = DataMod->MainTbl;
    if (keys.RecordCount() == 0) {
        Dialogs().information(QStringLiteral("The key table is empty: there is no key to draw."));
        return;
    }
    // Pictures the user made are not replaced unasked.
    const int glyph = keys.FindFieldIndex("Glyph");
    bool anyPicture = false;
    for (int i = 0; i < keys.RecordCount() && !anyPicture; ++i)
        anyPicture = glyph >= 0 && !keys.FieldValueAt(i, glyph).IsNull();
    if (anyPicture && !Dialogs().okCancel(QStringLiteral("Replace the picture of every key with a drawn one?")))
        return;

    // Finger colours set here and the pictures are one step.
    TDefinitionHistory::Step step(DataMod->History(), TranslateQ("drawn key pictures"));
    KeyFaces faces;
    if (Dialogs().confirm(QStringLiteral("Colour each key with the colour of its finger?\n\n"
                                         "Yes: the finger colours of the finger definition.\n"
                                         "No: one colour for every key, chosen next."))) {
        if (SetFingerColorsIfUnset())
            Dialogs().information(QStringLiteral("The finger colours were not set: light ones were set "
                                                 "(the finger window shows them after Refresh)."));
    } else {
        const std::optional<uint32_t> color = AskColor();
        if (!color)
            return;
        faces.oneColor = true;
        faces.color = *color;
    }
    const KeyPicturesResult result = DrawKeyPictures(*DataMod, faces);
    if (result.skipped > 0)
        Dialogs().warning(windowTitle(),
                          QStringLiteral("%1 key(s) drawn; %2 key(s) kept their picture: their Width or Height "
                                         "is not 1 to %3.")
                              .arg(result.drawn)
                              .arg(result.skipped)
                              .arg(kMaxKeyPictureSide));
}

} // namespace kf
