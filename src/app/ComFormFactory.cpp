#include "app/ComFormFactory.h"

#include "common/ErrorReport.h"
#include "app/AppIcon.h"
#include "ui/RecentFiles.h"
#include "define/CheckForm.h"
#include "define/DefineForm.h"
#include "define/FingerDefForm.h"
#include "keyboard/KbDemoForm.h"
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace kf {

TWinFormFactory::TWinFormFactory(QMdiArea *area, TRecentFiles *recent) : m_area(area), m_recent(recent) {}

QMdiSubWindow *TWinFormFactory::FrameOf(const QWidget *form)
{
    return form ? qobject_cast<QMdiSubWindow *>(form->parentWidget()) : nullptr;
}

TChildForm *TWinFormFactory::FindForm(const QMetaObject &cls) const
{
    const auto windows = m_area->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow *sub : windows) {
        // A closed window waits for its deletion hidden; it no longer counts.
        if (sub->isHidden())
            continue;
        QWidget *w = sub->widget();
        if (w && w->metaObject() == &cls)
            return static_cast<TChildForm *>(w);
    }
    return nullptr;
}

TChildForm *TWinFormFactory::GetForm(const QMetaObject &cls,
                                     const std::function<std::unique_ptr<TChildForm>()> &make)
{
    TChildForm *form = FindForm(cls);
    if (!form) {
        // An error while the controls are built ends the request; nothing is left.
        std::unique_ptr<TChildForm> made = make();
        Qt::WindowFlags flags = Qt::SubWindow | Qt::WindowTitleHint
                                | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                                | Qt::WindowCloseButtonHint;
        // A window that may grow may be maximised too.
        if (made->maximumSize() != made->minimumSize())
            flags |= Qt::WindowMaximizeButtonHint;
        QMdiSubWindow *sub = m_area->addSubWindow(made.get(), flags);
        form = made.release(); // the frame window owns it now
        if (m_recent)
            QObject::connect(form, &TChildForm::FileUsed, m_recent, &TRecentFiles::Add);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setAttribute(Qt::WA_AlwaysShowToolTips);
        sub->setWindowIcon(KeyfolioIcon());
        RunReportingErrors(form, [form] { form->FormCreate(); }); // creation goes on
        sub->adjustSize();
        sub->show();
    }
    QMdiSubWindow *sub = FrameOf(form);
    if (sub->isMinimized() || sub->isMaximized())
        sub->showNormal();
    sub->raise();
    return form;
}

template <class T>
void TWinFormFactory::show()
{
    T *form = GetForm<T>();
    QMdiSubWindow *sub = FrameOf(form);
    sub->show();
    m_area->setActiveSubWindow(sub);
}

TDefineFm *TWinFormFactory::defineForm()
{
    return static_cast<TDefineFm *>(GetForm(TDefineFm::staticMetaObject, [this] {
        auto form = std::make_unique<TDefineFm>();
        TDefineFm *made = form.get();
        QObject::connect(made, &TDefineFm::CheckRequested, made,
                         ReportErrors(made, [this] { showCheckResults(); }));
        return std::unique_ptr<TChildForm>(std::move(form));
    }));
}

void TWinFormFactory::ShowDefineFm()
{
    QMdiSubWindow *sub = FrameOf(defineForm());
    sub->show();
    m_area->setActiveSubWindow(sub);
}

void TWinFormFactory::ShowCheckFm()
{
    ShowDefineFm();
    defineForm()->CheckBnClick();
}

void TWinFormFactory::showCheckResults()
{
    const bool fresh = FindForm(TCheckFm::staticMetaObject) == nullptr;
    auto *form = static_cast<TCheckFm *>(GetForm(TCheckFm::staticMetaObject, [this] {
        auto made = std::make_unique<TCheckFm>();
        TCheckFm *check = made.get();
        // A line leads to its row in the definition window, opened again
        // when it was closed meanwhile.
        QObject::connect(check, &TCheckFm::FindingActivated, check, ReportErrors(check, [this, check](int index) {
                             TDefineFm *define = defineForm();
                             FrameOf(define)->show();
                             check->GoToFinding(index, *define);
                         }));
        return std::unique_ptr<TChildForm>(std::move(made));
    }));
    form->RunCheck();
    QMdiSubWindow *sub = FrameOf(form);
    if (fresh)
        placeBeside(sub, FrameOf(FindForm(TDefineFm::staticMetaObject)));
    sub->show();
    m_area->setActiveSubWindow(sub);
}

void TWinFormFactory::placeBeside(QMdiSubWindow *sub, const QMdiSubWindow *other) const
{
    // Below the other window, else right of it, where the frame has room for
    // the whole window; else where the frame put it.
    if (!other)
        return;
    const QSize room = m_area->viewport()->size();
    const QRect taken = other->geometry();
    const QSize size = sub->frameGeometry().size();
    if (taken.bottom() + 1 + size.height() <= room.height())
        sub->move(taken.left(), taken.bottom() + 1);
    else if (taken.right() + 1 + size.width() <= room.width())
        sub->move(taken.right() + 1, taken.top());
}

void TWinFormFactory::ShowKbDemoFm()
{
    show<TKbDemoFm>();
}

void TWinFormFactory::ShowFingerDefFm()
{
    show<TFingerDefFm>();
}

void TWinFormFactory::ShowTcgFm()
{
    show<TTcgFm>();
}

void TWinFormFactory::ShowDicFm()
{
    show<TDicFm>();
}

} // namespace kf
