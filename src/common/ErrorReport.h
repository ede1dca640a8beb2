#pragma once
// The application-wide error report: every error that escapes an event
// handler ends up here and is shown in a modal box; the program goes on.

#include <QString>
#include <exception>
#include <stdexcept>
#include <type_traits>
#include <utility>

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

// Runs handler now. An error it throws is shown as AppException does, in the
// name of context, and goes no further: no exception ever leaves an event
// handler through Qt's signal code. Returns whether handler finished.
template <class F, class... Args>
bool RunReportingErrors(const QObject *context, F &&handler, Args &&...args) noexcept
{
    try {
        std::forward<F>(handler)(std::forward<Args>(args)...);
        return true;
    } catch (const std::exception &e) {
        AppException(context, e);
    } catch (...) {
        AppException(context, std::runtime_error("Unknown error"));
    }
    return false;
}

namespace detail {
template <class F, class First, class... Rest>
void callWithFirstOf(F &handler, First &&first, Rest &&...)
{
    handler(std::forward<First>(first));
}
} // namespace detail

// Calls handler with none of args when it takes none, else with the first.
template <class F, class... Args>
void callWithFirst(F &handler, Args &&...args)
{
    if constexpr (std::is_invocable_v<F &>)
        handler();
    else
        detail::callWithFirstOf(handler, std::forward<Args>(args)...);
}

// The slot to connect a handler that can fail:
//   connect(button, &QPushButton::clicked, this, ReportErrors(this, [this] { Save(); }));
// The handler takes the signal's arguments (or the first of them, or none).
template <class F>
auto ReportErrors(const QObject *context, F handler)
{
    return [context, handler = std::move(handler)](auto &&...args) mutable {
        if constexpr (std::is_invocable_v<F &, decltype(args)...>)
            RunReportingErrors(context, handler, std::forward<decltype(args)>(args)...);
        else
            RunReportingErrors(context, [&handler, &args...] { callWithFirst(handler, args...); });
    };
}

} // namespace kf
