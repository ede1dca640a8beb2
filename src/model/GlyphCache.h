#pragma once
// Key pictures decoded once. A view that shows Glyph values asks here instead
// of decoding on every paint and size hint: a value seen before gives the very
// image decoded then, so a picture is decoded again only when its row's Glyph
// changes. A value that is not a bitmap gives a null image, as
// GlyphToImageOrNull does.

#include <QImage>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace kf {

class TGlyphCache {
public:
    // At most this many pictures are kept; a further one starts afresh.
    explicit TGlyphCache(std::size_t capacity = 512) : m_capacity(capacity == 0 ? 1 : capacity) {}

    // The picture of a Glyph value (a null image for an empty or bad value);
    // a value asked for before gives a copy of the same image (same cacheKey).
    QImage Picture(const std::string &glyph);
    // Forgets every picture (the next request decodes again).
    void Clear() { m_pictures.clear(); }
    std::size_t Size() const { return m_pictures.size(); }

private:
    std::size_t m_capacity;
    std::unordered_map<std::string, QImage> m_pictures;
};

} // namespace kf
