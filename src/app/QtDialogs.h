#pragma once
// The dialog service on the desktop: Qt's file, colour, input and message
// dialogs. File dialogs without a preset folder open in the current working
// directory.

#include "common/Dialogs.h"

namespace kf {

// Turns a filter written as "Text|*.a;*.b|Text2|*.c" into Qt's
// "Text (*.a *.b);;Text2 (*.c)". A text that already ends with its
// patterns in brackets keeps them once.
QString QtFileFilter(const QString &filter);

class QtDialogs : public IDialogs {
public:
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

};

} // namespace kf
