#include "Layout.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace zivdemo {

namespace {

// More quads than this from one item is a mistake in the scene (a tile of a
// pixel or two), not a GUI.
constexpr size_t kMaxQuadsPerItem = 100000;

Quad makeQuad(const Item& item, const std::string& texture, Rect dest, Rect source)
{
    Quad quad;
    quad.dest = dest;
    quad.z = item.z;
    quad.texture = texture;
    quad.source = source;
    quad.colours = item.colours;
    quad.aux = item.aux;
    return quad;
}

Box sourceBox(const Item& item, const LayoutContext& context)
{
    if (item.source) {
        return *item.source;
    }
    const TextureSize size = context.textureSize(item.texture);
    return Box{0, 0, static_cast<float>(size.width), static_cast<float>(size.height)};
}

void layoutTiles(const Item& item, const LayoutContext& context, std::vector<Quad>& out)
{
    const Box area = item.coversDisplay ? Box{0, 0, context.displayWidth, context.displayHeight} : item.dest;
    const Box src = sourceBox(item, context);
    if (src.w < 1 || src.h < 1) {
        throw std::runtime_error(item.where + ": a tile must be at least one pixel wide and high");
    }
    const double count = std::ceil(area.w / src.w) * std::ceil(area.h / src.h);
    if (count > static_cast<double>(kMaxQuadsPerItem)) {
        throw std::runtime_error(item.where + ": the tiling would make more than " + std::to_string(kMaxQuadsPerItem) +
                                 " quads");
    }
    for (float y = area.y; y < area.y + area.h; y += src.h) {
        const float h = std::min(src.h, area.y + area.h - y);
        for (float x = area.x; x < area.x + area.w; x += src.w) {
            const float w = std::min(src.w, area.x + area.w - x);
            out.push_back(
                makeQuad(item, item.texture, Rect{x, y, x + w, y + h}, Rect{src.x, src.y, src.x + w, src.y + h}));
        }
    }
}

void layoutNine(const Item& item, const LayoutContext& context, std::vector<Quad>& out)
{
    const Box src = sourceBox(item, context);
    const Box& d = item.dest;
    const float left = item.border[0], top = item.border[1], right = item.border[2], bottom = item.border[3];
    if (left + right > src.w || top + bottom > src.h) {
        throw std::runtime_error(item.where + ": the border is wider than the texture rectangle");
    }
    if (left + right > d.w || top + bottom > d.h) {
        throw std::runtime_error(item.where + ": the border is wider than the destination");
    }
    const float dx[4] = {d.x, d.x + left, d.x + d.w - right, d.x + d.w};
    const float dy[4] = {d.y, d.y + top, d.y + d.h - bottom, d.y + d.h};
    const float sx[4] = {src.x, src.x + left, src.x + src.w - right, src.x + src.w};
    const float sy[4] = {src.y, src.y + top, src.y + src.h - bottom, src.y + src.h};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (dx[col + 1] > dx[col] && dy[row + 1] > dy[row] && sx[col + 1] > sx[col] && sy[row + 1] > sy[row]) {
                out.push_back(makeQuad(item, item.texture, Rect{dx[col], dy[row], dx[col + 1], dy[row + 1]},
                                       Rect{sx[col], sy[row], sx[col + 1], sy[row + 1]}));
            }
        }
    }
}

const Glyph* findGlyph(const FontMetrics& metrics, unsigned char c)
{
    auto it = metrics.glyphs.find(c);
    if (it == metrics.glyphs.end()) {
        it = metrics.glyphs.find('?');
    }
    return it == metrics.glyphs.end() ? nullptr : &it->second;
}

void layoutText(const Item& item, const Scene& scene, const LayoutContext& context, std::vector<Quad>& out)
{
    const FontSpec* font = scene.font(item.font);
    const auto metrics = context.fonts.find(item.font);
    if (font == nullptr || metrics == context.fonts.end()) {
        throw std::runtime_error(item.where + ": the font '" + item.font + "' is not loaded");
    }
    const std::string text = substitute(item.text, context.variables);
    float baseline = item.atY + static_cast<float>(metrics->second.ascender);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        const float width = static_cast<float>(lineWidth(line, metrics->second));
        float pen = item.atX;
        if (item.align == Align::Centre) {
            pen = std::floor(item.atX - width / 2);
        } else if (item.align == Align::Right) {
            pen = item.atX - width;
        }
        for (unsigned char c : line) {
            const Glyph* glyph = findGlyph(metrics->second, c);
            if (glyph == nullptr) {
                continue;
            }
            if (glyph->w > 0 && glyph->h > 0) {
                const float x = pen + static_cast<float>(glyph->left);
                const float y = baseline - static_cast<float>(glyph->top);
                out.push_back(makeQuad(
                    item, font->texture, Rect{x, y, x + static_cast<float>(glyph->w), y + static_cast<float>(glyph->h)},
                    Rect{static_cast<float>(glyph->x), static_cast<float>(glyph->y),
                         static_cast<float>(glyph->x + glyph->w), static_cast<float>(glyph->y + glyph->h)}));
            }
            pen += static_cast<float>(glyph->advance);
        }
        baseline += static_cast<float>(metrics->second.lineHeight);
        start = end + 1;
    }
}

