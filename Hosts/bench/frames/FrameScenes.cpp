#include "FrameScenes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <stdexcept>

#include "BuiltinScene.h"
#include "DemoRun.h"
#include "Image.h"
#include "Layout.h"
#include "Scene.h"

namespace zivbench {

namespace {

constexpr uint32_t kSyntheticWidth = 1024;
constexpr uint32_t kSyntheticHeight = 768;
constexpr uint32_t kSkinTextures = 8;
constexpr uint32_t kSkinWidth = 256;
constexpr uint32_t kSkinHeight = 128;
constexpr uint32_t kSyntheticQuads = 500;

uint8_t channel(uint32_t argb, unsigned shift)
{
    return static_cast<uint8_t>(argb >> shift);
}

uint8_t average(const ZorvUISystem::CornerColours& c, unsigned shift)
{
    const uint32_t sum = channel(c.topLeft, shift) + channel(c.topRight, shift) + channel(c.bottomLeft, shift) +
                         channel(c.bottomRight, shift);
    return static_cast<uint8_t>(sum >> 2);
}

// A skin texture: noisy colours with rounded, fully transparent corners, a
// soft one-texel edge of half alpha around them, and scattered transparent
// texels (as in glyphs and icons).
FrameTexture skinTexture(std::mt19937& random)
{
    FrameTexture t;
    t.width = kSkinWidth;
    t.height = kSkinHeight;
    t.pixels.resize(size_t(t.width) * t.height * 4);
    std::uniform_int_distribution<int> byte(0, 255);
    const float radius = 12.0f;
    for (uint32_t y = 0; y < t.height; ++y) {
        for (uint32_t x = 0; x < t.width; ++x) {
            uint8_t* p = &t.pixels[(size_t(y) * t.width + x) * 4];
            p[0] = static_cast<uint8_t>(byte(random) | 0x10);
            p[1] = static_cast<uint8_t>(byte(random) | 0x10);
            p[2] = static_cast<uint8_t>(byte(random) | 0x10);
            // Distance into the rounded corner of the 32 x 32 cell.
            const float cx = std::min(float(x % 32), float(31 - x % 32));
            const float cy = std::min(float(y % 32), float(31 - y % 32));
            float outside = 0;
            if (cx < radius && cy < radius)
                outside = std::hypot(radius - cx, radius - cy) - radius;
            uint8_t alpha = outside > 1.0f ? 0 : outside > 0.0f ? 128 : 255;
            if (alpha == 255 && (x * 7 + y * 13) % 29 == 0)
                alpha = 0;
            p[3] = alpha;
        }
    }
    return t;
}

FrameScene makeSynthetic()
{
    FrameScene scene;
    scene.name = "synthetic";
    scene.width = kSyntheticWidth;
    scene.height = kSyntheticHeight;
    scene.background = 0xFF203040u;
    std::mt19937 random(20261207u);
    for (uint32_t i = 0; i < kSkinTextures; ++i)
        scene.textures.push_back(skinTexture(random));

    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (uint32_t i = 0; i < kSyntheticQuads; ++i) {
        FrameQuad q;
        const int w = between(16, 256);
        const int h = between(16, 64);
        const int x = between(0, int(kSyntheticWidth) - w);
        const int y = between(0, int(kSyntheticHeight) - h);
        q.dest = {float(x), float(y), float(x + w), float(y + h)};
        q.texture = uint32_t(between(0, kSkinTextures - 1));
        q.z = unit(random);
        // Stretched quads show a texture rectangle of 0.5 to 2 times their
        // size, within the texture.
        int sw = w, sh = h;
        if (unit(random) < 0.10f) {
            do {
                sw = std::clamp(int(std::lround(w * (0.5f + 1.5f * unit(random)))), 8, int(kSkinWidth));
                sh = std::clamp(int(std::lround(h * (0.5f + 1.5f * unit(random)))), 8, int(kSkinHeight));
            } while (sw == w && sh == h);
        }
        const int sx = between(0, int(kSkinWidth) - sw);
        const int sy = between(0, int(kSkinHeight) - sh);
        q.source = {float(sx), float(sy), float(sx + sw), float(sy + sh)};
        uint32_t alpha = 255, red = 255, green = 255, blue = 255;
        if (unit(random) < 0.30f)
            alpha = uint32_t(between(48, 224));
        if (unit(random) < 0.20f) {
            red = uint32_t(between(64, 254));
            green = uint32_t(between(64, 254));
            blue = uint32_t(between(64, 254));
        }
        q.colours = sameCorners(alpha << 24 | red << 16 | green << 8 | blue);
        scene.quads.push_back(q);
    }
    return scene;
}

#ifndef ZIV_BENCH_DEMO_ASSETS
#error "ZIV_BENCH_DEMO_ASSETS names the demo's assets folder"
#endif

FrameTexture fromImage(const zivdemo::Image& image, bool rgb, bool memory)
{
    FrameTexture t;
    t.width = image.width;
    t.height = image.height;
    t.rgb = rgb;
    t.memory = memory;
    t.pixels = rgb ? image.rgb() : image.rgba;
    return t;
}

FrameScene makeDemo(const std::string& frameName)
{
    using namespace zivdemo;
    const Scene scene = parseScene(kBuiltinScene, "built-in scene", ZIV_BENCH_DEMO_ASSETS);
    const SceneResources resources = loadResources(scene);

    FrameScene out;
    out.name = "demo";
    out.width = scene.width;
    out.height = scene.height;
    out.background = scene.background;
    std::map<std::string, uint32_t> index;
    for (const TextureSpec& spec : scene.textures) {
        index[spec.name] = uint32_t(out.textures.size());
        switch (spec.source) {
        case TextureSource::File:
        case TextureSource::Bytes:
            // Decoded by the host here, by the image library in the demo: the
            // same RGBA pixels either way.
            out.textures.push_back(fromImage(readPng(scene.resolve(spec.path)), false, spec.memory));
            break;
        case TextureSource::Pixels:
        case TextureSource::Fill:
            out.textures.push_back(fromImage(resources.pixels.at(spec.name), spec.rgb, spec.memory));
            break;
        }
    }

    LayoutContext context;
    context.displayWidth = float(scene.width);
    context.displayHeight = float(scene.height);
    context.fonts = resources.fonts;
    context.textureSize = [&](const std::string& name) {
        const FrameTexture& t = out.textures.at(index.at(name));
        return TextureSize{t.width, t.height};
    };
    // The same words on every frame: frames differ by what the pointer did.
    context.variables = {{"format", "RGB 565"}, {"blend", "2"}, {"frame", "hover"}};
    const FrameSpec* frame = nullptr;
    for (const FrameSpec& f : scene.frames)
        if (f.name == frameName)
            frame = &f;
    if (frame == nullptr)
        throw std::runtime_error("the demo's scene has no frame '" + frameName + "'");
    for (const Quad& q : layoutFrame(scene, *frame, context)) {
        FrameQuad fq;
        fq.dest = {q.dest.left, q.dest.top, q.dest.right, q.dest.bottom};
        fq.source = {q.source.left, q.source.top, q.source.right, q.source.bottom};
        fq.z = q.z;
        fq.texture = index.at(q.texture);
        fq.colours = {q.colours.topLeft, q.colours.topRight, q.colours.bottomLeft, q.colours.bottomRight};
        out.quads.push_back(fq);
    }
    return out;
}

} // namespace

void FrameTexture::rgba(uint32_t x, uint32_t y, uint8_t out[4]) const
{
    const size_t bytes = rgb ? 3 : 4;
    const uint8_t* p = &pixels[(size_t(y) * width + x) * bytes];
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
    out[3] = rgb ? 255 : p[3];
}

std::vector<DrawnQuad> FrameScene::drawOrder() const
{
    std::vector<size_t> order(quads.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return quads[a].z > quads[b].z; });

