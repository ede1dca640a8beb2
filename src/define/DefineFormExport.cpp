#include "define/DefineForm.h"

#include "common/CodePage.h"
#include "common/Dialogs.h"
#include "common/Errors.h"
#include "common/Translation.h"
#include "dbctrls/DBGrid.h"
#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "model/MainData.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <string_view>

namespace kf {

// ---- the keyboard handed to other programs ------------------------------------

namespace {

QString linesOf(const std::vector<std::string> &warnings)
{
    QStringList lines;
    for (const std::string &w : warnings)
        lines << QString::fromStdString(w);
    return lines.join(QLatin1Char('\n'));
}

// A name made of the author's line for an XKB layout: lower-case letters and
// digits, the rest as "_".
QString layoutNameOf(const QString &author)
{
    QString name;
    for (const QChar c : author.toLower())
        name += (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c.isDigit() ? c : QLatin1Char('_');
    while (name.startsWith(QLatin1Char('_')))
        name.remove(0, 1);
    name = name.left(32);
    while (name.endsWith(QLatin1Char('_')))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("mine") : name;
}

} // namespace

void TDefineFm::ExportKeyboardClick()
{
    if (!DataMod)
        return;
    // What is typed in the grids goes in first.
    for (TDBGrid *grid : {DBGrid, CharGrid})
        if (!grid->CommitEditor())
            return;
    DataMod->MainTbl.CheckBrowseMode();
    DataMod->Ctbl.CheckBrowseMode();

    FileRequest request;
    request.title = TranslateQ("Export keyboard as");
    request.filter = ExchangeFormatFilter(TExchangeFormat::Content::Keyboard);
    request.overwritePrompt = true;
    const QString path = Dialogs().saveFile(request);
    if (path.isEmpty())
        return;
    const TExchangeFormat *format = ExchangeFormatOfPath(path, TExchangeFormat::Content::Keyboard);
    if (!format)
        throw EConvertError(TranslateQ("No format of keyboard files is known for %1").arg(path).toStdString());
    const CodePage &cp = CodePage::current();
    TExportOptions options;
    const QString base = QFileInfo(path).completeBaseName();
    // A Windows keyboard is named by at most eight letters and digits.
    const bool shortName = base.size() <= 8 && !base.isEmpty()
                           && std::all_of(base.begin(), base.end(), [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 0x80; });
    if (std::string_view(format->Name()) != "klc" || shortName)
        options.Name = base.toStdString();
    options.Description = cp.decode(DataMod->Author).toStdString();
    const std::vector<std::string> warnings =
        ExportKeyboard(*DataMod, cp, *format, options, QFile::encodeName(path).toStdString());
    QString text = TranslateQ("The keyboard was written as %1 to %2.").arg(format->Title(), path);
    if (!warnings.empty())
        text += QStringLiteral("\n\n") + linesOf(warnings);
    Dialogs().information(text);
}

void TDefineFm::InstallClick()
{
    if (!DataMod)
        return;
    for (TDBGrid *grid : {DBGrid, CharGrid})
        if (!grid->CommitEditor())
            return;
    DataMod->MainTbl.CheckBrowseMode();
    DataMod->Ctbl.CheckBrowseMode();
    const CodePage &cp = CodePage::current();
    const QString author = cp.decode(DataMod->Author);
    const std::optional<QString> name =
        Dialogs().inputBox(TranslateQ("Install on this desktop"),
                           TranslateQ("Name of the layout (lower-case letters, digits, _ and -):"),
                           layoutNameOf(author));
    if (!name || name->isEmpty())
        return;
    TExportOptions options;
    options.Name = name->toStdString();
    options.Description = author.toStdString();
    const TXkbInstall done = InstallXkbLayout(*DataMod, cp, options);
    QString text = TranslateQ("The layout \"%1\" is installed: %2, registered in %3.\n\nChoose it in the desktop's "
                              "keyboard settings; Wayland desktops read this folder, an X11 session does not.")
                       .arg(*name, QString::fromStdString(done.symbolsPath), QString::fromStdString(done.rulesPath));
    if (!done.warnings.empty())
        text += QStringLiteral("\n\n") + linesOf(done.warnings);
    Dialogs().information(text);
}

} // namespace kf
