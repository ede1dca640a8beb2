#pragma once
// Base of the tool windows that live inside the main window's frame. A tool
// window builds its controls in its constructor; FormCreate runs right after,
// when the window exists (errors there are reported and the window stays).

#include "ui/RecentFiles.h"

#include <QStringList>
#include <QWidget>

namespace kf {

class TChildForm : public QWidget {
    Q_OBJECT
public:
    explicit TChildForm(QWidget *parent = nullptr);

    // Runs once after construction, before the window is first shown.
    virtual void FormCreate() {}

    // The work closing this window would lose, one line each ("the word
    // list (1234 words)"); empty when nothing would be lost.
    virtual QStringList UnsavedWork() const { return {}; }
    // Whether the window can save (some of) that work, and saving it as the
    // window's own Save does: false when the user cancelled or the save
    // failed (the failure is reported).
    virtual bool CanSaveWork() const { return false; }
    virtual bool SaveWork() { return false; }
    // Asks about the unsaved work before it is lost: Save / Discard / Cancel
    // when the window can save it, OK / Cancel when it cannot, nothing when
    // there is none. True when the caller may go on.
    bool AskToKeepWork();
    // The question AskToKeepWork asks: the window's caption, what would be
    // lost, and what Save does.
    QString UnsavedWorkQuestion() const;

    QSize sizeHint() const override;

signals:
    // A file was loaded or saved successfully (for the recent files).
    void FileUsed(kf::RecentKind kind, const QString &path);

protected:
    // The window is not resizable; its client area is w x h pixels.
    void setClientSize(int w, int h);
    // The window opens with a client area of w x h pixels and may be made
    // larger (its controls follow through ui/Anchors.h or layouts), not smaller.
    void setInitialClientSize(int w, int h);
    // The first time the window shows, captions too wide for their place in
    // the desktop's font are given a smaller one (ui/FitCaptions.h).
    void showEvent(QShowEvent *event) override;

private:
    bool m_captionsFitted = false;
    QSize m_initialSize; // invalid: the size hint of QWidget
};

} // namespace kf
