#pragma once
// The dialog service of the command line: messages and warnings go to stderr,
// and every question is answered as if cancelled (no one is there to answer).

#include "common/Dialogs.h"

#include <iosfwd>

namespace kf::tool {

class ConsoleDialogs : public IDialogs {
public:
    // Writes to the given stream (stderr by default); not owned.
    explicit ConsoleDialogs(std::ostream *out = nullptr);

    // Installs a ConsoleDialogs as the service unless one is installed already.
    static void install();

    int warnings() const { return m_warnings; }

    QStringList openFiles(const FileRequest &request) override;
    QString saveFile(const FileRequest &request) override;
    std::optional<uint32_t> chooseColor(uint32_t initial) override;
    void information(const QString &text) override;
    bool confirm(const QString &text) override;
    bool okCancel(const QString &text) override;
    SaveAnswer saveDiscardCancel(const QString &text) override;
    std::optional<QString> inputBox(const QString &caption, const QString &prompt,
                                    const QString &defaultValue) override;
    void warning(const QString &caption, const QString &text) override;
    void message(const QString &caption, const QString &text) override;
    void error(const QString &caption, const QString &text) override;

private:
    void print(const QString &text);
    std::ostream *m_out;
    int m_warnings = 0;
};

} // namespace kf::tool
