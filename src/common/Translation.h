#pragma once
// The translation layer: GNU gettext, text domain "default", catalogues in a
// "locale" folder beside the program or in its share folder
// (<lang>/LC_MESSAGES/default.mo).
//
// Only the texts of the libraries and the platform are translated (message
// box buttons, the record-table engine's messages, the picture errors) and
// the template warning of the keyboard logic, the Edit menu's Undo and Redo
// with the names of the undo history's steps, and the question about unsaved
// changes; window captions and the program's other texts stay as they are.

#include <QString>

#include <initializer_list>

#include <string>
#include <string_view>

namespace kf {

// Starts translation with the catalogues under localeDir (the "locale"
// folder). The language is $LANG, else the user's locale ("de_AT"), cut at
// the first "."; the full code is tried first, then its first two letters.
// A catalogue that does not declare the charset UTF-8 leaves translation off.
// When a QCoreApplication exists, the texts Qt itself shows (dialog buttons)
// are translated too. Returns whether translation is on.
bool StartTranslation(const QString &localeDir);

// The folder "locale" beside the running program, or share/keyfolio/locale of
// an installed one (needs the application object).
QString DefaultLocaleDir();

// Stops translating (texts come back unchanged).
void StopTranslation();

// Whether a catalogue is in force.
bool TranslationActive();

// The language code that StartTranslation looked for ("de_AT"), and the
// catalogue folder name it took ("de"), empty when none.
QString TranslationLanguage();
QString TranslationCatalogue();

// The translation of msgid (UTF-8), or msgid itself when translation is off
// or the catalogue has no entry. The pointer stays valid for the whole run.
const char *Translate(const char *msgid);

// Translate() as a QString.
QString TranslateQ(const char *msgid);

// msgid through the catalogue with its placeholders filled in one pass: "%1"
// to "%9" take the argument of that number (nothing when there is none), each
// "%s" the next argument in turn (it stays when the arguments run out). The
// catalogue keeps the placeholders, so a translation may move them; an
// argument is never searched for placeholders itself.
std::string TranslateWith(const char *msgid, std::initializer_list<std::string_view> args);

// A library message: TranslateWith with arg for the first "%s" and arg2 for
// the second.
std::string LibraryText(const char *msgid, std::string_view arg = {}, std::string_view arg2 = {});

} // namespace kf
