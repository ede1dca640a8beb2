#include "app/MainForm.h"

#include "app/ComFormFactory.h"
#include "app/FormAbout.h"
#include "app/StartPage.h"
#include "common/CodePage.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Translation.h"
#include "define/DefineForm.h"
#include "keyboard/KbStatsForm.h"
#include "model/DefinitionHistory.h"
#include "model/MainData.h"
#include "ui/CodePageChoice.h"
#include "table/RecordTable.h"
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"
#include "words/DicBuilder.h"

#include <QAction>
#include <QActionGroup>
#include <QChildEvent>
#include <QCloseEvent>
#include <QCommandLinkButton>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>

namespace kf {

namespace {

QAction *makeAction(QObject *owner, const char *name, const QString &caption, const QString &hint)
{
    auto *a = new QAction(caption, owner);
    a->setObjectName(QString::fromLatin1(name));
    // An item without a hint shows no tool tip: the menu shows only a tool tip
    // that was set, never the caption again.
    if (!hint.isEmpty()) {
        a->setToolTip(hint);
        a->setStatusTip(hint);
    }
    return a;
}

} // namespace

TMainFm::TMainFm(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainFm"));
    setWindowTitle(QStringLiteral("Keyfolio"));

    m_recent = TRecentFiles::ForProgram();
    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("MdiArea"));
    m_area->setBackground(QColor(192, 220, 192));
    m_area->setAccessibleName(QStringLiteral("Keyfolio"));
    setCentralWidget(m_area);

    // File dialogs without a preset folder open in the current working
    // directory: the dialog service does that for the whole run.
    FormFactory = std::make_unique<TWinFormFactory>(m_area, m_recent.get());

