#include "app/ComFormFactory.h"

#include "common/ErrorReport.h"
#include "app/AppIcon.h"
#include "define/DefineForm.h"
#include "define/FingerDefForm.h"
#include "keyboard/KbDemoForm.h"
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace kf {

TWinFormFactory::TWinFormFactory(QMdiArea *area) : m_area(area) {}

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
        const Qt::WindowFlags flags = Qt::SubWindow | Qt::WindowTitleHint
                                      | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                                      | Qt::WindowCloseButtonHint;
        QMdiSubWindow *sub = m_area->addSubWindow(made.get(), flags);
        form = made.release(); // the frame window owns it now
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

void TWinFormFactory::ShowDefineFm()
{
    show<TDefineFm>();
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
