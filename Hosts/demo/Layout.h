// Turns a frame of a scene into the quads a GUI library would queue: tiles,
// nine-slice frames and lines of text become one quad per tile, slice or
// glyph.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Scene.h"

namespace zivdemo {

// left, top, right, bottom in pixels; right and bottom exclusive.
struct Rect {
    float left = 0, top = 0, right = 0, bottom = 0;
};

struct Quad {
    Rect dest;
    float z = 0.5f;
    std::string texture;
    Rect source;
    Corners colours;
    uint32_t aux = 0;
};

struct TextureSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

struct LayoutContext {
    float displayWidth = 0;
    float displayHeight = 0;
    // The size of a scene texture, as loaded.
    std::function<TextureSize(const std::string&)> textureSize;
    // The metrics of every font of the scene, by the scene's font name.
    std::map<std::string, FontMetrics> fonts;
    // Replacements for "{name}" in texts.
    std::map<std::string, std::string> variables;
};

// The quads of one item, in submission order. Throws std::runtime_error
// naming the item's place in the scene when it cannot be laid out.
std::vector<Quad> layoutItem(const Item& item, const Scene& scene, const LayoutContext& context);

// The quads of every group of the frame, group by group, in submission order;
// anchored groups moved with their corner of the display.
std::vector<Quad> layoutFrame(const Scene& scene, const FrameSpec& frame, const LayoutContext& context);

// Where the frame's anchored groups (other than top-left) put quads on the
// display: one rectangle per quad.
std::vector<Rect> anchoredAreas(const Scene& scene, const FrameSpec& frame, const LayoutContext& context);

// The text with every "{name}" of the variables replaced; unknown names stay.
std::string substitute(const std::string& text, const std::map<std::string, std::string>& variables);

// The advance of a line of text: the sum of its glyphs' advances.
int32_t lineWidth(const std::string& line, const FontMetrics& metrics);

// How many target pixels the renderer blends in software for these quads in
// a blend mode, estimated from the quads alone: in modes 1 and 2 every quad
// whose averaged corner colour is translucent or not white goes through the
// software blend, over its whole destination rectangle clipped to the
// display; in mode 0 nothing is blended. Transparent texels are counted too.
uint64_t estimateBlendedPixels(const std::vector<Quad>& quads, int32_t blendMode, uint32_t displayWidth,
                               uint32_t displayHeight);

} // namespace zivdemo
