#include "common/ScriptedDialogs.h"

#include <stdexcept>

namespace kf {

int ScriptedDialogs::count(Kind kind) const
{
    int n = 0;
    for (const auto &a : m_asked)
        n += a.kind == kind;
    return n;
}

const ScriptedDialogs::Asked &ScriptedDialogs::last(Kind kind) const
{
    for (auto it = m_asked.rbegin(); it != m_asked.rend(); ++it)
        if (it->kind == kind)
            return *it;
    throw std::out_of_range("no dialog of that kind was asked");
}

ScriptedDialogs::Answer ScriptedDialogs::next()
{
    if (m_answers.empty())
        return Answer{false, {}, 0, {}};
    Answer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

QStringList ScriptedDialogs::openFiles(const FileRequest &request)
{
    m_asked.push_back({Kind::OpenFiles, request.title, request.filter, request});
    const Answer a = next();
    return a.accept ? a.files : QStringList();
}

QString ScriptedDialogs::saveFile(const FileRequest &request)
{
    m_asked.push_back({Kind::SaveFile, request.title, request.filter, request});
    const Answer a = next();
    return a.accept && !a.files.isEmpty() ? a.files.first() : QString();
}

std::optional<uint32_t> ScriptedDialogs::chooseColor(uint32_t initial)
{
    FileRequest none;
    m_asked.push_back({Kind::Color, QString(), QString::number(initial), none});
    const Answer a = next();
    if (!a.accept)
        return std::nullopt;
    return a.color;
}

void ScriptedDialogs::information(const QString &text)
{
    m_asked.push_back({Kind::Information, QString(), text, {}});
}

bool ScriptedDialogs::confirm(const QString &text)
{
    m_asked.push_back({Kind::Confirm, QStringLiteral("Confirm"), text, {}});
    return next().accept;
}

bool ScriptedDialogs::okCancel(const QString &text)
{
    m_asked.push_back({Kind::OkCancel, QString(), text, {}});
    return next().accept;
}

SaveAnswer ScriptedDialogs::saveDiscardCancel(const QString &text)
{
    m_asked.push_back({Kind::SaveDiscard, QString(), text, {}});
    const Answer a = next();
    return a.accept ? SaveAnswer::Save : a.discard ? SaveAnswer::Discard : SaveAnswer::Cancel;
}

std::optional<QString> ScriptedDialogs::inputBox(const QString &caption, const QString &prompt,
                                                 const QString &defaultValue)
{
    FileRequest r;
    r.fileName = defaultValue;
    m_asked.push_back({Kind::Input, caption, prompt, r});
    const Answer a = next();
    if (!a.accept)
        return std::nullopt;
    return a.text;
}

void ScriptedDialogs::warning(const QString &caption, const QString &text)
{
    m_asked.push_back({Kind::Warning, caption, text, {}});
}

void ScriptedDialogs::message(const QString &caption, const QString &text)
{
    m_asked.push_back({Kind::Message, caption, text, {}});
}

void ScriptedDialogs::error(const QString &caption, const QString &text)
{
    m_asked.push_back({Kind::Error, caption, text, {}});
}

} // namespace kf
