#include "SkinPainter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace zivskin {

namespace {

constexpr int kSamples = 4; // per axis, for the anti-aliased edges

float channel(uint32_t argb, int shift)
{
    return static_cast<float>((argb >> shift) & 0xFF) / 255.0f;
}

uint8_t toByte(float value)
{
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

// Straight-alpha "over": the colour with its alpha scaled by the coverage,
// laid over the pixel.
void blendOver(Image& image, uint32_t x, uint32_t y, uint32_t argb, float coverage)
{
    const float sa = channel(argb, 24) * coverage;
    if (sa <= 0.0f) {
        return;
    }
    uint8_t* p = image.pixel(x, y);
    const float da = p[3] / 255.0f;
    const float oa = sa + da * (1.0f - sa);
    const int shifts[3] = {16, 8, 0};
    for (int c = 0; c < 3; ++c) {
        const float sc = channel(argb, shifts[c]);
        const float dc = p[c] / 255.0f;
        p[c] = toByte((sc * sa + dc * da * (1.0f - sa)) / oa);
    }
    p[3] = toByte(oa);
}

uint32_t lerpColour(uint32_t a, uint32_t b, float t)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const float va = static_cast<float>((a >> shift) & 0xFF);
        const float vb = static_cast<float>((b >> shift) & 0xFF);
        const auto v = static_cast<uint32_t>(std::lround(va + (vb - va) * t));
        out |= std::min(v, 255u) << shift;
    }
    return out;
}

bool insideRoundRect(float px, float py, float left, float top, float right, float bottom, float radius)
{
    if (px < left || px > right || py < top || py > bottom) {
        return false;
    }
    const float cx = std::clamp(px, left + radius, right - radius);
    const float cy = std::clamp(py, top + radius, bottom - radius);
    const float dx = px - cx;
    const float dy = py - cy;
    return dx * dx + dy * dy <= radius * radius;
}

// Covers the pixels that the shape may touch and lays each one's colour over
// it with the share of its samples inside the shape.
template <typename Inside, typename Colour>
void paintShape(Image& image, float left, float top, float right, float bottom, Inside inside, Colour colour)
{
    const int x0 = std::max(0, static_cast<int>(std::floor(left)));
    const int y0 = std::max(0, static_cast<int>(std::floor(top)));
    const int x1 = std::min(static_cast<int>(image.width), static_cast<int>(std::ceil(right)));
    const int y1 = std::min(static_cast<int>(image.height), static_cast<int>(std::ceil(bottom)));
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const float px = static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / kSamples;
                    const float py = static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / kSamples;
                    hits += inside(px, py) ? 1 : 0;
                }
            }
            if (hits > 0) {
                blendOver(image, static_cast<uint32_t>(x), static_cast<uint32_t>(y), colour(x, y),
                          static_cast<float>(hits) / (kSamples * kSamples));
            }
        }
    }
}

} // namespace

Shade solid(uint32_t argb)
{
    return [argb](float, float) { return argb; };
}

Shade vertical(uint32_t topArgb, uint32_t bottomArgb)
{
    return [topArgb, bottomArgb](float, float y) { return lerpColour(topArgb, bottomArgb, y); };
}

void fillRoundRect(Image& image, float left, float top, float right, float bottom, float radius, const Shade& shade)
{
    paintShape(
        image, left, top, right, bottom,
        [&](float px, float py) { return insideRoundRect(px, py, left, top, right, bottom, radius); },
        [&](int x, int y) {
            const float u = (static_cast<float>(x) + 0.5f - left) / (right - left);
            const float v = (static_cast<float>(y) + 0.5f - top) / (bottom - top);
            return shade(std::clamp(u, 0.0f, 1.0f), std::clamp(v, 0.0f, 1.0f));
        });
}

