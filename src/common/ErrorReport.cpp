#include "common/ErrorReport.h"

#include "common/Dialogs.h"
#include "common/Errors.h"

#include <QCoreApplication>
#include <QObject>

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace kf {

namespace {

QString withoutNamespace(const QString &name)
{
    const int at = name.lastIndexOf(QStringLiteral("::"));
    return at < 0 ? name : name.mid(at + 2);
}

bool isOwnClass(const QObject *o)
{
    return qstrncmp(o->metaObject()->className(), "kf::", 4) == 0;
}

} // namespace

QString HandlerClassName(const QObject *sender)
{
    if (!sender)
        sender = QCoreApplication::instance();
    if (!sender)
        return QStringLiteral("TApplication");
    for (const QObject *o = sender; o; o = o->parent())
        if (isOwnClass(o))
            return withoutNamespace(QString::fromLatin1(o->metaObject()->className()));
    return withoutNamespace(QString::fromLatin1(sender->metaObject()->className()));
}

QString ErrorKindName(const std::exception &e)
{
    if (const auto *own = dynamic_cast<const Exception *>(&e))
        return QString::fromLatin1(own->kind());
    const char *mangled = typeid(e).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void *)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return withoutNamespace(QString::fromLatin1(status == 0 && demangled ? demangled.get() : mangled));
}

QString AppExceptionText(const QObject *sender, const std::exception &e)
{
    return QStringLiteral("AppException: ") + HandlerClassName(sender) + QLatin1Char('~')
           + ErrorKindName(e) + QStringLiteral("--") + QString::fromUtf8(e.what());
}

void AppException(const QObject *sender, const std::exception &e)
{
    Dialogs().message(ApplicationTitle(), AppExceptionText(sender, e));
}

} // namespace kf
