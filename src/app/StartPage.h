#pragma once
// The start page: what the main window's client area shows while no tool
// window is open. The program's name and version, the ways to begin (each a
// large button with a line that says what it does), and the recent keyboard
// packages, dictionaries and course strings files, each a list of its own.

#include "ui/RecentFiles.h"

#include <QWidget>

#include <array>

class QCommandLinkButton;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace kf {

class TStartPage : public QWidget {
    Q_OBJECT
public:
    // recent: the list the page shows and follows (not owned; outlives the page).
    explicit TStartPage(TRecentFiles &recent, QWidget *parent = nullptr);

    QLabel *TitleLb;
    QLabel *VersionLb;
    QCommandLinkButton *ImportLayoutBn; // "Import a system keyboard layout..."
    QCommandLinkButton *OpenPackageBn;  // "Open a keyboard package..."
    QCommandLinkButton *DictionaryBn;   // "Make a dictionary from texts"
    QCommandLinkButton *CourseBn;       // "Make a typing course"
    QCommandLinkButton *HelpBn;         // "Help"

    // The recent files of a kind, newest first; a file that no longer exists
    // is greyed and marked "(missing)".
    QListWidget *RecentList(RecentKind kind) const { return m_lists[size_t(kind)]; }
    // What an empty kind shows instead of its list.
    QLabel *NoneLabel(RecentKind kind) const { return m_none[size_t(kind)]; }

    // The file an entry stands for.
    static QString FileOf(const QListWidgetItem *item);
    // Shows the list as it is now (and whether each file exists).
    void Refresh();

signals:
    // An entry was clicked or chosen with Enter or Space.
    void RecentChosen(kf::RecentKind kind, const QString &path);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildRecentColumn(RecentKind kind);
    void choose(RecentKind kind, const QListWidgetItem *item);

    TRecentFiles &m_recent; // not owned
    std::array<QListWidget *, 3> m_lists{};
    std::array<QLabel *, 3> m_none{};
};

} // namespace kf
