#include "model/GlyphCache.h"

#include "model/GlyphCodec.h"

namespace kf {

QImage TGlyphCache::Picture(const std::string &glyph)
{
    if (glyph.empty())
        return QImage();
    const auto it = m_pictures.find(glyph);
    if (it != m_pictures.end())
        return it->second;
    if (m_pictures.size() >= m_capacity)
        m_pictures.clear();
    return m_pictures.emplace(glyph, GlyphToImageOrNull(glyph)).first->second;
}

} // namespace kf
