#pragma once
// The keyboard layouts of the system: every layout and variant the XKB rules
// "evdev" offer, with its description, read from rules/evdev.xml of the XKB
// data folder.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kf {

// One layout, or one variant of a layout.
struct XkbLayout {
    XkbLayout() = default;
    XkbLayout(std::string name_, std::string variant_, std::string description_,
              std::vector<std::string> languages_ = {})
        : name(std::move(name_)), variant(std::move(variant_)), description(std::move(description_)),
          languages(std::move(languages_))
    {
    }

    std::string name;        // "de"
    std::string variant;     // "nodeadkeys"; empty for the layout itself
    std::string description; // "German (no dead keys)", UTF-8
    std::vector<std::string> languages; // ISO 639 codes ("deu"); a variant without its own has the layout's

    // "de" or "de(nodeadkeys)": the form the command line and the import take.
    std::string Id() const;
    // The same id and description.
    bool operator==(const XkbLayout &o) const
    {
        return name == o.name && variant == o.variant && description == o.description;
    }
};

// The XKB data folder: $XKB_CONFIG_ROOT when set, else /usr/share/X11/xkb.
std::string XkbConfigRoot();

// The rules file the layouts are listed from: XkbConfigRoot() + "/rules/evdev.xml".
std::string XkbRulesXmlPath();

// Every layout of a rules XML text, each followed by its variants, in the
// file's order. Throws EConvertError naming the line when the text is not
// well-formed XML; a layout or variant without a name is skipped.
std::vector<XkbLayout> ReadXkbLayouts(std::string_view xml);

// ReadXkbLayouts of XkbRulesXmlPath(); throws EFOpenError when it cannot be read.
std::vector<XkbLayout> ListXkbLayouts();

// Splits "de(nodeadkeys)" into "de" and "nodeadkeys" ("de" gives an empty
// variant). False for anything else: empty names, characters other than
// letters, digits, '_', '-' and '+' (so no path can be smuggled in), or text
// after the closing parenthesis.
bool ParseLayoutId(std::string_view id, std::string &layout, std::string &variant);

// The entry of a list for a layout and variant; nullptr when absent.
const XkbLayout *FindXkbLayout(const std::vector<XkbLayout> &layouts, std::string_view layout,
                               std::string_view variant);

} // namespace kf
