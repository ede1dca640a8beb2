#pragma once
// The code page in force for the session, as the windows see it: the main
// window's choice goes through here, and every window that shows the code
// page or reads and writes text in it follows the changed() signal.

#include <QObject>
#include <QString>

class QLabel;
class QWidget;

namespace kf {

class CodePageChoice : public QObject {
    Q_OBJECT
public:
    static CodePageChoice &instance();

    // The name of the code page in force ("CP1252").
    QString current() const;
    // Makes it the one in force; throws EConvertError, changing nothing, for
    // a code page the system cannot convert. Announces only a real change.
    void choose(const QString &name);

signals:
    void changed(const QString &name);

private:
    CodePageChoice() = default;
};

// A value label named "CodePageLb" that shows the code page in force and
// follows every change of it; assistive technology reads it as "Code page".
QLabel *NewCodePageLabel(QWidget *parent, const QString &toolTip);

} // namespace kf
