#include "model/KeyPictures.h"
#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "table/ControlsDisabled.h"
#include "model/GlyphCodec.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <map>

namespace kf {

namespace {

constexpr int kSmallestPixelSize = 6;

// The font of the captions, at a pixel size.
QFont captionFont(int pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    return font;
}

// Draws text with its ink inside cell, at the largest size up to maxSize
// that fits; corner says where in the cell it sits. False when it does not
// fit even at the smallest size.
bool drawFitted(QPainter &p, const QString &text, const QRect &cell, int maxSize, Qt::Alignment corner,
                bool mayCut = false)
{
    if (text.isEmpty() || cell.width() < 1 || cell.height() < 1)
        return true;
    QString shown = text;
    for (;;) {
        for (int size = maxSize; size >= kSmallestPixelSize; --size) {
            const QFont font = captionFont(size);
            const QFontMetrics fm(font);
            const QRect ink = fm.tightBoundingRect(shown);
            if (ink.isEmpty())
                return true; // blanks only
            if (ink.width() > cell.width() || ink.height() > cell.height())
                continue;
            int x = cell.left() - ink.left();
            if (corner & Qt::AlignRight)
                x = cell.right() - ink.right();
            else if (corner & Qt::AlignHCenter)
                x = cell.left() + (cell.width() - ink.width()) / 2 - ink.left();
            // Characters of a row share a baseline, with room for accents
            // above capitals and for descenders; one that needs more room
            // than that is moved just inside the cell.
            int y;
            if (corner & Qt::AlignVCenter) {
                y = cell.top() + (cell.height() - ink.height()) / 2 - ink.top();
            } else if (corner & Qt::AlignBottom) {
                y = cell.bottom() - fm.tightBoundingRect(QStringLiteral("gjpqy\u0443")).bottom();
                if (y + ink.bottom() > cell.bottom())
                    y = cell.bottom() - ink.bottom();
                if (y + ink.top() < cell.top())
                    y = cell.top() - ink.top();
            } else {
                y = cell.top() - fm.tightBoundingRect(QStringLiteral("\u00C9\u00C5\u0419")).top();
                if (y + ink.top() < cell.top())
                    y = cell.top() - ink.top();
                if (y + ink.bottom() > cell.bottom())
                    y = cell.bottom() - ink.bottom();
            }
            p.setFont(font);
            p.drawText(QPoint(x, y), shown);
            return true;
        }
        // Too long even in the smallest size: cut it.
        if (!mayCut)
            return false;
        QString base = shown.endsWith(QChar(0x2026)) ? shown.chopped(1) : shown;
        if (base.size() <= 1)
            return false;
        base.chop(1);
        shown = base + QChar(0x2026);
    }
}

// The box of the pixels text inks in a font, from the origin of its
// baseline. The font's own bounds give a spacing accent the whole height of
// the ascent, so the text is drawn and its pixels looked at.
QRect renderedInk(const QFont &font, const QString &text)
{
    const QFontMetrics fm(font);
    const QPoint origin(fm.height(), 2 * fm.height());
    QImage img(fm.horizontalAdvance(text) + 2 * fm.height(), 3 * fm.height(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(origin, text);
    }
    QRect box;
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(line[x]) != 0)
                box |= QRect(x, y, 1, 1);
    }
    return box.translated(-origin);
}

// Draws a dead key's accent mark in cell: at the size at which its ink is as
// tall, or as wide, as a capital letter at size pixels, as far as the cell
// holds it, in the middle of the cell's height; corner places it across.
void drawMark(QPainter &p, const QString &mark, const QRect &cell, int size, Qt::Alignment corner)
{
    if (mark.isEmpty() || cell.width() < 1 || cell.height() < 1)
        return;
    const int capital = renderedInk(captionFont(size), QStringLiteral("H")).height();
    constexpr int kReference = 64;
    const QRect reference = renderedInk(captionFont(kReference), mark);
    if (reference.isEmpty() || capital < 1)
        return; // blanks only
    const int start = std::min(size * 6, kReference * capital / std::max(reference.width(), reference.height()));
    for (int s = start; s >= kSmallestPixelSize; --s) {
        const QFont font = captionFont(s);
        const QRect ink = renderedInk(font, mark);
        if (ink.isEmpty())
            return;
        if (ink.width() > cell.width() || ink.height() > cell.height() || std::max(ink.width(), ink.height()) > capital)
            continue;
        int x = cell.left() - ink.left();
        if (corner & Qt::AlignRight)
            x = cell.right() - ink.right();
        else if (corner & Qt::AlignHCenter)
            x = cell.left() + (cell.width() - ink.width()) / 2 - ink.left();
        const int y = cell.top() + (cell.height() - ink.height()) / 2 - ink.top();
        p.setFont(font);
        p.drawText(QPoint(x, y), mark);
        return;
    }
    drawFitted(p, mark, cell, size, corner, true);
}

// A caption in its place: a mark as drawMark does, other text as drawFitted.
void drawCaption(QPainter &p, const QString &text, bool mark, const QRect &cell, int size, Qt::Alignment corner)
{
    if (mark)
        drawMark(p, text, cell, size, corner);
    else
        drawFitted(p, text, cell, size, corner, true);
}

struct KeyChars {
    // By state: plain, Shift, AltGr, Shift+AltGr; the lowest Code and
    // whether one was found.
    std::array<int32_t, 4> code{};
    std::array<bool, 4> has{};
};

} // namespace

