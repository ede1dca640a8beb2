#pragma once
// The messages of the libraries and the platform that several parts of the
// program raise: each message has one catalogue entry (its English text here)
// and one function that raises it, so it reads and translates the same
// wherever it comes from. Messages raised in one place only go through
// LibraryText (Translation.h) where they are raised.

#include <cstdint>
#include <string>
#include <string_view>

namespace kf {

// EConvertError "'%s' is not a valid integer value": a text where a whole
// number was wanted (table fields, grid cells, answers to a question).
[[noreturn]] void RaiseNotAnInteger(std::string_view text);

// EListError "List index out of bounds (%s)".
[[noreturn]] void RaiseListIndexOutOfBounds(int64_t index);

// File errors, each "... file \"%s\". %s": the path, then why. Opening a file
// to read it raises EFOpenError, reading it EInOutError; creating a file and
// writing it raise EFCreateError.
[[noreturn]] void RaiseCannotOpenFile(std::string_view path, std::string_view why);
[[noreturn]] void RaiseCannotReadFile(std::string_view path, std::string_view why);
[[noreturn]] void RaiseCannotCreateFile(std::string_view path, std::string_view why);
[[noreturn]] void RaiseCannotWriteFile(std::string_view path, std::string_view why);

// The reasons given with the file errors.
// The system's text for an errno value: the catalogue's entry for its
// untranslated text, else the system's own (translated) text.
std::string SystemErrorText(int errorNumber);
std::string IsFolderText();                   // "It is a folder."
std::string NotRegularFileText();             // "It is not a regular file."
std::string FileTooLargeText();               // "The file is too large."

} // namespace kf