void fillPolygon(Image& image, const std::vector<std::pair<float, float>>& points, uint32_t argb)
{
    float left = points[0].first, right = left, top = points[0].second, bottom = top;
    for (const auto& [x, y] : points) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    auto inside = [&](float px, float py) {
        bool negative = false, positive = false;
        for (size_t i = 0; i < points.size(); ++i) {
            const auto& [ax, ay] = points[i];
            const auto& [bx, by] = points[(i + 1) % points.size()];
            const float cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
            negative = negative || cross < 0.0f;
            positive = positive || cross > 0.0f;
        }
        return !(negative && positive);
    };
    paintShape(image, left, top, right, bottom, inside, [argb](int, int) { return argb; });
}

namespace {

// A 64 x 64 tile that repeats without seams: a soft diagonal wave and a dot
// every 16 pixels.
Image paintWallpaper()
{
    Image image(64, 64, 0);
    const float pi = 3.14159265f;
    for (uint32_t y = 0; y < 64; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            const float wave = 0.5f + 0.5f * std::sin(2.0f * pi * static_cast<float>(x + y) / 64.0f);
            uint32_t colour = lerpColour(0xFF2B6488u, 0xFF3A7FA8u, wave);
            image.setArgb(x, y, colour);
        }
    }
    for (uint32_t y = 0; y < 64; y += 16) {
        for (uint32_t x = 0; x < 64; x += 16) {
            fillRoundRect(image, static_cast<float>(x) + 6.5f, static_cast<float>(y) + 6.5f,
                          static_cast<float>(x) + 9.5f, static_cast<float>(y) + 9.5f, 1.5f, solid(0x804F95C0u));
        }
    }
    return image;
}

// The window frame, drawn as nine slices with an 8-pixel border.
Image paintWindow()
{
    Image image(32, 32, 0);
    fillRoundRect(image, 0, 0, 32, 32, 6, solid(0xFF3B4758u));
    fillRoundRect(image, 1, 1, 31, 31, 5, solid(0xFFEEF1F5u));
    return image;
}

// The title bar: rounded at the top, drawn as three slices 6 pixels wide at
// the ends.
Image paintTitleBar()
{
    Image image(16, 24, 0);
    fillRoundRect(image, 0, 0, 16, 30, 5, vertical(0xFF5A8ED3u, 0xFF2A5799u));
    fillRoundRect(image, 0, 23, 16, 24, 0, solid(0xFF22467Cu));
    return image;
}

// Three states of an 80 x 26 button, one under the other: normal, hover,
// pressed.
Image paintButtons()
{
    Image image(80, 78, 0);
    struct State {
        uint32_t border, top, bottom;
    };
    const State states[3] = {{0xFF8A95A5u, 0xFFFFFFFFu, 0xFFE1E6EEu},
                             {0xFF3D7BD0u, 0xFFF3F9FFu, 0xFFCDE2FAu},
                             {0xFF2F62A8u, 0xFFBCD3EEu, 0xFFD9E6F6u}};
    for (int i = 0; i < 3; ++i) {
        const float y = 26.0f * static_cast<float>(i);
        fillRoundRect(image, 0, y, 80, y + 26, 4, solid(states[i].border));
        fillRoundRect(image, 1, y + 1, 79, y + 25, 3, vertical(states[i].top, states[i].bottom));
    }
    return image;
}

// The panel: a dark rounded card that scenes draw translucent, as nine
// slices with a 12-pixel border.
Image paintPanel()
{
    Image image(48, 48, 0);
    fillRoundRect(image, 0, 0, 48, 48, 10, solid(0xFF6B7F9Eu));
    fillRoundRect(image, 1, 1, 47, 47, 9, solid(0xFF202A3Au));
    return image;
}

// A folder in white with a grey outline, made to be tinted.
Image paintIcon()
{
    Image image(32, 32, 0);
    fillRoundRect(image, 3, 5, 15, 13, 2, solid(0xFF6E6E6Eu));
    fillRoundRect(image, 4, 6, 14, 12, 1.5f, solid(0xFFFFFFFFu));
    fillRoundRect(image, 2, 9, 30, 28, 3, solid(0xFF6E6E6Eu));
    fillRoundRect(image, 3, 10, 29, 27, 2, solid(0xFFFFFFFFu));
    fillRoundRect(image, 3, 14, 29, 15, 0, solid(0xFFB4B4B4u));
    return image;
}

