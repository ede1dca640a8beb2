#pragma once
// The child-window factory: finds the open window of a class in the frame,
// or creates it; restores, raises and shows it. It keeps no list of its own:
// the frame's windows are the only record.

#include "ui/ChildForm.h"
#include "app/IntfFormFactory.h"

#include <functional>
#include <memory>

class QMdiArea;
class QMdiSubWindow;
struct QMetaObject;

namespace kf {

class TDefineFm;
class TRecentFiles;

class TWinFormFactory : public IFormFactory {
public:
    // area: the frame the windows live in (not owned); recent: where the
    // windows report the files they load or save (not owned; may be nullptr).
    explicit TWinFormFactory(QMdiArea *area, TRecentFiles *recent = nullptr);

    void ShowDefineFm() override;
    void ShowKbDemoFm() override;
    void ShowFingerDefFm() override;
    void ShowTcgFm() override;
    void ShowDicFm() override;
    void ShowCheckFm() override;

    // The open window of exactly class T (not of a derived class), or nullptr.
    template <class T>
    T *FindForm() const
    {
        return static_cast<T *>(FindForm(T::staticMetaObject));
    }

    // The single window of class T, found or newly made, in normal state
    // and raised.
    template <class T>
    T *GetForm()
    {
        return static_cast<T *>(
            GetForm(T::staticMetaObject, [] { return std::unique_ptr<TChildForm>(new T); }));
    }

    TChildForm *FindForm(const QMetaObject &cls) const;
    TChildForm *GetForm(const QMetaObject &cls,
                        const std::function<std::unique_ptr<TChildForm>()> &make);

    // The frame window holding form, or nullptr.
    static QMdiSubWindow *FrameOf(const QWidget *form);

private:
    template <class T>
    void show();
    // The definition window, found or made; a new one has its Check wired
    // to the check window.
    TDefineFm *defineForm();
    // Checks the definition and shows the findings, for the definition
    // window whose Check was pressed.
    void showCheckResults();
    // Moves a new window where it does not cover other, when there is room.
    void placeBeside(QMdiSubWindow *sub, const QMdiSubWindow *other) const;

    QMdiArea *m_area; // not owned
    TRecentFiles *m_recent; // not owned
};

} // namespace kf
