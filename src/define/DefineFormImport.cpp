#include "define/DefineForm.h"

#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Translation.h"
#include "define/ImportLayoutDialog.h"
#include "define/ImportReportDialog.h"
#include "model/DefinitionHistory.h"
#include "model/KeyPictures.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"
#include "exchange/XkbLayouts.h"
#include "exchange/ExchangeFormat.h"
#include "common/Errors.h"
#include "common/TextFile.h"
#include "ui/CodePageChoice.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <algorithm>

namespace kf {

// ---- layout import and drawn key pictures ----------------------------------

TImportLayoutDlg *TDefineFm::ImportDialog() const
{
    return m_importDlg;
}

TImportReportDlg *TDefineFm::ImportReport() const
{
    return m_importReport;
}

void TDefineFm::ImportBnClick()
{
    if (m_importDlg) {
        m_importDlg->raise();
        m_importDlg->activateWindow();
        return;
    }
    // The list is read before anything shows: a system without the layout
    // data gets the error, not an empty dialog.
    auto *dialog = new TImportLayoutDlg(ListXkbLayouts(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &TImportLayoutDlg::ImportRequested, this,
            ReportErrors(this, [this, dialog] { ImportLayoutFrom(*dialog); }));
    connect(dialog, &TImportLayoutDlg::KleImportRequested, this,
            ReportErrors(this, [this, dialog] { ImportKleFrom(*dialog); }));
    m_importDlg = dialog;
    dialog->open(); // modal to the main window; the answer comes by the signal
}

void TDefineFm::ImportLayoutFrom(TImportLayoutDlg &dialog)
{
    const XkbLayout *layout = dialog.CurrentLayout();
    if (!layout || !DataMod)
        return;
    const QString id = QString::fromStdString(layout->Id());
    const QString question =
        QStringLiteral("Replace the whole keyboard definition (every key and character) with the layout %1, "
                       "\"%2\"?")
            .arg(id, QString::fromStdString(layout->description));
    // An empty definition has nothing the layout would replace.
    if ((!DefinitionEmpty() && !Dialogs().confirm(question)) || !AskToSaveChanges())
        return;
    const LayoutImportOptions options = dialog.Options();
    const bool drawPictures = dialog.DrawPictures();
    // The import, finger colours and drawn pictures are one step.
    TDefinitionHistory::Step step(DataMod->History(), TranslateQ("import of layout %1").arg(id));
    // Everything is read before the definition changes: an error leaves it,
    // and the dialog, as they were.
    const LayoutImportReport report = ImportLayout(*DataMod, options);
    // The layout names the author and info: texts typed before were saved
    // or discarded on the question above.
    DataMod->TypedAuthor.reset();
    DataMod->TypedInfo.reset();
    dialog.accept();
    // The characters are bytes of the import's code page: the session reads
    // and writes in it from now on.
    const QString codePageBefore = CodePageChoice::instance().current();
    CodePageChoice::instance().choose(QString::fromStdString(report.codePage));

    ShowSettings();
    FileNameLb->clear(); // the definition is no longer that file's

    QStringList lines;
    for (const std::string &line : report.Lines())
        lines << QString::fromStdString(line);
    if (CodePageChoice::instance().current() != codePageBefore)
        lines << TranslateQ("The session's code page is now %1 (it was %2): the definition's characters are bytes "
                            "of %1.")
                     .arg(CodePageChoice::instance().current(), codePageBefore);
    if (!m_importReport)
        m_importReport = new TImportReportDlg(this);
    m_importReport->ShowReport(id, lines); // shown whatever the drawing does

    if (drawPictures) {
        if (SetFingerColorsIfUnset())
            lines << QStringLiteral("Finger colours were not set: light ones were set for the pictures "
                                    "(the finger window shows them after Refresh).");
        const KeyPicturesResult drawn = DrawKeyPictures(*DataMod, KeyFaces{});
        lines << QStringLiteral("Key pictures drawn in the finger colours: %1.").arg(drawn.drawn);
        m_importReport->ShowReport(id, lines);
    }
}

void TDefineFm::ImportKleFrom(TImportLayoutDlg &dialog)
{
    if (!DataMod)
        return;
    const TExchangeFormat *kle = FindExchangeFormat("kle");
    if (!kle)
        return;
    FileRequest request;
    request.title = TranslateQ("Import a keyboard-layout-editor file");
    request.filter = ExchangeFormatFilter(TExchangeFormat::Content::Keyboard, true);
    const QStringList files = Dialogs().openFiles(request);
    if (files.isEmpty())
        return;
    const QString path = files.front();
    const QString question =
        TranslateQ("Replace the whole keyboard definition (every key and character) with the keys of %1?").arg(path);
    if ((!DefinitionEmpty() && !Dialogs().confirm(question)) || !AskToSaveChanges())
        return;
    const std::string bytes = readFileBytes(QFile::encodeName(path).toStdString(), uint64_t(8) << 20);
    const std::string codePage = dialog.Options().codePage;
    const CodePage named(codePage.empty() ? CodePage::current().name() : codePage);
    const bool drawPictures = dialog.DrawPictures();
    TDefinitionHistory::Step step(DataMod->History(), TranslateQ("import of %1").arg(QFileInfo(path).fileName()));
    std::vector<std::string> warnings;
    try {
        warnings = kle->ReadKeyboard(*DataMod, bytes, named);
    } catch (const EConvertError &e) {
        throw EConvertError(path.toStdString() + ": " + e.what());
    }
    DataMod->TypedAuthor.reset();
    DataMod->TypedInfo.reset();
    dialog.accept();
    const QString codePageBefore = CodePageChoice::instance().current();
    CodePageChoice::instance().choose(QString::fromStdString(named.name()));
    ShowSettings();
    FileNameLb->clear();

    QStringList lines;
    lines << TranslateQ("%1: %2 keys, code page %3.")
                 .arg(path)
                 .arg(DataMod->MainTbl.RecordCount())
                 .arg(QString::fromStdString(named.name()));
    for (const std::string &w : warnings)
        lines << QString::fromStdString(w);
    if (CodePageChoice::instance().current() != codePageBefore)
        lines << TranslateQ("The session's code page is now %1 (it was %2): the definition's characters are bytes "
                            "of %1.")
                     .arg(CodePageChoice::instance().current(), codePageBefore);
    if (drawPictures) {
        SetFingerColorsIfUnset();
        const KeyPicturesResult drawn = DrawKeyPictures(*DataMod, KeyFaces{});
        lines << QStringLiteral("Key pictures drawn in the finger colours: %1.").arg(drawn.drawn);
    }
    if (!m_importReport)
        m_importReport = new TImportReportDlg(this);
    m_importReport->ShowReport(QFileInfo(path).fileName(), lines);
}

bool TDefineFm::DefinitionEmpty() const
{
    if (!DataMod)
        return true;
    for (const TRecordTable *t : {&DataMod->MainTbl, &DataMod->Ctbl})
        if (t->RecordCount() > 0 || t->Editing())
            return false;
    return DataMod->Author.empty() && DataMod->misc.empty() && !DataMod->TypedAuthor && !DataMod->TypedInfo;
}

} // namespace kf
