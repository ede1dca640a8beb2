#include "define/DefineForm.h"

#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/FilePath.h"
#include "common/Translation.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/DBImage.h"
#include "dbctrls/TableModel.h"
#include "model/KeyImage.h"
#include "model/MainData.h"
#include "ui/CodePageChoice.h"


#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <algorithm>

namespace kf {

namespace {

const char *const kPackageFilter = "on-screen keyboard template|*.vkt";
const char *const kPackageExt = "vkt";

} // namespace

// ---- packages ----------------------------------------------------------------

void TDefineFm::LoadBnClick()
{
    if (!AskToSaveChanges())
        return;
    RunReportingErrors(this, [this] {
        FileRequest request;
        request.title = QStringLiteral("Load definition");
        request.filter = QString::fromLatin1(kPackageFilter);
        request.defaultExt = QString::fromLatin1(kPackageExt);
        const QString path = Dialogs().openFile(request);
        if (!path.isEmpty())
            LoadPackageFile(path);
    });
}

bool TDefineFm::OpenPackage(const QString &path)
{
    bool loaded = false;
    if (AskToSaveChanges())
        RunReportingErrors(this, [&] { loaded = LoadPackageFile(path); });
    return loaded;
}

bool TDefineFm::LoadPackageFile(const QString &path)
{
    if (!DataMod)
        return false;
    if (!DataMod->LoadPackage(LocalPath(path))) {
        // The package layer changed nothing; say why it failed.
        Dialogs().warning(windowTitle(),
                          QStringLiteral("Cannot load \"%1\":\n%2")
                              .arg(QFileInfo(path).fileName(),
                                   QString::fromLocal8Bit(DataMod->PackageError().c_str())));
        return false;
    }
    // The package's characters are bytes of the code page it names: the
    // session reads and writes in it from now on.
    const QString codePageBefore = CodePageChoice::instance().current();
    const QString packageCodePage = QString::fromStdString(DataMod->PackageCodePage);
    if (!packageCodePage.isEmpty() && packageCodePage != codePageBefore)
        CodePageChoice::instance().choose(packageCodePage);
    ShowSettings();
    FileNameLb->setText(QFileInfo(path).fileName());
    emit FileUsed(RecentKind::Package, path);
    if (CodePageChoice::instance().current() != codePageBefore)
        Dialogs().information(TranslateQ("The package is written in code page %1: the session's code page is now %1 "
                                         "(it was %2).")
                                  .arg(CodePageChoice::instance().current(), codePageBefore));
    return true;
}

void TDefineFm::ShowSettings()
{
    if (!DataMod)
        return;
    KeyImage->SetBackgroundColor(ColorValueToColor(uint32_t(DataMod->bkcolor)));
    ShowPackageTexts();
}

QString TDefineFm::SaveQuestion()
{
    return TranslateQ("Save changes to the keyboard definition?");
}

bool TDefineFm::Unsaved() const
{
    if (DataMod)
        return DataMod->Unsaved();
    return AuthorEd->isModified() || InfoEd->document()->isModified();
}

void TDefineFm::TextTyped(bool author)
{
    if (m_showingTexts || !DataMod)
        return;
    if (author)
        DataMod->TypedAuthor = AuthorEd->text();
    else
        DataMod->TypedInfo = InfoEd->toPlainText();
}

void TDefineFm::SettingsRestored(const PackageSettings &from, const PackageSettings &to)
{
    // Only what the step changed is shown again: a typed text stays.
    if (from.bkcolor != to.bkcolor)
        KeyImage->SetBackgroundColor(ColorValueToColor(uint32_t(to.bkcolor)));
    if (from.Author != to.Author || from.misc != to.misc)
        ShowPackageTexts();
}

bool TDefineFm::AskToSaveChanges()
{
    if (!Unsaved())
        return true;
    switch (Dialogs().saveDiscardCancel(SaveQuestion())) {
    case SaveAnswer::Save:
        return SaveDefinition();
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

void TDefineFm::SaveBnClick()
{
    SaveDefinition();
}

bool TDefineFm::SaveDefinition()
{
    bool saved = false;
    RunReportingErrors(this, [this, &saved] {
        // The author and info are written in the code page: a character it
        // lacks would reach the tutor as "?". Only what was edited counts: a
        // byte the code page leaves undefined in a loaded text is kept.
        const CodePage &inForce = CodePage::current();
        auto edited = [&inForce](const QString &text, const std::string &was) {
            return text == inForce.decode(was) ? QString() : text;
        };
        // The info text keeps its line breaks, written as CR LF like the
        // package's own lines.
        QString info = InfoEd->toPlainText();
        info.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        const QString lacking = DataMod ? inForce.unheldMessage(edited(AuthorEd->text(), DataMod->Author)
                                                                 + edited(info, DataMod->misc))
                                        : QString();
        if (!lacking.isEmpty()
            && !Dialogs().okCancel(lacking
                                   + QStringLiteral("\n\nThe author and info are saved in the code page: these "
                                                    "characters would be saved as \"?\". Save anyway?")))
            return;
        FileRequest request;
        request.title = QStringLiteral("Save the definition");
        request.filter = QString::fromLatin1(kPackageFilter);
        request.defaultExt = QString::fromLatin1(kPackageExt);
        request.overwritePrompt = true;
        const QString path = Dialogs().saveFile(request);
        if (path.isEmpty() || !DataMod)
            return;
        // The typed texts are the definition's; the save writes them in the
        // code page in force.
        if (!DataMod->SavePackage(LocalPath(path))) {
            Dialogs().warning(windowTitle(),
                              QStringLiteral("Cannot save \"%1\":\n%2")
                                  .arg(QFileInfo(path).fileName(),
                                       QString::fromLocal8Bit(DataMod->PackageError().c_str())));
            return;
        }
        FileNameLb->setText(QFileInfo(path).fileName());
        // What was written is what the package holds now.
        ShowPackageTexts();
        saved = true;
        emit FileUsed(RecentKind::Package, path);
    });
    return saved;
}

void TDefineFm::ShowPackageTexts()
{
    if (!DataMod)
        return;
    const QScopedValueRollback<bool> showing(m_showingTexts, true);
    const CodePage &cp = CodePage::current();
    const QString author = DataMod->TypedAuthor ? *DataMod->TypedAuthor : cp.decode(DataMod->Author);
    if (AuthorEd->text() != author)
        AuthorEd->setText(author);
    AuthorEd->setModified(DataMod->TypedAuthor.has_value());
    const QString info = DataMod->TypedInfo ? *DataMod->TypedInfo : cp.decode(DataMod->misc);
    if (InfoEd->toPlainText() != info)
        InfoEd->setPlainText(info);
    InfoEd->document()->setModified(DataMod->TypedInfo.has_value());
}

void TDefineFm::CodePageChanged()
{
    DBGrid->Model()->TextReadingChanged();
    CharGrid->Model()->TextReadingChanged();
    ShowCurrentChar();
    // A text the user typed stays as typed; it is written in the code page
    // in force when the package is saved. The others read their bytes anew.
    ShowPackageTexts();
}

} // namespace kf
