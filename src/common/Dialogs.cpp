#include "common/Dialogs.h"

#include <QtGlobal>

namespace kf {

namespace {

// The stand-in while no service is installed: it asks no one. Questions are
// cancelled (nothing is opened, saved, overwritten or deleted); everything is
// logged so that a message shown to no one still leaves a trace.
class NoDialogs : public IDialogs {
public:
    QStringList openFiles(const FileRequest &request) override
    {
        log("open file", request.title);
        return {};
    }
    QString saveFile(const FileRequest &request) override
    {
        log("save file", request.title);
        return {};
    }
    std::optional<uint32_t> chooseColor(uint32_t) override
    {
        log("colour", QString());
        return std::nullopt;
    }
    void information(const QString &text) override { log("information", text); }
    bool confirm(const QString &text) override
    {
        log("question", text);
        return false;
    }
    bool okCancel(const QString &text) override
    {
        log("question", text);
        return false;
    }
    SaveAnswer saveDiscardCancel(const QString &text) override
    {
        log("question", text);
        return SaveAnswer::Cancel;
    }
    std::optional<QString> inputBox(const QString &caption, const QString &prompt, const QString &) override
    {
        log("input", caption + QLatin1Char(' ') + prompt);
        return std::nullopt;
    }
    void warning(const QString &, const QString &text) override { log("warning", text); }
    void message(const QString &, const QString &text) override { log("message", text); }
    void error(const QString &, const QString &text) override { log("error", text); }

private:
    static void log(const char *what, const QString &text)
    {
        qWarning("No dialog service installed; %s not shown: %s", what, qUtf8Printable(text));
    }
};

std::unique_ptr<IDialogs> &slot()
{
    static std::unique_ptr<IDialogs> s = std::make_unique<NoDialogs>();
    return s;
}

} // namespace

IDialogs &Dialogs()
{
    return *slot();
}

std::unique_ptr<IDialogs> SetDialogs(std::unique_ptr<IDialogs> dialogs)
{
    if (!dialogs)
        dialogs = std::make_unique<NoDialogs>();
    std::swap(slot(), dialogs);
    return dialogs;
}

bool DialogsInstalled()
{
    return dynamic_cast<NoDialogs *>(slot().get()) == nullptr;
}

} // namespace kf
