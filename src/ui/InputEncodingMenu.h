#pragma once
// The menu that chooses how a window reads the text files it opens: Auto
// (a byte-order mark, else valid UTF-8, else the code page), the code page
// in force, UTF-8, UTF-16 LE or UTF-16 BE. One item is checked at a time;
// Auto is checked at first. The code page item names the code page in force
// and follows the session's choice of it.

#include "common/CodePageDecoder.h"

#include <QMenu>

#include <array>

class QActionGroup;

namespace kf {

class InputEncodingMenu : public QMenu {
    Q_OBJECT
public:
    explicit InputEncodingMenu(QWidget *parent = nullptr);

    // The checked choice.
    InputEncoding encoding() const;
    void setEncoding(InputEncoding encoding);
    // The item of a choice.
    QAction *action(InputEncoding encoding) const;

    // "&Code page (CP1252)" for the code page named.
    static QString CodePageCaption(const QString &codePage);

private:
    QActionGroup *m_group;
    std::array<QAction *, 5> m_actions{};
};

} // namespace kf