QRect KeyCaptionArea(int width, int height)
{
    // Inside the frame drawn from (1, 1) to (W - 3, H - 3).
    return QRect(2, 2, std::max(0, width - 5), std::max(0, height - 5));
}

QString AccentMark(int32_t accent)
{
    switch (accent) {
    case KeyTypes::FirstAccent:
        return QStringLiteral("`");
    case KeyTypes::Acute:
        return QStringLiteral("\u00B4");
    case KeyTypes::Circumflex:
        return QStringLiteral("^");
    case KeyTypes::Tilde:
        return QStringLiteral("~");
    case KeyTypes::Umlaut:
        return QStringLiteral("\u00A8");
    case KeyTypes::Ring:
        return QStringLiteral("\u02DA");
    case KeyTypes::Ese:
        return QStringLiteral("\u02C7");
    case KeyTypes::LastAccent:
        return QStringLiteral("\u00B8");
    default:
        return QString();
    }
}

QImage DrawKeyPicture(const KeyCaption &caption, int width, int height, uint32_t face)
{
    width = std::max(1, width);
    height = std::max(1, height);
    QImage img(width, height, QImage::Format_RGB32);
    const QColor faceColor = ColorValueToColor(face);
    img.fill(faceColor);
    if (width < 10 || height < 10)
        return img;

    const bool dark = qGray(faceColor.rgb()) < 128;
    QPainter p(&img);
    // A frame inside the edge keeps the bottom-left pixel the face colour.
    const QColor frame = dark ? faceColor.lighter(170) : faceColor.darker(160);
    const QColor shadow = dark ? faceColor.lighter(130) : faceColor.darker(220);
    const bool black = qGray(faceColor.rgb()) < 16;
    p.setPen(black ? QColor(96, 96, 96) : frame);
    p.drawRect(1, 1, width - 4, height - 4);
    p.setPen(black ? QColor(64, 64, 64) : shadow);
    p.drawLine(3, height - 2, width - 2, height - 2);
    p.drawLine(width - 2, 3, width - 2, height - 2);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QColor text = dark ? QColor(Qt::white) : QColor(Qt::black);
    const QColor third = dark ? QColor(255, 176, 176) : QColor(0x80, 0, 0);
    // Captions keep one pixel from the frame, so smoothed edges stay inside.
    const QRect area = KeyCaptionArea(width, height).adjusted(1, 1, -1, -1);
    const int big = std::max(kSmallestPixelSize, std::min(16, height * 2 / 5));
    const int small = std::max(kSmallestPixelSize, big * 3 / 4);

    p.setPen(text);
    if (!caption.centre.isEmpty()) {
        drawFitted(p, caption.centre, area, std::min(12, big), Qt::AlignCenter, true);
        return img;
    }
    const int midX = area.left() + area.width() * 11 / 20;
    const int midY = area.top() + area.height() / 2;
    const QRect left(area.left() + 2, area.top(), midX - area.left() - 2, area.height());
    const QRect upperLeft(left.left(), area.top(), left.width(), midY - area.top());
    const QRect lowerLeft(left.left(), midY, left.width(), area.bottom() - midY + 1);
    const QRect upperRight(midX, area.top(), area.right() - midX + 1, midY - area.top());
    const QRect lowerRight(midX, midY, area.right() - midX + 1, area.bottom() - midY + 1);

    if (caption.plain.isEmpty()) {
        // One character (an Alpha key's capital): large, in the upper left.
        drawFitted(p, caption.shifted, left.adjusted(0, 0, 0, -(lowerLeft.height() / 3)), big + 2,
                   Qt::AlignLeft | Qt::AlignTop, true);
    } else {
        drawCaption(p, caption.shifted, caption.shiftedMark, upperLeft, big, Qt::AlignLeft | Qt::AlignTop);
        drawCaption(p, caption.plain, caption.plainMark, lowerLeft, big, Qt::AlignLeft | Qt::AlignBottom);
    }
    p.setPen(third);
    drawFitted(p, caption.shiftAltGr, upperRight, small, Qt::AlignRight | Qt::AlignTop, true);
    drawCaption(p, caption.altGr, caption.altGrMark, lowerRight, small, Qt::AlignRight | Qt::AlignBottom);
    return img;
}