// Float to integer as the renderer converts: toward zero, saturated.
int64_t truncated(float value)
{
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int64_t>(std::clamp(std::trunc(static_cast<double>(value)), -2147483648.0, 2147483647.0));
}

} // namespace

std::vector<Quad> layoutItem(const Item& item, const Scene& scene, const LayoutContext& context)
{
    std::vector<Quad> out;
    switch (item.kind) {
    case ItemKind::Image: {
        const Box src = sourceBox(item, context);
        const Box d = item.nativeSize ? Box{item.dest.x, item.dest.y, src.w, src.h} : item.dest;
        out.push_back(makeQuad(item, item.texture, Rect{d.x, d.y, d.x + d.w, d.y + d.h},
                               Rect{src.x, src.y, src.x + src.w, src.y + src.h}));
        break;
    }
    case ItemKind::Tile:
        layoutTiles(item, context, out);
        break;
    case ItemKind::Nine:
        layoutNine(item, context, out);
        break;
    case ItemKind::Text:
        layoutText(item, scene, context, out);
        break;
    }
    return out;
}

namespace {

// The quads of the frame's groups that the filter takes, moved with their
// anchors.
std::vector<Quad> layoutGroups(const Scene& scene, const FrameSpec& frame, const LayoutContext& context,
                               bool anchoredOnly)
{
    std::vector<Quad> out;
    for (const std::string& group : frame.groups) {
        const auto found = scene.groups.find(group);
        if (found == scene.groups.end()) {
            throw std::runtime_error("frame '" + frame.name + "': no group '" + group + "'");
        }
        const auto anchor = scene.anchors.find(group);
        const Anchor corner = anchor == scene.anchors.end() ? Anchor::TopLeft : anchor->second;
        if (anchoredOnly && corner == Anchor::TopLeft) {
            continue;
        }
        const bool right = corner == Anchor::TopRight || corner == Anchor::BottomRight;
        const bool bottom = corner == Anchor::BottomLeft || corner == Anchor::BottomRight;
        const float dx = right ? context.displayWidth - static_cast<float>(scene.width) : 0.0f;
        const float dy = bottom ? context.displayHeight - static_cast<float>(scene.height) : 0.0f;
        for (const Item& item : found->second) {
            for (Quad& q : layoutItem(item, scene, context)) {
                q.dest = {q.dest.left + dx, q.dest.top + dy, q.dest.right + dx, q.dest.bottom + dy};
                out.push_back(q);
            }
        }
    }
    return out;
}

} // namespace

std::vector<Quad> layoutFrame(const Scene& scene, const FrameSpec& frame, const LayoutContext& context)
{
    return layoutGroups(scene, frame, context, false);
}

std::vector<Rect> anchoredAreas(const Scene& scene, const FrameSpec& frame, const LayoutContext& context)
{
    std::vector<Rect> out;
    for (const Quad& q : layoutGroups(scene, frame, context, true)) {
        out.push_back(q.dest);
    }
    return out;
}

std::string substitute(const std::string& text, const std::map<std::string, std::string>& variables)
{
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t open = text.find('{', i);
        if (open == std::string::npos) {
            break;
        }
        const size_t close = text.find('}', open);
        if (close == std::string::npos) {
            break;
        }
        const auto found = variables.find(text.substr(open + 1, close - open - 1));
        out += text.substr(i, open - i);
        if (found != variables.end()) {
            out += found->second;
            i = close + 1;
        } else {
            out += '{';
            i = open + 1;
        }
    }
    out += text.substr(std::min(i, text.size()));
    return out;
}

int32_t lineWidth(const std::string& line, const FontMetrics& metrics)
{
    int32_t width = 0;
    for (unsigned char c : line) {
        if (const Glyph* glyph = findGlyph(metrics, c)) {
            width += glyph->advance;
        }
    }
    return width;
}

uint64_t estimateBlendedPixels(const std::vector<Quad>& quads, int32_t blendMode, uint32_t displayWidth,
                               uint32_t displayHeight)
{
    if (blendMode == 0) {
        return 0;
    }
    uint64_t pixels = 0;
    for (const Quad& quad : quads) {
        uint32_t average[4];
        for (int shift = 0, i = 0; shift < 32; shift += 8, ++i) {
            const Corners& c = quad.colours;
            average[i] = (((c.topLeft >> shift) & 0xFF) + ((c.topRight >> shift) & 0xFF) +
                          ((c.bottomLeft >> shift) & 0xFF) + ((c.bottomRight >> shift) & 0xFF)) >>
                         2;
        }
        const bool transparent = average[3] == 0;
        const bool opaqueWhite = average[0] == 255 && average[1] == 255 && average[2] == 255 && average[3] == 255;
        if (transparent || opaqueWhite) {
            continue;
        }
        const int64_t left = std::max<int64_t>(truncated(quad.dest.left), 0);
        const int64_t top = std::max<int64_t>(truncated(quad.dest.top), 0);
        const int64_t right = std::min<int64_t>(truncated(quad.dest.right), displayWidth);
        const int64_t bottom = std::min<int64_t>(truncated(quad.dest.bottom), displayHeight);
        if (right > left && bottom > top) {
            pixels += static_cast<uint64_t>(right - left) * static_cast<uint64_t>(bottom - top);
        }
    }
    return pixels;
}

} // namespace zivdemo
