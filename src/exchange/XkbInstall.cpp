// A keyboard installed for the user's desktop: the symbols file in the
// user's XKB folder and its entry in the user's layout registry.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/TextFile.h"
#include "common/Translation.h"
#include "model/MainData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cstdlib>

namespace kf {

namespace {

constexpr uint64_t kMaxRegistryBytes = uint64_t(16) << 20;

// One token of the registry, kept to be written again as it was.
struct XmlToken {
    QXmlStreamReader::TokenType type;
    QString name;
    QXmlStreamAttributes attributes;
    QString text;
    bool cdata = false;
};

std::string localPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

// The entry of a layout, written into an open layoutList.
void writeEntryWith(QXmlStreamWriter &w, const std::string &name, const std::string &shortDescription,
                    const std::string &description, const std::vector<std::string> &languages, const QString &indent)
{
    const QString in1 = QStringLiteral("\n") + indent, in2 = in1 + QStringLiteral("  "),
                  in3 = in2 + QStringLiteral("  "), in4 = in3 + QStringLiteral("  ");
    w.writeCharacters(in1);
    w.writeStartElement(QStringLiteral("layout"));
    w.writeCharacters(in2);
    w.writeStartElement(QStringLiteral("configItem"));
    w.writeCharacters(in3);
    w.writeTextElement(QStringLiteral("name"), QString::fromStdString(name));
    w.writeCharacters(in3);
    const std::string shortName = shortDescription.empty() ? name.substr(0, 2) : shortDescription;
    w.writeTextElement(QStringLiteral("shortDescription"), QString::fromStdString(shortName));
    w.writeCharacters(in3);
    w.writeTextElement(QStringLiteral("description"), QString::fromStdString(description));
    if (!languages.empty()) {
        w.writeCharacters(in3);
        w.writeStartElement(QStringLiteral("languageList"));
        for (const std::string &l : languages) {
            w.writeCharacters(in4);
            w.writeTextElement(QStringLiteral("iso639Id"), QString::fromStdString(l));
        }
        w.writeCharacters(in3);
        w.writeEndElement();
    }
    w.writeCharacters(in2);
    w.writeEndElement(); // configItem
    w.writeCharacters(in1);
    w.writeEndElement(); // layout
}

void writeEntry(QXmlStreamWriter &w, const std::string &name, const std::string &description,
                const std::vector<std::string> &languages, const QString &indent)
{
    // The short description: the language's two-letter code, else the name's start.
    std::string shortDescription;
    if (!languages.empty()) {
        const QLocale::Language language = QLocale::codeToLanguage(QString::fromStdString(languages.front()));
        shortDescription = QLocale::languageToCode(language, QLocale::ISO639Part1).toStdString();
    }
    writeEntryWith(w, name, shortDescription, description, languages, indent);
}

std::vector<std::string> languagesOf(const std::string &tag)
{
    if (tag.empty())
        return {};
    const QLocale locale(QString::fromStdString(tag));
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return {};
    const QString code = QLocale::languageToCode(locale.language(), QLocale::ISO639Part2);
    if (code.isEmpty())
        return {};
    return {code.toStdString()};
}

} // namespace

bool IsXkbLayoutName(const std::string &name)
{
    if (name.empty() || name.size() > 64)
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return false;
    return name[0] != '-' && name[0] != '_';
}

std::string UserXkbFolder()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    QString base;
    if (config && *config && QDir::isAbsolutePath(QFile::decodeName(config)))
        base = QFile::decodeName(config);
    else
        base = QDir::homePath() + QStringLiteral("/.config");
    return localPath(base + QStringLiteral("/xkb"));
}