    HelpPageFile = HelpPagePath();
    OpenUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };

    A_ShowDefineFm = makeAction(this, "A_ShowDefineFm", QStringLiteral("&Keyboard Definition"),
                                QStringLiteral("Define keyboard and mapping of characthers"));
    A_ShowKbDemoFm = makeAction(this, "A_ShowKbDemoFm", QStringLiteral("Keyboard &Layout"),
                                QStringLiteral("Define location of each key by drag and drop operations"));
    A_ShowFingerDefFm = makeAction(this, "A_ShowFingerDefFm", QStringLiteral("&Finger Definition"),
                                   QStringLiteral("Define length and color of each finger in Tarvo Typing Tutor"));
    A_CheckDefinition = makeAction(this, "A_CheckDefinition", QStringLiteral("&Check Definition"),
                                   QStringLiteral("List what would go wrong in the tutor and lead to each row"));
    A_KeyboardStatistics = makeAction(this, "A_KeyboardStatistics", TranslateQ("Keyboard &Statistics"),
                                      TranslateQ("Count what typing real texts costs on the keyboard"));
    A_TCG = makeAction(this, "A_TCG", QStringLiteral("Typing Course &Generator"), QString());
    A_Dictionary = makeAction(this, "A_Dictionary", QStringLiteral("Dictionary Generator"),
                              QStringLiteral("Make  a dictornary file by scanning text files"));
    A_About = makeAction(this, "A_About", QStringLiteral("About"), QString());
    A_Help = makeAction(this, "A_Help", QStringLiteral("Help"), QString());
    A_Close = makeAction(this, "A_Close", QStringLiteral("Close"), QString());
    A_ClearRecent = makeAction(this, "A_ClearRecent", TranslateQ("Clear recent files"),
                               TranslateQ("Empty the list of recent keyboard packages, dictionaries and strings files"));
    A_Undo = makeAction(this, "A_Undo", TranslateQ("Undo"), QString());
    A_Undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    A_Redo = makeAction(this, "A_Redo", TranslateQ("Redo"), QString());
    A_Redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});

    // A command that fails is reported in this window's name.
    const auto onTriggered = [this](QAction *action, auto handler) {
        connect(action, &QAction::triggered, this, ReportErrors(this, std::move(handler)));
    };
    onTriggered(A_ShowDefineFm, [this] { FormFactory->ShowDefineFm(); });
    onTriggered(A_ShowKbDemoFm, [this] { FormFactory->ShowKbDemoFm(); });
    onTriggered(A_ShowFingerDefFm, [this] { FormFactory->ShowFingerDefFm(); });
    onTriggered(A_CheckDefinition, [this] { FormFactory->ShowCheckFm(); });
    onTriggered(A_KeyboardStatistics, [this] {
        auto *form = FormFactory->GetForm<TKbStatsFm>();
        m_area->setActiveSubWindow(TWinFormFactory::FrameOf(form));
        // The dictionary window's listed words, when it is open.
        form->SetWordListSource([this] {
            std::vector<std::pair<std::string, uint64_t>> words;
            if (auto *dic = FormFactory->FindForm<TDicFm>()) {
                const TRecordTable &list = dic->Builder().WordListDS();
                const int word = list.FindFieldIndex("Word"), count = list.FindFieldIndex("Count");
                for (int i = 0; i < list.RecordCount(); ++i) {
                    const TValue w = list.FieldValueAt(i, word), n = list.FieldValueAt(i, count);
                    if (!w.IsNull() && !n.IsNull() && n.integer() > 0)
                        words.emplace_back(w.bytes(), uint64_t(n.integer()));
                }
            }
            return words;
        });
    });
    onTriggered(A_TCG, [this] { FormFactory->ShowTcgFm(); });
    onTriggered(A_Dictionary, [this] { FormFactory->ShowDicFm(); });
    onTriggered(A_About, [this] { A_AboutExecute(); });
    onTriggered(A_Help, [this] { A_HelpExecute(); });
    connect(A_Close, &QAction::triggered, this, &QWidget::close);
    onTriggered(A_ClearRecent, [this] { m_recent->Clear(); });
    // A step that changed the session's code page (a layout import) takes
    // it back or makes it again with the rows.
    const auto undoOrRedo = [](bool redo) {
        if (!DataMod)
            return;
        TDefinitionHistory &history = DataMod->History();
        const QMetaObject::Connection follow = connect(&history, &TDefinitionHistory::CodePageRestored, &history,
                                                       [](const QString &name) { CodePageChoice::instance().choose(name); });
        const auto done = qScopeGuard([&follow] { disconnect(follow); });
        if (redo)
            history.Redo();
        else
            history.Undo();
    };
    onTriggered(A_Undo, [undoOrRedo] { undoOrRedo(false); });
    onTriggered(A_Redo, [undoOrRedo] { undoOrRedo(true); });

    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    file->addAction(A_About);
    file->addAction(A_Help);
    file->addSeparator();
    RecentMenu = file->addMenu(TranslateQ("Recent files"));
    RecentMenu->setObjectName(QStringLiteral("RecentMenu"));
    file->addAction(A_ClearRecent);
    file->addSeparator();
    file->addAction(A_Close);
    FillRecentMenu();
    connect(m_recent.get(), &TRecentFiles::Changed, this, [this] { FillRecentMenu(); });
    // Whether each file still exists is looked at when the menu opens.
    connect(RecentMenu, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });

    QMenu *edit = menuBar()->addMenu(TranslateQ("Edit"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    edit->addAction(A_Undo);
    edit->addAction(A_Redo);
    connect(edit, &QMenu::aboutToShow, this, [this] { BindHistory(); });

    QMenu *keyboard = menuBar()->addMenu(QStringLiteral("Virtual keyboard"));
    keyboard->setObjectName(QStringLiteral("VirtualKeyboardMenu"));
    keyboard->addAction(A_ShowDefineFm);
    keyboard->addAction(A_ShowKbDemoFm);
    keyboard->addAction(A_ShowFingerDefFm);
    keyboard->addAction(A_KeyboardStatistics);
    keyboard->addSeparator();
    keyboard->addAction(A_CheckDefinition);

    QMenu *words = menuBar()->addMenu(QStringLiteral("Word list"));
    words->setObjectName(QStringLiteral("WordListMenu"));
    words->addAction(A_TCG);
    words->addAction(A_Dictionary);

    buildCodePageMenu();

    for (QMenu *m : {file, edit, keyboard, words, CodePageMenu, RecentMenu})
        m->setToolTipsVisible(true);
    UpdateUndoActions();
    buildStartPage();

    const QScreen *screen = QGuiApplication::primaryScreen();
    setGeometry(RestoredGeometry(screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768)));
}

TMainFm::~TMainFm()
{
    m_area->viewport()->removeEventFilter(this);
    m_area->removeEventFilter(this);
    m_startPage = nullptr; // goes with the window
    // The tool windows go with the frame, without their closing steps.
    delete m_area;
    m_area = nullptr;
}

void TMainFm::buildCodePageMenu()
{
    CodePageMenu = menuBar()->addMenu(TranslateQ("Code page"));
    CodePageMenu->setObjectName(QStringLiteral("CodePageMenu"));
    CodePageActions = new QActionGroup(this);
    CodePageActions->setExclusive(true);

    const QString hint = TranslateQ("Read and write keyboard packages, demo texts and word lists in this code page");
    QStringList names;
    for (const std::string &name : CodePage::desktopCodePages())
        names << QString::fromStdString(name);
    // A code page set outside the list (KEYFOLIO_CODEPAGE) is offered too.
    CodePageChoice &choice = CodePageChoice::instance();
    if (!names.contains(choice.current()))
        names << choice.current();
    for (const QString &name : names) {
        QAction *a = makeAction(this, "", name, hint);
        a->setObjectName(QStringLiteral("A_CodePage_") + name);
        a->setData(name);
        a->setCheckable(true);
        a->setChecked(name == choice.current());
        CodePageActions->addAction(a);
        CodePageMenu->addAction(a);
        connect(a, &QAction::triggered, this, ReportErrors(this, [this, a] {
                    // A choice that fails leaves the check on the code page in force.
                    const auto showAfter = qScopeGuard([this] { ShowCodePageInForce(); });
                    CodePageChoice::instance().choose(a->data().toString());
                }));
    }
    // The check follows the code page in force, whoever changes it.
    connect(&choice, &CodePageChoice::changed, this, [this] { ShowCodePageInForce(); });
}