// The scroll bar parts side by side: track, thumb, arrow up over arrow down.
Image paintScrollBar()
{
    Image image(48, 32, 0);
    fillRoundRect(image, 0, 0, 16, 32, 0, solid(0xFFE3E7ECu));
    fillRoundRect(image, 0, 0, 1, 32, 0, solid(0xFFC3CAD4u));
    fillRoundRect(image, 18, 2, 30, 30, 5, solid(0xFF8F9BADu));
    fillRoundRect(image, 19, 3, 29, 29, 4, solid(0xFFB7C1CFu));
    fillRoundRect(image, 32, 0, 48, 32, 0, solid(0xFFE9ECF0u));
    fillRoundRect(image, 32, 15.5f, 48, 16.5f, 0, solid(0xFFC3CAD4u));
    fillPolygon(image, {{40.0f, 5.0f}, {45.0f, 11.0f}, {35.0f, 11.0f}}, 0xFF5B6675u);
    fillPolygon(image, {{35.0f, 21.0f}, {45.0f, 21.0f}, {40.0f, 27.0f}}, 0xFF5B6675u);
    return image;
}

} // namespace

std::vector<SkinImage> paintSkin()
{
    std::vector<SkinImage> skin;
    skin.push_back({"wallpaper.png", paintWallpaper(), false});
    skin.push_back({"window.png", paintWindow(), true});
    skin.push_back({"titlebar.png", paintTitleBar(), true});
    skin.push_back({"buttons.png", paintButtons(), true});
    skin.push_back({"panel.png", paintPanel(), true});
    skin.push_back({"icon.png", paintIcon(), true});
    skin.push_back({"scrollbar.png", paintScrollBar(), true});
    return skin;
}

namespace {

struct RasterGlyph {
    uint32_t code;
    uint32_t width, height;
    int32_t left, top, advance;
    std::vector<uint8_t> coverage;
    uint32_t x = 0, y = 0;
};

struct RasterFace {
    FontFace face;
    int32_t ascender = 0, descender = 0, lineHeight = 0;
    std::vector<RasterGlyph> glyphs;
};

class FreeTypeLibrary {
public:
    FreeTypeLibrary()
    {
        if (FT_Init_FreeType(&d_library) != 0) {
            throw std::runtime_error("FreeType cannot start");
        }
    }
    ~FreeTypeLibrary() { FT_Done_FreeType(d_library); }
    FreeTypeLibrary(const FreeTypeLibrary&) = delete;
    FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;
    FT_Library get() const { return d_library; }

private:
    FT_Library d_library = nullptr;
};

RasterFace rasterise(FT_Library library, const FontFace& face)
{
    FT_Face ftFace = nullptr;
    if (FT_New_Face(library, face.fontFile.c_str(), 0, &ftFace) != 0) {
        throw std::runtime_error("cannot read the font '" + face.fontFile + "'");
    }
    RasterFace out;
    out.face = face;
    try {
        if (FT_Set_Pixel_Sizes(ftFace, 0, face.pixelSize) != 0) {
            throw std::runtime_error("the font '" + face.fontFile + "' has no size " + std::to_string(face.pixelSize));
        }
        out.ascender = static_cast<int32_t>(ftFace->size->metrics.ascender >> 6);
        out.descender = static_cast<int32_t>(ftFace->size->metrics.descender >> 6);
        out.lineHeight = static_cast<int32_t>(ftFace->size->metrics.height >> 6);
        for (uint32_t code = 32; code < 127; ++code) {
            if (FT_Load_Char(ftFace, code, FT_LOAD_RENDER) != 0) {
                throw std::runtime_error("the font '" + face.fontFile + "' cannot draw character " +
                                         std::to_string(code));
            }
            const FT_GlyphSlot slot = ftFace->glyph;
            RasterGlyph glyph{code,
                              slot->bitmap.width,
                              slot->bitmap.rows,
                              slot->bitmap_left,
                              slot->bitmap_top,
                              static_cast<int32_t>((slot->advance.x + 32) >> 6),
                              {}};
            glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.height);
            for (uint32_t row = 0; row < glyph.height; ++row) {
                const uint8_t* src = slot->bitmap.buffer + static_cast<ptrdiff_t>(row) * slot->bitmap.pitch;
                std::copy(src, src + glyph.width, glyph.coverage.begin() + static_cast<ptrdiff_t>(row * glyph.width));
            }
            out.glyphs.push_back(std::move(glyph));
        }
    } catch (...) {
        FT_Done_Face(ftFace);
        throw;
    }
    FT_Done_Face(ftFace);
    return out;
}

} // namespace

