#pragma once
// The application-wide error report: every error that escapes an event
// handler ends up here and is shown in a modal box; the program goes on.

#include <QString>
#include <exception>

class QObject;

namespace kf {

// The title the desktop shows for the program and the caption of its error box.
inline const QString &ApplicationTitle()
{
    static const QString title = QStringLiteral("Tarvo Keyfolio");
    return title;
}

// The class name of the object that handled the event: the nearest of sender
// and its parents that is one of the program's own classes (a window, a
// bound control), else sender's own class; without namespace.
QString HandlerClassName(const QObject *sender);

// The class name of an error's kind ("EDatabaseError").
QString ErrorKindName(const std::exception &e);

// "AppException: " + handler class + "~" + error kind + "--" + message.
QString AppExceptionText(const QObject *sender, const std::exception &e);

// Shows AppExceptionText in a modal box with OK, captioned with the
// application title, through the dialog service.
void AppException(const QObject *sender, const std::exception &e);

} // namespace kf
