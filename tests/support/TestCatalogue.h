#pragma once
// Translation catalogues made by tests: a .po text written from plain
// (msgid, msgstr) pairs and compiled with msgfmt into
// <localeDir>/<language>/LC_MESSAGES/default.mo, and the translation in force
// for one scope.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <utility>
#include <vector>

namespace kf::support {

// msgid -> msgstr, as the program's texts are (no .po escapes).
using CatalogueEntries = std::vector<std::pair<const char *, const char *>>;

// Whether msgfmt is installed (tests that need a catalogue skip without it).
bool MsgfmtInstalled();

// Builds the catalogue of a language ("de", "pt_BR") under localeDir, the .po
// declaring the given charset. What went wrong, or empty when it is built.
QString BuildCatalogue(const QString &localeDir, const QString &language, const CatalogueEntries &entries,
                       const QByteArray &charset = "UTF-8");

// One language's catalogue in a folder of its own, in force while this lives:
// LANG is set to the locale ("de_DE.UTF-8") and the translation started;
// both are put back when it goes. Ok() tells whether it was built and started,
// Error() what went wrong.
class ScopedCatalogue {
public:
    ScopedCatalogue(const QByteArray &locale, const CatalogueEntries &entries);
    ~ScopedCatalogue();
    ScopedCatalogue(const ScopedCatalogue &) = delete;
    ScopedCatalogue &operator=(const ScopedCatalogue &) = delete;

    bool Ok() const { return m_error.isEmpty(); }
    std::string Error() const { return m_error.toStdString(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_savedLang;
    bool m_started = false;
    QString m_error;
};

} // namespace kf::support