    std::vector<DrawnQuad> out;
    for (size_t i : order) {
        const FrameQuad& q = quads[i];
        DrawnQuad d;
        d.destLeft = int32_t(q.dest.left);
        d.destTop = int32_t(q.dest.top);
        d.destWidth = int32_t(q.dest.right) - d.destLeft;
        d.destHeight = int32_t(q.dest.bottom) - d.destTop;
        d.sourceLeft = int32_t(q.source.left);
        d.sourceTop = int32_t(q.source.top);
        d.sourceWidth = int32_t(q.source.right) - d.sourceLeft;
        d.sourceHeight = int32_t(q.source.bottom) - d.sourceTop;
        d.texture = q.texture;
        d.alpha = average(q.colours, 24);
        d.red = average(q.colours, 16);
        d.green = average(q.colours, 8);
        d.blue = average(q.colours, 0);
        if (d.alpha == 0 || d.destWidth <= 0 || d.destHeight <= 0 || d.sourceWidth <= 0 || d.sourceHeight <= 0)
            continue;
        // Unstretched quads lose what lies off the display, row and column
        // alike on both rectangles.
        if (!d.stretched()) {
            const int32_t left = std::max(0, -d.destLeft), top = std::max(0, -d.destTop);
            const int32_t right = std::max(0, d.destLeft + d.destWidth - int32_t(width));
            const int32_t bottom = std::max(0, d.destTop + d.destHeight - int32_t(height));
            d.destLeft += left;
            d.sourceLeft += left;
            d.destTop += top;
            d.sourceTop += top;
            d.destWidth -= left + right;
            d.destHeight -= top + bottom;
            d.sourceWidth = d.destWidth;
            d.sourceHeight = d.destHeight;
            if (d.destWidth <= 0 || d.destHeight <= 0)
                continue;
        }
        out.push_back(d);
    }
    return out;
}

uint64_t FrameScene::pixelsTouched() const
{
    uint64_t sum = 0;
    for (const DrawnQuad& d : drawOrder()) {
        const int64_t w = std::min<int64_t>(d.destLeft + d.destWidth, width) - std::max(d.destLeft, 0);
        const int64_t h = std::min<int64_t>(d.destTop + d.destHeight, height) - std::max(d.destTop, 0);
        if (w > 0 && h > 0)
            sum += uint64_t(w * h);
    }
    return sum;
}

const FrameScene& syntheticFrame()
{
    static const FrameScene scene = makeSynthetic();
    return scene;
}

const FrameScene& demoFrame()
{
    static const FrameScene scene = makeDemo("hover");
    return scene;
}

const FrameScene& demoFrameOf(const char* frameName)
{
    static std::map<std::string, FrameScene> scenes;
    auto found = scenes.find(frameName);
    if (found == scenes.end())
        found = scenes.emplace(frameName, makeDemo(frameName)).first;
    return found->second;
}

} // namespace zivbench
