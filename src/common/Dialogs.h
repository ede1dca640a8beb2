#pragma once
// The one service through which every dialog and message box is asked.
// Windows never open a file dialog, message box, colour dialog or input box
// themselves. The Qt implementation lives with the windows; tests install
// ScriptedDialogs; the command line installs one that prints to stderr.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

namespace kf {

// A file dialog's settings. Filters are written as pairs "Text|pattern",
// joined by "|", e.g. "Bitmaps (*.bmp)|*.bmp".
struct FileRequest {
    QString title;
    QString filter;
    QString defaultExt;   // added to a typed name without extension
    QString initialDir;   // empty: the current working directory
    QString fileName;     // preset name
    bool multiple = false;        // several files (open only)
    bool picturePreview = false;  // show a preview of the chosen picture (open only)
    bool overwritePrompt = false; // ask before replacing a file (save only)
};

// The answer to a question about unsaved work.
enum class SaveAnswer { Save, Discard, Cancel };

class IDialogs {
public:
    virtual ~IDialogs() = default;

    // Files chosen, or empty when cancelled.
    virtual QStringList openFiles(const FileRequest &request) = 0;
    // The file chosen, or empty when cancelled.
    virtual QString saveFile(const FileRequest &request) = 0;
    // A colour value (red in bits 0..7), or nothing when cancelled.
    virtual std::optional<uint32_t> chooseColor(uint32_t initial) = 0;
    // An information box with OK, captioned with the application title.
    virtual void information(const QString &text) = 0;
    // A Yes/No question captioned "Confirm"; true for Yes.
    virtual bool confirm(const QString &text) = 0;
    // An OK/Cancel question (e.g. "Delete record?"); true for OK.
    virtual bool okCancel(const QString &text) = 0;
    // A Save/Discard/Cancel question about unsaved work ("Save changes to
    // the keyboard definition?").
    virtual SaveAnswer saveDiscardCancel(const QString &text) = 0;
    // An input box; nothing when cancelled.
    virtual std::optional<QString> inputBox(const QString &caption, const QString &prompt,
                                            const QString &defaultValue) = 0;
    // A warning box with OK.
    virtual void warning(const QString &caption, const QString &text) = 0;
    // A plain modal box with OK (the application's error report).
    virtual void message(const QString &caption, const QString &text) = 0;
    // An error box with OK, for a failure the program cannot go on from
    // (it cannot start).
    virtual void error(const QString &caption, const QString &text) = 0;

    // Convenience: the first file of openFiles, or empty.
    QString openFile(const FileRequest &request)
    {
        const QStringList files = openFiles(request);
        return files.isEmpty() ? QString() : files.first();
    }
};

// The service in force. The program installs its own at start (the windows
// QtDialogs, the command line ConsoleDialogs; tests ScriptedDialogs). Until
// then, and after SetDialogs(nullptr), no one is there to ask: every question
// is cancelled, and whatever was asked or told is written to the log with
// "No dialog service installed", so no message is lost without a trace.
IDialogs &Dialogs();
// Installs a service (nullptr: none) and returns the one it replaces.
std::unique_ptr<IDialogs> SetDialogs(std::unique_ptr<IDialogs> dialogs);
// Whether a service was installed (Dialogs() is not the stand-in for none).
bool DialogsInstalled();

} // namespace kf