namespace {

// UpdateXkbRegistry, telling how many entries of the name it dropped.
std::string updateRegistry(const std::string &xml, const std::string &name, const std::string *description,
                           const std::vector<std::string> &languages, size_t &dropped)
{
    std::vector<XmlToken> tokens;
    if (!xml.empty()) {
        QXmlStreamReader r(QByteArray::fromStdString(xml));
        r.setNamespaceProcessing(false);
        while (!r.atEnd()) {
            const QXmlStreamReader::TokenType t = r.readNext();
            if (t == QXmlStreamReader::Invalid)
                break;
            XmlToken token{t, r.qualifiedName().toString(), r.attributes(), QString(), false};
            if (t == QXmlStreamReader::Characters) {
                token.text = r.text().toString();
                token.cdata = r.isCDATA();
            } else if (t == QXmlStreamReader::Comment || t == QXmlStreamReader::DTD) {
                token.text = r.text().toString();
            } else if (t == QXmlStreamReader::ProcessingInstruction) {
                token.name = r.processingInstructionTarget().toString();
                token.text = r.processingInstructionData().toString();
            } else if (t == QXmlStreamReader::EntityReference) {
                token.name = r.name().toString();
            }
            tokens.push_back(std::move(token));
        }
        if (r.hasError())
            throw EConvertError(LibraryText("The layout registry is not XML (line %s): %s",
                                            std::to_string(r.lineNumber()), r.errorString().toStdString()));
    }

    // The layout entries of the name, the end of the layout list and of the
    // root element.
    std::vector<std::pair<size_t, size_t>> drop;
    long listEnd = -1, rootEnd = -1, rootStart = -1;
    std::vector<QString> path;
    size_t layoutStart = 0;
    bool layoutMatches = false;
    QString indent = QStringLiteral("    ");
    for (size_t i = 0; i < tokens.size(); ++i) {
        const XmlToken &t = tokens[i];
        if (t.type == QXmlStreamReader::StartElement) {
            if (path.empty() && rootStart < 0)
                rootStart = long(i);
            path.push_back(t.name);
            if (path.size() == 3 && t.name == QLatin1String("layout") && path[1] == QLatin1String("layoutList")) {
                layoutStart = i;
                layoutMatches = false;
                if (i > 0 && tokens[i - 1].type == QXmlStreamReader::Characters) {
                    const QString &ws = tokens[i - 1].text;
                    indent = ws.mid(ws.lastIndexOf(QLatin1Char('\n')) + 1);
                }
            }
        } else if (t.type == QXmlStreamReader::Characters && path.size() == 5 && path[2] == QLatin1String("layout")
                   && path[3] == QLatin1String("configItem") && path[4] == QLatin1String("name")) {
            if (t.text.trimmed() == QString::fromStdString(name))
                layoutMatches = true;
        } else if (t.type == QXmlStreamReader::EndElement) {
            if (path.size() == 3 && path[2] == QLatin1String("layout") && path[1] == QLatin1String("layoutList")
                && layoutMatches) {
                // The entry goes with the blank before it.
                size_t from = layoutStart;
                if (from > 0 && tokens[from - 1].type == QXmlStreamReader::Characters
                    && tokens[from - 1].text.trimmed().isEmpty())
                    --from;
                drop.emplace_back(from, i);
            }
            if (path.size() == 2 && path[1] == QLatin1String("layoutList") && listEnd < 0)
                listEnd = long(i);
            if (path.size() == 1)
                rootEnd = long(i);
            if (!path.empty())
                path.pop_back();
        }
    }
    // A new entry goes before the blank that closes the list.
    if (listEnd > 0 && tokens[size_t(listEnd - 1)].type == QXmlStreamReader::Characters
        && tokens[size_t(listEnd - 1)].text.trimmed().isEmpty())
        --listEnd;
    if (!tokens.empty() && rootEnd < 0)
        throw EConvertError(LibraryText("The layout registry is not XML: it has no root element"));

    QByteArray out;
    QXmlStreamWriter w(&out);
    if (tokens.empty()) {
        w.writeStartDocument(QStringLiteral("1.0"));
        w.writeCharacters(QStringLiteral("\n"));
        w.writeDTD(QStringLiteral("<!DOCTYPE xkbConfigRegistry SYSTEM \"xkb.dtd\">"));
        w.writeCharacters(QStringLiteral("\n"));
        w.writeStartElement(QStringLiteral("xkbConfigRegistry"));
        w.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
        if (description) {
            w.writeCharacters(QStringLiteral("\n  "));
            w.writeStartElement(QStringLiteral("layoutList"));
            writeEntry(w, name, *description, languages, QStringLiteral("    "));
            w.writeCharacters(QStringLiteral("\n  "));
            w.writeEndElement();
        }
        w.writeCharacters(QStringLiteral("\n"));
        w.writeEndElement();
        w.writeEndDocument();
        return out.toStdString();
    }

    dropped = drop.size();
    size_t nextDrop = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (nextDrop < drop.size() && i == drop[nextDrop].first) {
            i = drop[nextDrop].second;
            ++nextDrop;
            continue;
        }
        const XmlToken &t = tokens[i];
        if (description && long(i) == listEnd)
            writeEntry(w, name, *description, languages, indent);
        if (description && listEnd < 0 && long(i) == rootEnd) {
            w.writeCharacters(QStringLiteral("  "));
            w.writeStartElement(QStringLiteral("layoutList"));
            writeEntry(w, name, *description, languages, QStringLiteral("    "));
            w.writeCharacters(QStringLiteral("\n  "));
            w.writeEndElement();
            w.writeCharacters(QStringLiteral("\n"));
        }
        // Before the root element each part of the prolog stands on a line
        // of its own.
        if (t.type == QXmlStreamReader::Characters && rootStart >= 0 && long(i) < rootStart)
            continue;
        switch (t.type) {
        case QXmlStreamReader::StartDocument:
            w.writeStartDocument(QStringLiteral("1.0"));
            w.writeCharacters(QStringLiteral("\n"));
            break;
        case QXmlStreamReader::DTD:
            w.writeDTD(t.text.trimmed());
            w.writeCharacters(QStringLiteral("\n"));
            break;
        case QXmlStreamReader::StartElement:
            w.writeStartElement(t.name);
            w.writeAttributes(t.attributes);
            break;
        case QXmlStreamReader::EndElement:
            w.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (t.cdata)
                w.writeCDATA(t.text);
            else
                w.writeCharacters(t.text);
            break;
        case QXmlStreamReader::Comment:
            w.writeComment(t.text);
            break;
        case QXmlStreamReader::ProcessingInstruction:
            w.writeProcessingInstruction(t.name, t.text);
            break;
        case QXmlStreamReader::EntityReference:
            w.writeEntityReference(t.name);
            break;
        case QXmlStreamReader::EndDocument:
            w.writeEndDocument();
            break;
        default:
            break;
        }
    }
    std::string text = out.toStdString();
    if (text.empty() || text.back() != '\n')
        text += '\n';
    return text;
}

} // namespace

