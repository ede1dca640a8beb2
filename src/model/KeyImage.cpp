#include "model/KeyImage.h"
#include "common/ColorValue.h"

#include <cstdlib>

namespace kf {

namespace {

int nearestIndex(const QVector<QRgb> &table, QRgb c)
{
    int best = 0;
    long bestDist = -1;
    for (int i = 0; i < table.size(); ++i) {
        const long dr = qRed(table[i]) - qRed(c), dg = qGreen(table[i]) - qGreen(c),
                   db = qBlue(table[i]) - qBlue(c);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

} // namespace

QImage RecolorKey(const QImage &picture, uint32_t color)
{
    if (picture.isNull() || picture.width() == 0 || picture.height() == 0)
        return picture;
    QImage out = picture;
    const QRgb ref = out.pixel(0, out.height() - 1);
    const QRgb target = ColorValueToRgb(color);
    const bool paletted = out.format() == QImage::Format_Indexed8 || out.format() == QImage::Format_Mono
        || out.format() == QImage::Format_MonoLSB;
    const int targetIndex = paletted ? nearestIndex(out.colorTable(), target) : 0;
    const int rr = qRed(ref), rg = qGreen(ref), rb = qBlue(ref);
    for (int x = 0; x < out.width(); ++x) {
        for (int y = 0; y < out.height(); ++y) {
            const QRgb p = picture.pixel(x, y);
            if (std::abs(qRed(p) - rr) < 40 && std::abs(qGreen(p) - rg) < 40 && std::abs(qBlue(p) - rb) < 40) {
                if (paletted)
                    out.setPixel(x, y, uint(targetIndex));
                else
                    out.setPixel(x, y, (target & 0x00FFFFFF) | (p & 0xFF000000));
            }
        }
    }
    return out;
}

} // namespace kf
