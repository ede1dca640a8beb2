#pragma once
// Base of the tool windows that live inside the main window's frame. A tool
// window builds its controls in its constructor; FormCreate runs right after,
// when the window exists (errors there are reported and the window stays).

#include "ui/RecentFiles.h"

#include <QWidget>

namespace kf {

class TChildForm : public QWidget {
    Q_OBJECT
public:
    explicit TChildForm(QWidget *parent = nullptr);

    // Runs once after construction, before the window is first shown.
    virtual void FormCreate() {}

signals:
    // A file was loaded or saved successfully (for the recent files).
    void FileUsed(kf::RecentKind kind, const QString &path);

protected:
    // The window is not resizable; its client area is w x h pixels.
    void setClientSize(int w, int h);
    // The window opens with a client area of w x h pixels and may be made
    // larger, never smaller; its resizeEvent lets the controls grow.
    void setGrowableClientSize(int w, int h);
    // The first time the window shows, captions too wide for their place in
    // the desktop's font are given a smaller one (ui/FitCaptions.h).
    void showEvent(QShowEvent *event) override;

private:
    bool m_captionsFitted = false;
};

} // namespace kf