GlyphAtlas rasteriseGlyphs(const std::vector<FontFace>& faces, const std::string& atlasFileName)
{
    FreeTypeLibrary library;
    std::vector<RasterFace> rasters;
    for (const FontFace& face : faces) {
        rasters.push_back(rasterise(library.get(), face));
    }

    // Shelf packing into rows of a 256-pixel-wide atlas, one pixel apart.
    constexpr uint32_t kAtlasWidth = 256;
    uint32_t penX = 1, penY = 1, shelf = 0;
    for (RasterFace& raster : rasters) {
        for (RasterGlyph& glyph : raster.glyphs) {
            if (glyph.width == 0 || glyph.height == 0) {
                continue;
            }
            if (penX + glyph.width + 1 > kAtlasWidth) {
                penX = 1;
                penY += shelf + 1;
                shelf = 0;
            }
            glyph.x = penX;
            glyph.y = penY;
            penX += glyph.width + 1;
            shelf = std::max(shelf, glyph.height);
        }
    }
    uint32_t height = 1;
    while (height < penY + shelf + 1) {
        height *= 2;
    }

    GlyphAtlas atlas;
    atlas.image = Image(kAtlasWidth, height, 0);
    std::ostringstream json;
    json << "{\n  \"atlas\": \"" << atlasFileName << "\",\n"
         << "  \"glyphFields\": [\"code\", \"x\", \"y\", \"width\", \"height\", \"left\", \"top\", \"advance\"],\n"
         << "  \"faces\": {";
    for (size_t f = 0; f < rasters.size(); ++f) {
        const RasterFace& raster = rasters[f];
        const std::string fontName = raster.face.fontFile.substr(raster.face.fontFile.find_last_of('/') + 1);
        json << (f ? "," : "") << "\n    \"" << raster.face.name << "\": {\n"
             << "      \"font\": \"" << fontName << "\",\n"
             << "      \"pixelSize\": " << raster.face.pixelSize << ",\n"
             << "      \"ascender\": " << raster.ascender << ",\n"
             << "      \"descender\": " << raster.descender << ",\n"
             << "      \"lineHeight\": " << raster.lineHeight << ",\n"
             << "      \"glyphs\": [";
        for (size_t g = 0; g < raster.glyphs.size(); ++g) {
            const RasterGlyph& glyph = raster.glyphs[g];
            for (uint32_t row = 0; row < glyph.height; ++row) {
                for (uint32_t col = 0; col < glyph.width; ++col) {
                    const uint8_t coverage = glyph.coverage[row * glyph.width + col];
                    atlas.image.setArgb(glyph.x + col, glyph.y + row,
                                        static_cast<uint32_t>(coverage) << 24 | 0x00FFFFFFu);
                }
            }
            json << (g ? "," : "") << "\n        [" << glyph.code << ", " << glyph.x << ", " << glyph.y << ", "
                 << glyph.width << ", " << glyph.height << ", " << glyph.left << ", " << glyph.top << ", "
                 << glyph.advance << "]";
        }
        json << "\n      ]\n    }";
    }
    json << "\n  }\n}\n";
    atlas.json = json.str();
    return atlas;
}

} // namespace zivskin
