#pragma once
// The definition window's picture tools: key-colour recolouring. The picture
// codec itself (Glyph <-> image, face colour) is model/GlyphCodec.h.

#include <QImage>
#include <cstdint>

namespace kf {

// Key colour: every pixel within 40 per channel (strictly less) of the
// bottom-left pixel, read once before any change, takes `color`. A picture
// with a palette keeps its palette and takes the nearest palette entry.
// Returns the recoloured picture; a null picture comes back unchanged.
QImage RecolorKey(const QImage &picture, uint32_t color);

} // namespace kf