std::string UpdateXkbRegistry(const std::string &xml, const std::string &name, const std::string *description,
                              const std::vector<std::string> &languages)
{
    size_t dropped = 0;
    return updateRegistry(xml, name, description, languages, dropped);
}

TXkbInstall InstallXkbLayout(const TDataMod &dm, const CodePage &cp, const TExportOptions &options)
{
    if (!IsXkbLayoutName(options.Name))
        throw EConvertError(LibraryText("\"%s\" cannot name a layout: lower-case letters, digits, _ and - only",
                                        options.Name));
    TXkbInstall result;
    const std::string folder = UserXkbFolder();
    result.symbolsPath = folder + "/symbols/" + options.Name;
    result.rulesPath = folder + "/rules/evdev.xml";

    const std::string symbols = KeyboardFileBytes(dm, cp, XkbSymbolsFormat(), options, result.warnings);
    std::string description = options.Description.empty() ? cp.decode(dm.Author).toStdString() : options.Description;
    if (description.empty())
        description = options.Name;
    std::string registry;
    if (QFileInfo::exists(QFile::decodeName(result.rulesPath.c_str())))
        registry = readFileBytes(result.rulesPath, kMaxRegistryBytes);
    const std::string updated = UpdateXkbRegistry(registry, options.Name, &description, languagesOf(options.Language));

    for (const char *sub : {"symbols", "rules"})
        if (!QDir().mkpath(QFile::decodeName((folder + "/" + sub).c_str())))
            throw EFCreateError(LibraryText("Cannot create the folder %s", folder + "/" + sub));
    ReplacingFile::writeWhole(result.symbolsPath, symbols);
    ReplacingFile::writeWhole(result.rulesPath, updated);
    return result;
}

TXkbInstall UninstallXkbLayout(const std::string &name)
{
    if (!IsXkbLayoutName(name))
        throw EConvertError(LibraryText("\"%s\" cannot name a layout: lower-case letters, digits, _ and - only", name));
    TXkbInstall result;
    const std::string folder = UserXkbFolder();
    result.symbolsPath = folder + "/symbols/" + name;
    result.rulesPath = folder + "/rules/evdev.xml";
    bool found = false;
    size_t dropped = 0;
    std::string registry, updated;
    const QString rules = QFile::decodeName(result.rulesPath.c_str());
    if (QFileInfo::exists(rules)) {
        registry = readFileBytes(result.rulesPath, kMaxRegistryBytes);
        updated = updateRegistry(registry, name, nullptr, {}, dropped);
    }
    if (QFile::exists(QFile::decodeName(result.symbolsPath.c_str()))) {
        if (!QFile::remove(QFile::decodeName(result.symbolsPath.c_str())))
            throw EFCreateError(LibraryText("Cannot remove %s", result.symbolsPath));
        found = true;
    }
    if (dropped > 0) {
        ReplacingFile::writeWhole(result.rulesPath, updated);
        found = true;
    }
    if (!found)
        throw EFOpenError(LibraryText("No layout \"%s\" is installed in %s", name, folder));
    return result;
}

} // namespace kf