void TMainFm::ShowCodePageInForce()
{
    const QString inForce = CodePageChoice::instance().current();
    for (QAction *a : CodePageActions->actions())
        a->setChecked(a->data().toString() == inForce);
}

QRect TMainFm::RestoredGeometry(const QRect &screen)
{
    return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(763, 522), screen);
}

void TMainFm::BindHistory()
{
    TDefinitionHistory *history = DataMod ? &DataMod->History() : nullptr;
    if (history != m_history) {
        if (m_history)
            disconnect(m_history, nullptr, this, nullptr);
        m_history = history;
        if (history)
            connect(history, &TDefinitionHistory::Changed, this, [this] { UpdateUndoActions(); });
    }
    UpdateUndoActions();
}

void TMainFm::UpdateUndoActions()
{
    const TDefinitionHistory *h = m_history;
    A_Undo->setEnabled(h && h->CanUndo());
    A_Undo->setText(h && h->CanUndo() ? TranslateQ("Undo %1").arg(h->UndoText()) : TranslateQ("Undo"));
    A_Redo->setEnabled(h && h->CanRedo());
    A_Redo->setText(h && h->CanRedo() ? TranslateQ("Redo %1").arg(h->RedoText()) : TranslateQ("Redo"));
}

void TMainFm::showEvent(QShowEvent *event)
{
    // The data module is made after this window, before it shows.
    BindHistory();
    QMainWindow::showEvent(event);
}

