#include "exchange/XkbLayouts.h"
#include "common/Errors.h"
#include "common/TextFile.h"

#include <QXmlStreamReader>

#include <cstdlib>

namespace kf {

namespace {

// The rules XML is some hundred kilobytes; anything far larger is not one.
constexpr uint64_t kMaxRulesXmlBytes = uint64_t(64) << 20;

bool nameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
        || c == '+';
}

bool validName(std::string_view s)
{
    if (s.empty() || s.size() > 64)
        return false;
    for (char c : s)
        if (!nameCharacter(c))
            return false;
    return true;
}

// Reads a <configItem> element (the reader stands on its start): its name,
// description and languages.
void readConfigItem(QXmlStreamReader &xml, XkbLayout &item)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == u"name") {
            item.name = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed().toStdString();
        } else if (xml.name() == u"description") {
            item.description = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed().toStdString();
        } else if (xml.name() == u"languageList") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"iso639Id")
                    item.languages.push_back(
                        xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed().toStdString());
                else
                    xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

void readVariantList(QXmlStreamReader &xml, const XkbLayout &layout, std::vector<XkbLayout> &out)
{
    while (xml.readNextStartElement()) {
        if (xml.name() != u"variant") {
            xml.skipCurrentElement();
            continue;
        }
        XkbLayout variant;
        while (xml.readNextStartElement()) {
            if (xml.name() == u"configItem")
                readConfigItem(xml, variant);
            else
                xml.skipCurrentElement();
        }
        if (validName(variant.name)) {
            variant.variant = variant.name;
            variant.name = layout.name;
            out.push_back(std::move(variant));
        }
    }
}

void readLayout(QXmlStreamReader &xml, std::vector<XkbLayout> &out)
{
    XkbLayout layout;
    std::vector<XkbLayout> variants;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"configItem")
            readConfigItem(xml, layout);
        else if (xml.name() == u"variantList")
            readVariantList(xml, layout, variants);
        else
            xml.skipCurrentElement();
    }
    if (!validName(layout.name))
        return;
    // A variant list may come before the layout's name was read; a variant
    // without languages of its own has the layout's.
    for (XkbLayout &v : variants) {
        v.name = layout.name;
        if (v.languages.empty())
            v.languages = layout.languages;
    }
    out.push_back(std::move(layout));
    for (XkbLayout &v : variants)
        out.push_back(std::move(v));
}

} // namespace

std::string XkbLayout::Id() const
{
    return variant.empty() ? name : name + "(" + variant + ")";
}

std::string XkbConfigRoot()
{
    if (const char *root = std::getenv("XKB_CONFIG_ROOT"); root && *root)
        return root;
    return "/usr/share/X11/xkb";
}

std::string XkbRulesXmlPath()
{
    return XkbConfigRoot() + "/rules/evdev.xml";
}

std::vector<XkbLayout> ReadXkbLayouts(std::string_view text)
{
    std::vector<XkbLayout> out;
    QXmlStreamReader xml(QByteArray::fromRawData(text.data(), qsizetype(text.size())));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"layoutList") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"layout")
                    readLayout(xml, out);
                else
                    xml.skipCurrentElement();
            }
        }
    }
    if (xml.hasError())
        throw EConvertError("keyboard layout list, line " + std::to_string(xml.lineNumber()) + ": "
                            + xml.errorString().toStdString());
    return out;
}

std::vector<XkbLayout> ListXkbLayouts()
{
    const std::string path = XkbRulesXmlPath();
    const std::string bytes = readFileBytes(path, kMaxRulesXmlBytes);
    try {
        return ReadXkbLayouts(bytes);
    } catch (const EConvertError &e) {
        throw EConvertError(path + ": " + e.what());
    }
}

bool ParseLayoutId(std::string_view id, std::string &layout, std::string &variant)
{
    const size_t open = id.find('(');
    std::string_view name = id.substr(0, open);
    std::string_view var;
    if (open != std::string_view::npos) {
        if (id.size() < open + 2 || id.back() != ')')
            return false;
        var = id.substr(open + 1, id.size() - open - 2);
        if (!validName(var))
            return false;
    }
    if (!validName(name))
        return false;
    layout.assign(name);
    variant.assign(var);
    return true;
}

const XkbLayout *FindXkbLayout(const std::vector<XkbLayout> &layouts, std::string_view layout,
                               std::string_view variant)
{
    for (const XkbLayout &l : layouts)
        if (l.name == layout && l.variant == variant)
            return &l;
    return nullptr;
}

} // namespace kf
