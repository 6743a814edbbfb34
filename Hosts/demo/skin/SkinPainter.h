// Painting of the demo's skin: the window frame, title bar, buttons, panel,
// icon, scroll bar and desktop wallpaper, drawn with anti-aliased shapes into
// 8-bit RGBA images, and the glyph atlas rasterised with FreeType.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Image.h"

namespace zivskin {

using zivdemo::Image;

// A colour as a function of the position inside the shape (0..1 from top to
// bottom), so that one call paints a gradient.
using Shade = std::function<uint32_t(float x, float y)>;

Shade solid(uint32_t argb);
Shade vertical(uint32_t topArgb, uint32_t bottomArgb);

// Paints a rounded rectangle over the image ("over" compositing with straight
// alpha), its edges anti-aliased by 4 x 4 supersampling.
void fillRoundRect(Image& image, float left, float top, float right, float bottom, float radius, const Shade& shade);

// Paints a closed convex polygon, anti-aliased the same way.
void fillPolygon(Image& image, const std::vector<std::pair<float, float>>& points, uint32_t argb);

struct SkinImage {
    std::string fileName;
    Image image;
    bool withAlpha;
};

// Every skin image, in a fixed order.
std::vector<SkinImage> paintSkin();

// One face of the glyph atlas.
struct FontFace {
    std::string name;     // the name scenes use, e.g. "sans"
    std::string fontFile; // a TrueType file
    uint32_t pixelSize;
};

struct GlyphAtlas {
    Image image;      // white glyphs, coverage in alpha
    std::string json; // the metrics, see SCENE.md
};

// Rasterises the printable ASCII characters of every face into one atlas.
// Throws std::runtime_error when a font cannot be read.
GlyphAtlas rasteriseGlyphs(const std::vector<FontFace>& faces, const std::string& atlasFileName);

} // namespace zivskin
