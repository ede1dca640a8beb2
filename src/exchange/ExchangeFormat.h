#pragma once
// The formats other programs read: each one small unit behind this one
// interface (its name on the command line, its file-dialog filter, a writer
// and, where the format comes back in, a reader), all in one list that the
// command line's --format and the windows' file filters read.
//
// A lesson writer turns the lesson texts of a course (TLessonCourse) into the
// bytes of a typing tutor's course; the same name may stand for a keyboard
// format and a lesson format ("ktouch"), so a name is looked up with the
// content it carries.
//
// A keyboard writer turns the shared view of the keyboard (TKeyboardView:
// keys placed on the PC main block, four levels and dead keys in Unicode)
// into bytes and does nothing else; ExportKeyboard around it builds the view,
// has the format prove its bytes and writes them beside the target.

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace kf {

class CodePage;
class TDataMod;
struct TKeyboardView;
struct TLessonCourse;

// What the user names on export; empty fields take the format's defaults.
struct TExportOptions {
    std::string Name;        // the layout's short name (XKB file, KLC "KBD" name, KTouch name)
    std::string Description; // UTF-8; empty: the package's author line
    std::string Language;    // BCP 47 tag ("lt-LT"); empty: en-US
};

class TExchangeFormat {
public:
    virtual ~TExchangeFormat() = default;

    // What a format carries: a keyboard, or the lesson texts of a course.
    enum class Content { Keyboard, Lessons };

    virtual const char *Name() const = 0;   // "xkb": the command line's --format
    virtual QString Title() const = 0;      // "XKB symbols": menus and messages
    virtual QString Filter() const = 0;     // "XKB symbols (*)": the file dialogs
    virtual Content Carries() const { return Content::Keyboard; }

    // The file for a keyboard. What the format cannot take goes to warnings
    // (UTF-8, one line each). Throws EConvertError for what it cannot write
    // at all (a name the format does not allow).
    virtual std::string WriteKeyboard(const TKeyboardView &view, const TExportOptions &options,
                                      std::vector<std::string> &warnings) const;
    // Proves the bytes type what the view says; throws EConvertError naming
    // the first difference. The default has nothing to prove.
    virtual void CheckKeyboard(const TKeyboardView &view, const std::string &bytes) const;

    // The file for the lesson texts of a course. Throws EConvertError when
    // the course cannot be put in the format (or the format carries no
    // lessons).
    virtual std::string WriteLessons(const TLessonCourse &course) const;

    // Whether the format comes back in, and the reader: the keyboard of the
    // bytes replaces dm's definition (nothing changes on failure); characters
    // are taken in code page cp. Returns warnings (UTF-8); throws
    // EConvertError naming the place of what it refuses.
    virtual bool CanRead() const { return false; }
    virtual std::vector<std::string> ReadKeyboard(TDataMod &dm, const std::string &bytes, const CodePage &cp) const;
};

// Every format, in the order menus list them.
const std::vector<const TExchangeFormat *> &ExchangeFormats();
// The format of a name carrying content; nullptr when none has it.
const TExchangeFormat *FindExchangeFormat(std::string_view name,
                                          TExchangeFormat::Content content = TExchangeFormat::Content::Keyboard);
// "xkb|klc|kle|ktouch": the names of the formats carrying content.
std::string ExchangeFormatNames(TExchangeFormat::Content content);
// The file-dialog filter of the formats carrying content, as pairs
// "Title (pattern)|pattern" joined by "|"; readable: only those that read.
QString ExchangeFormatFilter(TExchangeFormat::Content content, bool readable = false);
// The file pattern of a format's filter: "*.xml", or "*" for any name.
QString ExchangeFormatPattern(const TExchangeFormat &format);
// The format a file name chosen in that dialog is for: the one whose pattern
// its extension matches, else the one whose pattern is "*"; nullptr for none.
const TExchangeFormat *ExchangeFormatOfPath(const QString &path, TExchangeFormat::Content content,
                                            bool readable = false);

// Exports dm's keyboard, its characters read in code page cp: builds the
// view, writes, proves the bytes, and writes them beside path and renames
// them over it, so nothing is half written. Returns the warnings (keys that
// found no place, what the format left out). Throws EConvertError (no
// character key placed, a refused name, a failed proof) and EFCreateError.
std::vector<std::string> ExportKeyboard(const TDataMod &dm, const CodePage &cp, const TExchangeFormat &format,
                                        const TExportOptions &options, const std::string &path);
// The same without writing: the bytes ExportKeyboard would write.
std::string KeyboardFileBytes(const TDataMod &dm, const CodePage &cp, const TExchangeFormat &format,
                              const TExportOptions &options, std::vector<std::string> &warnings);

} // namespace kf
