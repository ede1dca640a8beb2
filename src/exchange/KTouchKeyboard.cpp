// KTouch keyboard layout: every key of the board in units of 100 a key, a
// character key with its finger (0..7, thumbs aside) and its characters by
// corner and modifier, the other keys by their kind.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/KeyboardView.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"

#include <QByteArray>
#include <QChar>
#include <QUuid>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>

namespace kf {

namespace {

// The eight fingers KTouch names, from the left little finger; a thumb
// counts as the index finger beside it.
int fingerIndex(int finger)
{
    using namespace Fingers;
    if (finger <= LIndex)
        return std::max(0, finger);
    if (finger == LThumb)
        return 3;
    if (finger == RThumb)
        return 4;
    return std::min(7, finger - 2);
}

class KTouchKeyboard final : public TExchangeFormat {
public:
    const char *Name() const override { return "ktouch"; }
    QString Title() const override { return QStringLiteral("KTouch keyboard layout"); }
    QString Filter() const override { return QStringLiteral("KTouch keyboard layout (*.xml)"); }

    std::string WriteKeyboard(const TKeyboardView &view, const TExportOptions &options,
                              std::vector<std::string> &warnings) const override
    {
        const QString name = QString::fromStdString(options.Name.empty() ? std::string("keyfolio") : options.Name);
        QString title = options.Description.empty() ? view.Description : QString::fromStdString(options.Description);
        if (title.isEmpty())
            title = name;
        int minX = 0, minY = 0, maxX = 0, maxY = 0;
        bool first = true;
        for (const TViewKey &k : view.Keys) {
            if (k.Row < 0)
                continue;
            minX = first ? k.X : std::min(minX, k.X);
            minY = first ? k.Y : std::min(minY, k.Y);
            maxX = first ? k.X + k.Width : std::max(maxX, k.X + k.Width);
            maxY = first ? k.Y + k.Height : std::max(maxY, k.Y + k.Height);
            first = false;
        }
        const int unit = std::max(1, view.Unit), gap = view.Gap;
        auto scaled = [unit](int pixels) { return int(std::lround(std::max(0, pixels) * 100.0 / unit)); };

        QByteArray out;
        QXmlStreamWriter w(&out);
        w.setAutoFormatting(true);
        w.setAutoFormattingIndent(2);
        w.writeStartDocument();
        w.writeStartElement(QStringLiteral("keyboardLayout"));
        // The same keyboard and name keep the same id, so a new export
        // replaces the one KTouch has.
        const QUuid id = QUuid::createUuidV5(QUuid(QStringLiteral("{5b7c3f2e-8d1a-4c6b-9e0f-2a4d6c8e1b3f}")),
                                             name + QLatin1Char('\n') + title);
        w.writeTextElement(QStringLiteral("id"), id.toString());
        w.writeTextElement(QStringLiteral("title"), title);
        w.writeTextElement(QStringLiteral("name"), name);
        w.writeTextElement(QStringLiteral("width"), QString::number(scaled(maxX - minX + gap)));
        w.writeTextElement(QStringLiteral("height"), QString::number(scaled(maxY - minY + gap)));
        w.writeStartElement(QStringLiteral("keys"));

        std::vector<int> order;
        for (size_t i = 0; i < view.Keys.size(); ++i)
            if (view.Keys[i].Row >= 0)
                order.push_back(int(i));
        std::stable_sort(order.begin(), order.end(), [&view](int a, int b) {
            const TViewKey &ka = view.Keys[size_t(a)], &kb = view.Keys[size_t(b)];
            return ka.Row != kb.Row ? ka.Row < kb.Row : ka.X < kb.X;
        });
        int leftOut = 0;
        for (int index : order) {
            const TViewKey &k = view.Keys[size_t(index)];
            const bool character = k.IsCharacterKey() && k.Type != KeyTypes::Space;
            w.writeStartElement(character ? QStringLiteral("key") : QStringLiteral("specialKey"));
            w.writeAttribute(QStringLiteral("left"), QString::number(scaled(k.X - minX)));
            w.writeAttribute(QStringLiteral("top"), QString::number(scaled(k.Y - minY)));
            w.writeAttribute(QStringLiteral("width"), QString::number(scaled(k.Width + gap)));
            w.writeAttribute(QStringLiteral("height"), QString::number(scaled(k.Height + gap)));
            if (!character) {
                writeSpecial(w, k);
                w.writeEndElement();
                continue;
            }
            w.writeAttribute(QStringLiteral("fingerIndex"), QString::number(fingerIndex(k.Finger)));
            if (k.Slot == "AC04" || k.Slot == "AC07")
                w.writeAttribute(QStringLiteral("hasHapticMarker"), QStringLiteral("true"));
            // Shift is typed with the other hand's Shift key.
            const QString shift = Fingers::IsLeftHand(k.Finger) ? QStringLiteral("right_shift")
                                                                 : QStringLiteral("left_shift");
            const bool letter = k.Chars[0] && k.Chars[1] && QChar::isLetter(k.Chars[0])
                                && QChar::toUpper(k.Chars[0]) == k.Chars[1] && k.Chars[0] != k.Chars[1];
            auto writeChar = [&w](char32_t c, const char *position, const QString &modifier) {
                w.writeStartElement(QStringLiteral("char"));
                w.writeAttribute(QStringLiteral("position"), QLatin1String(position));
                if (!modifier.isEmpty())
                    w.writeAttribute(QStringLiteral("modifier"), modifier);
                w.writeCharacters(QString::fromUcs4(&c, 1));
                w.writeEndElement();
            };
            if (k.Chars[0])
                writeChar(k.Chars[0], letter ? "hidden" : "bottomLeft", QString());
            if (k.Chars[1] && k.Chars[1] != k.Chars[0])
                writeChar(k.Chars[1], "topLeft", shift);
            if (k.Chars[2])
                writeChar(k.Chars[2], "bottomRight", QStringLiteral("altgr"));
            // One modifier a character: Shift+AltGr and dead keys stay out.
            leftOut += k.Chars[3] != 0;
            for (int l = 0; l < 4; ++l)
                leftOut += k.Dead[size_t(l)] != 0 && (l == 0 || k.Dead[size_t(l)] != k.Dead[size_t(l - 1)]);
            w.writeEndElement();
        }
        w.writeEndElement(); // keys
        w.writeEndElement(); // keyboardLayout
        w.writeEndDocument();
        if (leftOut)
            warnings.push_back(LibraryText("KTouch knows one modifier a character and no dead keys: %s levels "
                                           "(Shift+AltGr, dead keys) are left out",
                                           std::to_string(leftOut)));
        return out.toStdString();
    }

private:
    static void writeSpecial(QXmlStreamWriter &w, const TViewKey &k)
    {
        using namespace KeyTypes;
        const char *type = "other";
        const char *modifier = nullptr;
        switch (k.Type) {
        case Backspace:
            type = "backspace";
            break;
        case Enter:
            type = "return";
            break;
        case CapsLock:
            type = "capslock";
            break;
        case Space:
            type = "space";
            break;
        case LShift:
            type = "shift";
            modifier = "left_shift";
            break;
        case RShift:
            type = "shift";
            modifier = "right_shift";
            break;
        case AltGr:
            modifier = "altgr";
            break;
        default:
            break;
        }
        w.writeAttribute(QStringLiteral("type"), QLatin1String(type));
        if (modifier)
            w.writeAttribute(QStringLiteral("modifierId"), QLatin1String(modifier));
        if (std::string_view(type) == "other")
            w.writeAttribute(QStringLiteral("label"), k.Name);
    }
};

} // namespace

const TExchangeFormat &KTouchKeyboardFormat()
{
    static const KTouchKeyboard format;
    return format;
}

} // namespace kf
