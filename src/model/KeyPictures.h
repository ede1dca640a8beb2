#pragma once
// Drawn key pictures: a key cap of a face colour with the key's characters on
// it (the Shift character above the plain one, the AltGr character in the
// lower right), for every key of a definition at its Width x Height. The
// bottom-left pixel of each picture is its face colour.

#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>

namespace kf {

class CodePage;
class TDataMod;

// What a key cap shows. A key that types no character shows its name in the
// middle; an Alpha key shows only its capital letter.
struct KeyCaption {
    QString shifted;    // upper left
    QString plain;      // lower left
    QString altGr;      // lower right
    QString shiftAltGr; // upper right
    QString centre;     // in the middle, alone (a key's name)
    // Which places hold a dead key's accent mark (AccentMark): a mark is drawn
    // as large as a capital letter in its place, not at the small size the
    // font gives spacing accents.
    bool shiftedMark = false;
    bool plainMark = false;
    bool altGrMark = false;
};

// The area of a W x H picture inside the key's frame; every caption stays in it.
QRect KeyCaptionArea(int width, int height);

// One key picture of face colour `face` (a colour value), W x H pixels (at
// least 1 x 1). Captions shrink to fit their place (a name too long even in
// the smallest size is cut, ending in "…"); text is black or white, whichever
// stands out on the face. Needs a QGuiApplication (fonts).
QImage DrawKeyPicture(const KeyCaption &caption, int width, int height, uint32_t face);

// The spacing character a key cap shows for an accent code 2001..2008 ("´"
// for 2002); empty for another code.
QString AccentMark(int32_t accent);

// Where the face colours come from: each key's finger colour of the settings,
// or one colour for every key.
struct KeyFaces {
    bool oneColor = false;
    uint32_t color = 0xE0E0E0; // the one colour; also the face of a key whose
                               // Finger is not 0..9 when finger colours are used
};

struct KeyPicturesResult {
    int drawn = 0;
    int skipped = 0; // keys whose Width or Height is not 1..kMaxKeyPictureSide
};
constexpr int kMaxKeyPictureSide = 2000;

// Draws the Glyph of every key of the key table from its type, its
// characters (the character rows without accent of its KeyValue, the lowest
// Code per state as typing finds it, shown through the code page cp) and its
// Name. Pending edits of both tables are posted first. The key table keeps its
// current row and order; every cursor sees the new pictures at once.
KeyPicturesResult DrawKeyPictures(TDataMod &dm, const KeyFaces &faces, const CodePage &cp);
// The same in the code page in force.
KeyPicturesResult DrawKeyPictures(TDataMod &dm, const KeyFaces &faces);

// Light finger colours (colour values by finger code), for a definition whose
// finger colours are not set yet.
std::array<int32_t, 10> DefaultFingerColors();

} // namespace kf
