#pragma once
// The main window: a frame for the tool windows, with the program's menu.

#include "app/HelpPage.h"
#include "app/IntfFormFactory.h"
#include "ui/RecentFiles.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class QMdiArea;

namespace kf {

class TDefinitionHistory;
class TStartPage;
class TWinFormFactory;

class TMainFm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainFm(QWidget *parent = nullptr);
    ~TMainFm() override;

    QMdiArea *MdiArea() const { return m_area; }
    TWinFormFactory &Factory() const { return *FormFactory; }
    // The files of the last sessions, and the page shown while no tool
    // window is open.
    TRecentFiles &RecentFiles() const { return *m_recent; }
    TStartPage *StartPage() const { return m_startPage; }

    // Size and place when the window is restored: 763 x 522, centred.
    static QRect RestoredGeometry(const QRect &screen);

    QAction *A_ShowDefineFm;
    QAction *A_ShowKbDemoFm;
    QAction *A_ShowFingerDefFm;
    QAction *A_CheckDefinition;
    QAction *A_KeyboardStatistics;
    QAction *A_TCG;
    QAction *A_Dictionary;
    QAction *A_About;
    QAction *A_Help;
    QAction *A_Close;
    // File > "Recent files": the recent files of each kind, and "Clear
    // recent files".
    QMenu *RecentMenu;
    QAction *A_ClearRecent;
    // The code pages the session can read and write text in, one checked
    // item each ("CP1252"); the one in force is checked.
    QMenu *CodePageMenu;
    QActionGroup *CodePageActions;
    // Edit: "Undo <step>" (Ctrl+Z) and "Redo <step>" (Ctrl+Y, Ctrl+Shift+Z)
    // of the keyboard definition's history; plain "Undo" / "Redo", disabled,
    // when there is no step.
    QAction *A_Undo;
    QAction *A_Redo;

    // Where Help finds its page, and how it asks the desktop to open it (the
    // desktop's browser service unless a test puts its own in place).
    QString HelpPageFile;
    UrlOpener OpenUrl;

    // When the keyboard definition has changes not saved, asks whether to
    // save them (Save / Discard / Cancel); Save runs the definition window's
    // save. True when the caller may go on: nothing to save, saved, or
    // discarded.
    bool ConfirmDefinitionSaved();
    // Before the program closes: the definition's question, then each tool
    // window's about its own unsaved work (ui/ChildForm.h), the window
    // asking shown on top. True when the caller may go on.
    bool ConfirmWorkSaved();

    // The start page's ways to begin: the definition window and its import
    // dialog, or its load dialog.
    void StartImportLayout();
    void StartOpenPackage();
    // Opens the window of a recent file with that file. A file that no
    // longer exists is taken off the list, with a message.
    void OpenRecent(RecentKind kind, const QString &path);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void A_AboutExecute();
    void A_HelpExecute();
    void buildCodePageMenu();
    void ShowCodePageInForce();
    // Follows the data module's undo history (made after this window).
    void BindHistory();
    void UpdateUndoActions();
    void buildStartPage();
    void FillRecentMenu();
    // The start page shows while no tool window is open.
    void UpdateStartPage();
    // The start page over the frame's client area, on top.
    void placeStartPage();

    QPointer<TDefinitionHistory> m_history; // the history followed, not owned

    std::unique_ptr<TRecentFiles> m_recent; // made before the factory, which reports to it
    QMdiArea *m_area;
    TStartPage *m_startPage = nullptr; // over the frame's client area
    std::unique_ptr<TWinFormFactory> FormFactory;
};

} // namespace kf
