#include "common/LibraryErrors.h"
#include "common/Errors.h"
#include "common/Translation.h"

#include <clocale>
#include <cstring>
#include <locale.h>
#include <string.h>

namespace kf {

void RaiseNotAnInteger(std::string_view text)
{
    throw EConvertError(LibraryText("'%s' is not a valid integer value", text));
}

void RaiseListIndexOutOfBounds(int64_t index)
{
    throw EListError(LibraryText("List index out of bounds (%s)", std::to_string(index)));
}

void RaiseCannotOpenFile(std::string_view path, std::string_view why)
{
    throw EFOpenError(LibraryText("Cannot open file \"%s\". %s", path, why));
}

void RaiseCannotReadFile(std::string_view path, std::string_view why)
{
    throw EInOutError(LibraryText("Cannot read file \"%s\". %s", path, why));
}

void RaiseCannotCreateFile(std::string_view path, std::string_view why)
{
    throw EFCreateError(LibraryText("Cannot create file \"%s\". %s", path, why));
}

void RaiseCannotWriteFile(std::string_view path, std::string_view why)
{
    throw EFCreateError(LibraryText("Cannot write file \"%s\". %s", path, why));
}

std::string SystemErrorText(int errorNumber)
{
    // The catalogue is asked with the system's untranslated text; without an
    // entry there, the system's own text in the user's language is given.
    static const locale_t untranslated = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (untranslated) {
        const std::string english = strerror_l(errorNumber, untranslated);
        const char *translated = Translate(english.c_str());
        if (translated != english.c_str() && english != translated)
            return translated;
    }
    return std::strerror(errorNumber); // copied at once: the next call may reuse its buffer
}

std::string IsFolderText()
{
    return Translate("It is a folder.");
}

std::string NotRegularFileText()
{
    return Translate("It is not a regular file.");
}

std::string FileTooLargeText()
{
    return Translate("The file is too large.");
}

} // namespace kf
