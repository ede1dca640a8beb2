#include "model/GlyphCodec.h"
#include "common/ColorValue.h"
#include "common/Errors.h"
#include "common/TextFile.h"
#include "common/Translation.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <cstdlib>
#include <cstring>

namespace kf {

namespace {

constexpr char kNotBitmap[] = "Bitmap image is not valid";
constexpr char kTooManyPixels[] = "A key picture may have at most %s pixels";
constexpr char kTooLarge[] = "A key picture may take at most %s bytes in a keyboard package";
// Bitmaps larger than this many pixels are refused (a hostile file could
// otherwise ask for gigabytes).
constexpr qint64 kMaxPixels = kMaxKeyPicturePixels;

uint32_t readU32(const unsigned char *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t readU16(const unsigned char *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

bool looksLikeBmp(std::string_view bytes)
{
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const uint32_t infoSize = readU32(p + 14);
    int64_t w = 0, h = 0;
    if (infoSize == 12) {
        w = readU16(p + 18);
        h = readU16(p + 20);
    } else if (infoSize >= 40 && bytes.size() >= 26) {
        w = int32_t(readU32(p + 18));
        h = int32_t(readU32(p + 22));
    } else {
        return false;
    }
    w = std::llabs(w);
    h = std::llabs(h);
    return w * h <= kMaxPixels;
}

} // namespace

std::string_view GlyphBitmapBytes(std::string_view glyph)
{
    if (glyph.size() > 7) {
        const auto *p = reinterpret_cast<const unsigned char *>(glyph.data());
        if (readU16(p) == 1 && readU16(p + 2) == 0x0100 && readU32(p + 4) == glyph.size() - 8)
            return glyph.substr(8);
    }
    return glyph;
}

QImage BitmapFromBytes(std::string_view bytes)
{
    if (!looksLikeBmp(bytes))
        throw EInvalidGraphic(Translate(kNotBitmap));
    // The image reader refuses by itself what would take more than its
    // allocation limit as 32-bit pixels; our own limit on the pixel count is
    // the one that counts, so every picture a key may have reads back.
    constexpr int kLimitMiB = int(kMaxPixels * 4 / (1024 * 1024));
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < kLimitMiB)
        QImageReader::setAllocationLimit(kLimitMiB);
    QImage image;
    const QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    if (!image.loadFromData(data, "BMP") || image.isNull())
        throw EInvalidGraphic(Translate(kNotBitmap));
    return image;
}

QImage GlyphToImage(std::string_view glyph)
{
    if (glyph.empty())
        return QImage();
    return BitmapFromBytes(GlyphBitmapBytes(glyph));
}

QImage GlyphToImageOrNull(std::string_view glyph)
{
    try {
        return GlyphToImage(glyph);
    } catch (const EInvalidGraphic &) {
        return QImage();
    }
}

std::string ImageToBmp(const QImage &image)
{
    if (image.isNull())
        return std::string();
    QImage toWrite = image;
    // The bitmap writer knows 1-, 8-, 24- and 32-bit pictures; others become 24-bit.
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_RGB32:
        break;
    default:
        toWrite = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                : QImage::Format_RGB32);
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!toWrite.save(&buffer, "BMP"))
        throw EInvalidGraphic(Translate(kNotBitmap));
    return std::string(out.constData(), size_t(out.size()));
}

std::string ImageToGlyph(const QImage &image)
{
    const std::string bmp = ImageToBmp(image);
    if (bmp.empty())
        return bmp;
    std::string value(8, '\0');
    const uint32_t size = uint32_t(bmp.size());
    value[0] = 1;
    value[1] = 0;
    value[2] = 0;
    value[3] = 1;
    for (int i = 0; i < 4; ++i)
        value[size_t(4 + i)] = char((size >> (8 * i)) & 0xFF);
    return value + bmp;
}

void CheckKeyPicture(const QImage &picture, uint64_t maxGlyphBytes)
{
    if (picture.isNull())
        return;
    if (qint64(picture.width()) * qint64(picture.height()) > kMaxKeyPicturePixels)
        throw EInvalidGraphic(LibraryText(kTooManyPixels, std::to_string(kMaxKeyPicturePixels)));
    // The bitmap takes at least one bit a pixel: no need to write out a
    // picture that cannot fit.
    const uint64_t leastBytes = uint64_t(picture.width()) * uint64_t(picture.height()) / 8;
    if (leastBytes > maxGlyphBytes || ImageToGlyph(picture).size() > maxGlyphBytes)
        throw EInvalidGraphic(LibraryText(kTooLarge, std::to_string(maxGlyphBytes)));
}

QImage LoadBitmapFile(const std::string &path)
{
    return BitmapFromBytes(readFileBytes(path, 256u << 20));
}

uint32_t KeyFaceColor(const QImage &image)
{
    if (image.isNull())
        return 0;
    return RgbToColorValue(image.pixel(0, image.height() - 1));
}

} // namespace kf
