#include "tool/ConsoleDialogs.h"

#include <iostream>

namespace kf::tool {

ConsoleDialogs::ConsoleDialogs(std::ostream *out) : m_out(out ? out : &std::cerr) {}

void ConsoleDialogs::install()
{
    if (dynamic_cast<ConsoleDialogs *>(&Dialogs()))
        return;
    SetDialogs(std::make_unique<ConsoleDialogs>());
}

void ConsoleDialogs::print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    m_out->write(bytes.constData(), bytes.size());
    *m_out << '\n';
    m_out->flush();
}

QStringList ConsoleDialogs::openFiles(const FileRequest &)
{
    return {};
}

QString ConsoleDialogs::saveFile(const FileRequest &)
{
    return {};
}

std::optional<uint32_t> ConsoleDialogs::chooseColor(uint32_t)
{
    return std::nullopt;
}

void ConsoleDialogs::information(const QString &text)
{
    print(text);
}

bool ConsoleDialogs::confirm(const QString &text)
{
    print(text);
    return false;
}

SaveAnswer ConsoleDialogs::saveDiscardCancel(const QString &text)
{
    print(text);
    return SaveAnswer::Cancel;
}

bool ConsoleDialogs::okCancel(const QString &text)
{
    print(text);
    return false;
}

std::optional<QString> ConsoleDialogs::inputBox(const QString &, const QString &, const QString &)
{
    return std::nullopt;
}

void ConsoleDialogs::warning(const QString &, const QString &text)
{
    ++m_warnings;
    print(text);
}

void ConsoleDialogs::message(const QString &, const QString &text)
{
    print(text);
}

void ConsoleDialogs::error(const QString &, const QString &text)
{
    print(text);
}

} // namespace kf::tool
