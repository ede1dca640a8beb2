#pragma once
// The key picture codec: the bitmap held in a key row's Glyph field, read and
// written, its limits, and the face colour (the bottom-left pixel).

#include <QImage>
#include <cstdint>
#include <string>
#include <string_view>

namespace kf {

// The bitmap file image inside a Glyph value. A stored value may start with an
// 8-byte header (u16 count 1, u16 type 0x0100, u32 size of what follows); the
// header is skipped only when all three match, otherwise the whole value is the
// bitmap file image.
std::string_view GlyphBitmapBytes(std::string_view glyph);

// The picture of a Glyph value; a null image for an empty value. Throws
// EInvalidGraphic("Bitmap image is not valid") when the value is not a bitmap.
QImage GlyphToImage(std::string_view glyph);

// Same, but a value that is not a valid bitmap gives a null image.
QImage GlyphToImageOrNull(std::string_view glyph);

// A picture as a Glyph value: the 8-byte header and a BMP file image. A null
// image gives an empty value.
std::string ImageToGlyph(const QImage &image);

// A BMP file image of the picture (no header).
std::string ImageToBmp(const QImage &image);

// Reads a bitmap (.bmp) file. Throws EFOpenError when the file cannot be read
// and EInvalidGraphic("Bitmap image is not valid") when it is not a bitmap.
QImage LoadBitmapFile(const std::string &path);

// Reads bitmap file bytes; throws EInvalidGraphic when they are not a bitmap.
QImage BitmapFromBytes(std::string_view bytes);

// The most pixels a key picture may have: the bitmap reader refuses larger ones.
constexpr qint64 kMaxKeyPicturePixels = qint64(1) << 26;

// Refuses a picture that no keyboard package could hold, with an
// EInvalidGraphic whose message names the limit: more than
// kMaxKeyPicturePixels pixels, or a Glyph value (ImageToGlyph) larger than
// maxGlyphBytes. A null picture always passes.
void CheckKeyPicture(const QImage &picture, uint64_t maxGlyphBytes);

// The bottom-left pixel's colour value: the key's face and transparent colour.
// Only meaningful for a non-null image.
uint32_t KeyFaceColor(const QImage &image);

} // namespace kf
