#include "exchange/ExchangeFormat.h"

#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/Translation.h"
#include "exchange/KeyboardView.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/LessonFormats.h"

#include <QStringList>

namespace kf {

std::string TExchangeFormat::WriteKeyboard(const TKeyboardView &, const TExportOptions &,
                                           std::vector<std::string> &) const
{
    throw EConvertError(LibraryText("The format %s carries no keyboard", Name()));
}

std::string TExchangeFormat::WriteLessons(const TLessonCourse &) const
{
    throw EConvertError(LibraryText("The format %s carries no lessons", Name()));
}

void TExchangeFormat::CheckKeyboard(const TKeyboardView &, const std::string &) const {}

std::vector<std::string> TExchangeFormat::ReadKeyboard(TDataMod &, const std::string &, const CodePage &) const
{
    throw EConvertError(LibraryText("Keyfolio does not read the format %s", Name()));
}

const std::vector<const TExchangeFormat *> &ExchangeFormats()
{
    // The list every menu and the command line read; a new format adds its
    // line here.
    static const std::vector<const TExchangeFormat *> formats = {
        &XkbSymbolsFormat(),
        &KlcFormat(),
        &KleFormat(),
        &KTouchKeyboardFormat(),
        &LessonsJsonFormat(),
        &LessonsTextFormat(),
        &KTouchCourseFormat(),
        &MonkeytypeTextFormat(),
    };
    return formats;
}

const TExchangeFormat *FindExchangeFormat(std::string_view name, TExchangeFormat::Content content)
{
    for (const TExchangeFormat *f : ExchangeFormats())
        if (f->Carries() == content && name == f->Name())
            return f;
    return nullptr;
}

std::string ExchangeFormatNames(TExchangeFormat::Content content)
{
    std::string out;
    for (const TExchangeFormat *f : ExchangeFormats())
        if (f->Carries() == content) {
            if (!out.empty())
                out += '|';
            out += f->Name();
        }
    return out;
}

// The pattern of a filter "XKB symbols (*)": "*".
QString ExchangeFormatPattern(const TExchangeFormat &f)
{
    const QString filter = f.Filter();
    const int open = filter.lastIndexOf(QLatin1Char('(')), close = filter.lastIndexOf(QLatin1Char(')'));
    return open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : QStringLiteral("*");
}

namespace {

bool offered(const TExchangeFormat &f, TExchangeFormat::Content content, bool readable)
{
    return f.Carries() == content && (!readable || f.CanRead());
}

} // namespace

QString ExchangeFormatFilter(TExchangeFormat::Content content, bool readable)
{
    QStringList parts;
    for (const TExchangeFormat *f : ExchangeFormats())
        if (offered(*f, content, readable))
            parts << f->Filter() + QLatin1Char('|') + ExchangeFormatPattern(*f);
    return parts.join(QLatin1Char('|'));
}

const TExchangeFormat *ExchangeFormatOfPath(const QString &path, TExchangeFormat::Content content, bool readable)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const TExchangeFormat *any = nullptr;
    for (const TExchangeFormat *f : ExchangeFormats()) {
        if (!offered(*f, content, readable))
            continue;
        const QString pattern = ExchangeFormatPattern(*f);
        if (pattern == QLatin1String("*")) {
            if (!any)
                any = f;
        } else if (pattern.startsWith(QLatin1String("*."))
                   && name.endsWith(pattern.mid(1), Qt::CaseInsensitive)) {
            return f;
        }
    }
    return any;
}

std::string KeyboardFileBytes(const TDataMod &dm, const CodePage &cp, const TExchangeFormat &format,
                              const TExportOptions &options, std::vector<std::string> &warnings)
{
    const TKeyboardView view = TKeyboardView::FromDataMod(dm, cp);
    warnings = view.Warnings;
    std::string bytes = format.WriteKeyboard(view, options, warnings);
    format.CheckKeyboard(view, bytes);
    return bytes;
}

std::vector<std::string> ExportKeyboard(const TDataMod &dm, const CodePage &cp, const TExchangeFormat &format,
                                        const TExportOptions &options, const std::string &path)
{
    std::vector<std::string> warnings;
    const std::string bytes = KeyboardFileBytes(dm, cp, format, options, warnings);
    ReplacingFile::writeWhole(path, bytes);
    return warnings;
}

} // namespace kf
