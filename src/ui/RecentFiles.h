#pragma once
// The files of the last sessions: the keyboard packages, dictionaries and
// course strings files loaded or saved successfully, newest first, up to
// MaxPerKind of each. The start page and File > "Recent files" show them.
// The list is kept in the desktop's settings store, or only for the session
// (KEYFOLIO_NO_SETTINGS=1, and in every test); nothing else is kept there.

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class QSettings;

namespace kf {

// What a recent file is, and so which window opens it.
enum class RecentKind { Package, Dictionary, Strings };

class TRecentFiles : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxPerKind = 8;
    static constexpr std::array<RecentKind, 3> Kinds{RecentKind::Package, RecentKind::Dictionary,
                                                     RecentKind::Strings};

    // A list kept for this session only.
    TRecentFiles();
    // A list read from settings now and written back there on every change.
    explicit TRecentFiles(std::unique_ptr<QSettings> settings);
    ~TRecentFiles() override;

    // The program's list: in the settings store under the project's
    // organisation and program names, or for the session only when the
    // environment has KEYFOLIO_NO_SETTINGS=1.
    static std::unique_ptr<TRecentFiles> ForProgram();
    static bool SettingsSwitchedOff();

    // Whether the list outlives the session.
    bool Kept() const { return m_settings != nullptr; }

    // The files of a kind, absolute, newest first.
    QStringList Files(RecentKind kind) const;
    bool IsEmpty() const;

    // A file of that kind was loaded or saved: it goes to the front (once),
    // and the oldest beyond MaxPerKind drops off.
    void Add(RecentKind kind, const QString &path);
    void Remove(RecentKind kind, const QString &path);
    void Clear();

    // The settings key a kind is kept under, and the caption of its group.
    static QString Key(RecentKind kind);
    static QString Caption(RecentKind kind);

signals:
    void Changed();

private:
    QStringList &list(RecentKind kind) { return m_files[size_t(kind)]; }
    void read();
    void write(RecentKind kind);

    std::unique_ptr<QSettings> m_settings; // nullptr: kept for the session only
    std::array<QStringList, 3> m_files;
};

} // namespace kf