KeyPicturesResult DrawKeyPictures(TDataMod &dm, const KeyFaces &faces)
{
    return DrawKeyPictures(dm, faces, CodePage::current());
}

KeyPicturesResult DrawKeyPictures(TDataMod &dm, const KeyFaces &faces, const CodePage &cp)
{
    dm.MainTbl.CheckBrowseMode();
    for (TRecordTable *cursor : {&dm.Ctbl, &dm.CtblF, &dm.CtblD})
        cursor->CheckBrowseMode();

    // The characters of each key without accent, as typing finds them.
    std::map<int32_t, KeyChars> keyChars;
    {
        TRecordTable &c = dm.CtblF;
        const int fCode = c.FindFieldIndex("Code"), fKey = c.FindFieldIndex("KeyNo"),
                  fShift = c.FindFieldIndex("Shift"), fAltGr = c.FindFieldIndex("AltGr"),
                  fAccent = c.FindFieldIndex("Accent");
        const int n = fCode < 0 || fKey < 0 || fShift < 0 || fAltGr < 0 || fAccent < 0 ? 0 : c.RecordCount();
        for (int i = 0; i < n; ++i) {
            const TValue key = c.FieldValueAt(i, fKey), code = c.FieldValueAt(i, fCode),
                         shift = c.FieldValueAt(i, fShift), altGr = c.FieldValueAt(i, fAltGr),
                         accent = c.FieldValueAt(i, fAccent);
            if (key.IsNull() || code.IsNull() || shift.IsNull() || altGr.IsNull() || accent.IsNull()
                || accent.integer() != 0)
                continue;
            KeyChars &kc = keyChars[key.integer()];
            const size_t state = (shift.boolean() ? 1 : 0) + (altGr.boolean() ? 2 : 0);
            if (!kc.has[state] || code.integer() < kc.code[state]) {
                kc.has[state] = true;
                kc.code[state] = code.integer();
            }
        }
    }
    auto charOf = [&cp](const KeyChars &kc, size_t state) {
        return kc.has[state] ? QString(QChar(cp.toUnicode(TDataMod::CodeByte(kc.code[state])))) : QString();
    };

    TRecordTable &t = dm.MainTbl;
    const int fName = t.FindFieldIndex("Name"), fValue = t.FindFieldIndex("KeyValue"),
              fType = t.FindFieldIndex("KeyType"), fType2 = t.FindFieldIndex("KeyType2"),
              fFinger = t.FindFieldIndex("Finger"), fGlyph = t.FindFieldIndex("Glyph"),
              fWidth = t.FindFieldIndex("Width"), fHeight = t.FindFieldIndex("Height");
    KeyPicturesResult result;
    if (fGlyph < 0 || fWidth < 0 || fHeight < 0)
        return result;
    struct Picture {
        TBookmark row;
        std::string glyph;
    };
    std::vector<Picture> pictures;
    const int n = t.RecordCount();
    auto intAt = [&t](int row, int field) {
        if (field < 0)
            return int32_t(0);
        const TValue v = t.FieldValueAt(row, field);
        return v.IsNull() ? int32_t(0) : v.integer();
    };
    for (int i = 0; i < n; ++i) {
        const int32_t w = intAt(i, fWidth), h = intAt(i, fHeight);
        if (w < 1 || h < 1 || w > kMaxKeyPictureSide || h > kMaxKeyPictureSide) {
            ++result.skipped;
            continue;
        }
        const int32_t type = intAt(i, fType), type2 = intAt(i, fType2), finger = intAt(i, fFinger);
        const QString name = fName < 0 ? QString() : cp.decode(t.FieldBytesAt(i, fName));
        KeyCaption caption;
        if (type < 8) {
            const auto it = keyChars.find(intAt(i, fValue));
            const KeyChars none;
            const KeyChars &kc = it == keyChars.end() ? none : it->second;
            caption.plain = charOf(kc, 0);
            caption.shifted = charOf(kc, 1);
            if (KeyTypes::IsAccent(type2)) {
                caption.altGr = AccentMark(type2);
                caption.altGrMark = true;
            } else {
                caption.altGr = charOf(kc, 2);
                caption.shiftAltGr = charOf(kc, 3);
            }
            if (type == KeyTypes::Alpha && !caption.plain.isEmpty() && caption.shifted == caption.plain.toUpper())
                caption.plain.clear(); // a letter: its capital alone
            if (type == KeyTypes::Space || (caption.plain.trimmed().isEmpty() && caption.shifted.trimmed().isEmpty()
                              && caption.altGr.trimmed().isEmpty() && caption.shiftAltGr.trimmed().isEmpty()))
                caption = KeyCaption{QString(), QString(), QString(), QString(), name};
        } else if (KeyTypes::IsAccent(type)) {
            caption.plain = AccentMark(type);
            caption.plainMark = true;
            if (KeyTypes::IsCharType(type2)) {
                // A character under Shift.
                const auto it = keyChars.find(intAt(i, fValue));
                if (it != keyChars.end())
                    caption.shifted = charOf(it->second, 1);
            } else if (type2 != type) {
                caption.shifted = AccentMark(type2);
                caption.shiftedMark = true;
            }
        } else {
            caption.centre = name;
        }
        const uint32_t face = faces.oneColor || finger < 0 || finger > 9
            ? faces.color
            : uint32_t(dm.FingerColor[size_t(finger)]) & 0xFFFFFF;
        pictures.push_back({t.RowAt(i), ImageToGlyph(DrawKeyPicture(caption, w, h, face))});
        ++result.drawn;
    }
    {
        ControlsDisabled quiet(t);
        for (const Picture &pic : pictures)
            t.SetBookmarkValue(pic.row, fGlyph, TValue(pic.glyph));
    }
    return result;
}

std::array<int32_t, 10> DefaultFingerColors()
{
    return {int32_t(0xC0C0FF), int32_t(0xC0FFC0), int32_t(0xFFE0C0), int32_t(0xC0FFFF), int32_t(0xE0E0E0),
            int32_t(0xE0E0E0), int32_t(0xFFC0FF), int32_t(0xFFE0C0), int32_t(0xC0FFC0), int32_t(0xC0C0FF)};
}

} // namespace kf