bool TMainFm::ConfirmDefinitionSaved()
{
    // An open definition window knows of typed texts too, and saves.
    if (TDefineFm *form = FormFactory->FindForm<TDefineFm>())
        return form->AskToSaveChanges();
    // Typed texts are the definition's even when their window is closed.
    if (!DataMod || !DataMod->Unsaved())
        return true;
    switch (Dialogs().saveDiscardCancel(TDefineFm::SaveQuestion())) {
    case SaveAnswer::Save: {
        bool saved = false;
        RunReportingErrors(this, [&] {
            FormFactory->ShowDefineFm();
            TDefineFm *form = FormFactory->FindForm<TDefineFm>();
            if (!form)
                return;
            saved = form->SaveDefinition();
        });
        return saved;
    }
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool TMainFm::ConfirmWorkSaved()
{
    if (!ConfirmDefinitionSaved())
        return false;
    for (QMdiSubWindow *sub : m_area->subWindowList()) {
        auto *form = qobject_cast<TChildForm *>(sub->widget());
        if (!form || sub->isHidden() || form->UnsavedWork().isEmpty())
            continue;
        if (sub->isMinimized())
            sub->showNormal();
        m_area->setActiveSubWindow(sub);
        if (!form->AskToKeepWork())
            return false;
    }
    return true;
}

void TMainFm::closeEvent(QCloseEvent *event)
{
    if (!ConfirmWorkSaved()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TMainFm::buildStartPage()
{
    QWidget *viewport = m_area->viewport();
    // The page lies over the frame's client area as a child of the main
    // window: assistive technology sees a frame's windows only, so a page
    // inside the frame would be out of its reach.
    m_startPage = new TStartPage(*m_recent, this);
    placeStartPage();
    // The frame's windows are watched as they come and go, its client area
    // as it moves and changes size.
    viewport->installEventFilter(this);
    m_area->installEventFilter(this);

    const auto onClicked = [this](QCommandLinkButton *button, auto handler) {
        connect(button, &QCommandLinkButton::clicked, this, ReportErrors(this, std::move(handler)));
    };
    onClicked(m_startPage->ImportLayoutBn, [this] { StartImportLayout(); });
    onClicked(m_startPage->OpenPackageBn, [this] { StartOpenPackage(); });
    onClicked(m_startPage->DictionaryBn, [this] { FormFactory->ShowDicFm(); });
    onClicked(m_startPage->CourseBn, [this] { FormFactory->ShowTcgFm(); });
    onClicked(m_startPage->HelpBn, [this] { A_HelpExecute(); });
    connect(m_startPage, &TStartPage::RecentChosen, this,
            ReportErrors(this, [this](RecentKind kind, const QString &path) { OpenRecent(kind, path); }));
    UpdateStartPage();
}

bool TMainFm::eventFilter(QObject *watched, QEvent *event)
{
    if (m_startPage && m_area) {
        QWidget *viewport = m_area->viewport();
        if (watched == viewport) {
            switch (event->type()) {
            case QEvent::Resize:
            case QEvent::Move:
                placeStartPage();
                break;
            case QEvent::ChildAdded:
                // A window still being made: its showing and hiding are watched.
                if (QObject *child = static_cast<QChildEvent *>(event)->child(); child != m_startPage)
                    child->installEventFilter(this);
                break;
            case QEvent::ChildRemoved:
                UpdateStartPage();
                break;
            default:
                break;
            }
        } else if (watched == m_area && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
            placeStartPage();
        } else if ((event->type() == QEvent::Show || event->type() == QEvent::Hide)
                   && qobject_cast<QMdiSubWindow *>(watched)) {
            UpdateStartPage();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainFm::changeEvent(QEvent *event)
{
    // Back in the program: a recent file may have gone meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_startPage && m_startPage->isVisible())
        m_startPage->Refresh();
    QMainWindow::changeEvent(event);
}

void TMainFm::UpdateStartPage()
{
    if (!m_startPage)
        return;
    bool toolOpen = false;
    for (QMdiSubWindow *w : m_area->subWindowList())
        toolOpen = toolOpen || !w->isHidden();
    if (toolOpen == m_startPage->isHidden())
        return;
    m_startPage->setVisible(!toolOpen);
    if (!toolOpen) {
        placeStartPage();
        m_startPage->raise();
        m_startPage->setFocus();
    }
}

void TMainFm::placeStartPage()
{
    if (!m_startPage || !m_area)
        return;
    const QWidget *viewport = m_area->viewport();
    m_startPage->setGeometry(QRect(viewport->mapTo(this, QPoint(0, 0)), viewport->size()));
    m_startPage->raise();
}

void TMainFm::FillRecentMenu()
{
    RecentMenu->clear();
    for (RecentKind kind : TRecentFiles::Kinds) {
        const QStringList files = m_recent->Files(kind);
        if (files.isEmpty())
            continue;
        RecentMenu->addSection(TRecentFiles::Caption(kind));
        for (const QString &file : files) {
            const QFileInfo info(file);
            QString name = info.fileName();
            name.replace(QLatin1Char('&'), QStringLiteral("&&"));
            if (!info.exists())
                name = TranslateQ("%1 (missing)").arg(name);
            QString folder = QDir::toNativeSeparators(info.absolutePath());
            folder.replace(QLatin1Char('&'), QStringLiteral("&&"));
            QAction *a = RecentMenu->addAction(QStringLiteral("%1  \u2014  %2").arg(name, folder));
            a->setToolTip(QDir::toNativeSeparators(file));
            a->setData(file);
            connect(a, &QAction::triggered, this,
                    ReportErrors(this, [this, kind, file] { OpenRecent(kind, file); }));
        }
    }
    if (m_recent->IsEmpty())
        RecentMenu->addAction(TranslateQ("No recent files"))->setEnabled(false);
    A_ClearRecent->setEnabled(!m_recent->IsEmpty());
}

void TMainFm::StartImportLayout()
{
    FormFactory->ShowDefineFm();
    if (TDefineFm *form = FormFactory->FindForm<TDefineFm>())
        form->ImportBnClick();
}

void TMainFm::StartOpenPackage()
{
    FormFactory->ShowDefineFm();
    if (TDefineFm *form = FormFactory->FindForm<TDefineFm>())
        form->LoadBnClick();
}

void TMainFm::OpenRecent(RecentKind kind, const QString &path)
{
    if (!QFileInfo::exists(path)) {
        m_recent->Remove(kind, path);
        Dialogs().information(TranslateQ("\"%1\" no longer exists. It has been taken off the recent files.")
                                  .arg(QDir::toNativeSeparators(path)));
        return;
    }
    switch (kind) {
    case RecentKind::Package:
        FormFactory->ShowDefineFm();
        if (TDefineFm *form = FormFactory->FindForm<TDefineFm>())
            form->OpenPackage(path);
        break;
    case RecentKind::Dictionary:
        FormFactory->ShowTcgFm();
        if (TTcgFm *form = FormFactory->FindForm<TTcgFm>())
            form->OpenDictionary(path);
        break;
    case RecentKind::Strings:
        FormFactory->ShowTcgFm();
        if (TTcgFm *form = FormFactory->FindForm<TTcgFm>())
            form->OpenStrings(path);
        break;
    }
}

void TMainFm::A_AboutExecute()
{
    TFmAbout box; // a fresh box each time, gone when closed
    box.exec();
}

void TMainFm::A_HelpExecute()
{
    OpenHelpPage(HelpPageFile, OpenUrl);
}

} // namespace kf
