#include "DemoRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "DemoDevice.h"

namespace zivdemo {

namespace {

using ZorvUISystem::Renderer;
using ZorvUISystem::Texture;

// Pixels as the module takes them: four bytes red, green, blue, alpha, or
// three without alpha.
std::vector<uint8_t> pixelBuffer(const Image& image, bool rgb)
{
    return rgb ? image.rgb() : image.rgba;
}

class RendererHandle {
public:
    RendererHandle(const ModuleApi& module, Renderer* renderer) : d_module(module), d_renderer(renderer) {}
    ~RendererHandle() { d_module.destroyRenderer(d_renderer); }
    RendererHandle(const RendererHandle&) = delete;
    RendererHandle& operator=(const RendererHandle&) = delete;
    Renderer* operator->() const { return d_renderer; }
    Renderer* get() const { return d_renderer; }

private:
    const ModuleApi& d_module;
    Renderer* d_renderer;
};

} // namespace

// Gives a raw-pixel texture its pixels. A renderer that ignores alpha (blend
// mode 0) gets glyph atlases with hard edges, as a GUI library renders text
// for it.
void uploadPixels(Texture* texture, const TextureSpec& spec, const SceneResources& resources, int32_t blendMode)
{
    const auto hard = resources.hardEdged.find(spec.name);
    const Image& image =
        blendMode == 0 && hard != resources.hardEdged.end() ? hard->second : resources.pixels.at(spec.name);
    const std::vector<uint8_t> buffer = pixelBuffer(image, spec.rgb);
    texture->loadFromMemory(buffer.data(), image.width, image.height,
                            spec.rgb ? ZorvUISystem::BUFFER_RGB : ZorvUISystem::BUFFER_RGBA);
}

Texture* createSceneTexture(Renderer& renderer, const Scene& scene, const TextureSpec& spec,
                            const SceneResources& resources, int32_t blendMode)
{
    switch (spec.source) {
    case TextureSource::File: {
        // The module joins folder and name itself, as it does for a GUI
        // library's skin folder. The folder goes with its separator, so the
        // module's messages, which put the two side by side, name the file.
        const bool absolute = !spec.path.empty() && spec.path[0] == '/';
        std::string folder = absolute ? "" : scene.folder;
        if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
            folder += '/';
        }
        return renderer.createTexture(spec.path.c_str(), folder.c_str());
    }
    case TextureSource::Bytes: {
        const std::vector<uint8_t>& bytes = resources.bytes.at(spec.name);
        return renderer.createTexture(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    case TextureSource::Pixels:
    case TextureSource::Fill:
        break;
    }
    Texture* texture = renderer.createTexture();
    if (texture == nullptr) {
        return nullptr;
    }
    try {
        texture->setMemoryTexture(spec.memory);
        uploadPixels(texture, spec, resources, blendMode);
    } catch (...) {
        renderer.destroyTexture(texture);
        throw;
    }
    return texture;
}

namespace {

const char* sourceWord(TextureSource source)
{
    switch (source) {
    case TextureSource::File:
        return "file";
    case TextureSource::Bytes:
        return "bytes";
    case TextureSource::Pixels:
        return "pixels";
    case TextureSource::Fill:
        return "fill";
    }
    return "";
}

std::string blendName(const Scene& scene, const RunSettings& settings, const std::string& frame)
{
    return scene.name + "-" + formatInfo(settings.format).name + "-blend" + std::to_string(settings.blendMode) + "-" +
           frame;
}

} // namespace

SceneResources loadResources(const Scene& scene, const ImageCheck& check)
{
    SceneResources resources;
    // Files that the module decodes are checked here, before anything is
    // rendered, rather than failing in every run.
    auto decodable = [&scene, &check](const TextureSpec& spec) {
        const std::string path = scene.resolve(spec.path);
        std::vector<uint8_t> bytes;
        try {
            bytes = readBinaryFile(path);
        } catch (const std::runtime_error& e) {
            throw std::runtime_error("texture '" + spec.name + "': " + e.what());
        }
        const std::string why = check ? check(bytes) : bytes.empty() ? "the file is empty" : "";
        if (!why.empty()) {
            throw std::runtime_error("texture '" + spec.name + "': cannot decode '" + path + "': " + why);
        }
        return bytes;
    };
    for (const TextureSpec& spec : scene.textures) {
        switch (spec.source) {
        case TextureSource::File:
            decodable(spec);
            break;
        case TextureSource::Bytes:
            resources.bytes[spec.name] = decodable(spec);
            break;
        case TextureSource::Pixels:
            resources.pixels[spec.name] = readPng(scene.resolve(spec.path));
            break;
        case TextureSource::Fill:
            resources.pixels[spec.name] = Image(spec.fillWidth, spec.fillHeight, spec.fill);
            break;
        }
    }
    for (const FontSpec& font : scene.fonts) {
        const std::string path = scene.resolve(font.metrics);
        resources.fonts[font.name] = parseFontMetrics(readTextFile(path), font.face, path);
        const auto atlas = resources.pixels.find(font.texture);
        if (atlas != resources.pixels.end()) {
            resources.hardEdged[font.texture] = hardEdges(atlas->second);
        }
    }
    return resources;
}

Image hardEdges(const Image& atlas)
{
    Image hard = atlas;
    for (size_t i = 0; i + 3 < hard.rgba.size(); i += 4) {
        uint8_t* texel = &hard.rgba[i];
        const bool ink = texel[3] >= 128;
        for (int c = 0; c < 4; ++c) {
            texel[c] = ink ? 255 : 0;
        }
    }
    return hard;
}

std::string describeStatistics(const ZorvUISystem::FrameStatistics& s)
{
    using FS = ZorvUISystem::FrameStatistics;
    std::vector<std::string> parts;
    auto path = [&](const std::string& name, const FS::PathCount& count) {
        if (count.quads != 0)
            parts.push_back(name + " " + std::to_string(count.quads) + " (" + std::to_string(count.pixels) + " px)");
    };
    path("plain copy", s.plainCopy);
    path("keyed copy", s.keyedCopy);
    path("stretched copy", s.stretchedCopy);
    path("tinted copy", s.tintedCopy);
    const char* const kernels[FS::KERNEL_COUNT] = {"modulated", "half", "alpha", "half (vector)"};
    const char* const modes[FS::kPixelModeCount] = {"555", "565", "16-bit", "24-bit", "32-bit"};
    for (uint32_t k = 0; k < FS::KERNEL_COUNT; ++k)
        for (uint32_t m = 0; m < FS::kPixelModeCount; ++m)
            path(std::string("blend ") + kernels[k] + " " + modes[m], s.blend[k][m]);
    for (uint32_t m = 0; m < FS::kPixelModeCount; ++m)
        path(std::string("blend texel alpha ") + modes[m], s.texelAlphaBlend[m]);
    path("of them stretched first", s.stretchedBlend);
    path("buffer copy", s.bufferCopy);
    const char* const reasons[FS::SKIP_REASON_COUNT] = {"transparent", "off display", "no texture", "lost surface",
                                                        "failed lock", "failed blit", "no scratch", "unsupported mode"};
    for (uint32_t r = 0; r < FS::SKIP_REASON_COUNT; ++r)
        if (s.skipped[r] != 0)
            parts.push_back(std::string("skipped, ") + reasons[r] + " " + std::to_string(s.skipped[r]));
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "; ") + part;
    const std::string level(s.simdLevel, std::find(std::begin(s.simdLevel), std::end(s.simdLevel), '\0'));
    return (text.empty() ? std::string("nothing drawn") : text) + "; kernels " + (level.empty() ? "?" : level);
}

std::string describeDamage(const FrameResult& frame)
{
    if (!frame.damageAware)
        return "";
    const auto& d = frame.damage;
    if (d.fullFrame != 0)
        return "; damage-aware: redrew all of it";
    if (d.rects == 0)
        return "; damage-aware: redrew nothing";
    const double share =
        frame.image.width != 0 && frame.image.height != 0
            ? 100.0 * static_cast<double>(d.pixels) / (static_cast<double>(frame.image.width) * frame.image.height)
            : 0.0;
    char percent[32];
    std::snprintf(percent, sizeof(percent), "%.1f", share);
    return "; damage-aware: redrew " + std::to_string(d.rects) + (d.rects == 1 ? " rectangle, " : " rectangles, ") +
           std::to_string(d.pixels) + " px (" + percent + " %)";
}

void resetSize(const ResetSpec& reset, uint32_t& width, uint32_t& height)
{
    const int64_t w = reset.grow ? static_cast<int64_t>(width) + reset.width : reset.width;
    const int64_t h = reset.grow ? static_cast<int64_t>(height) + reset.height : reset.height;
    const std::string side = std::to_string(kMaxTargetSide);
    if (w < 1 || h < 1 || w > kMaxTargetSide || h > kMaxTargetSide) {
        throw std::runtime_error("a reset to " + std::to_string(w) + "x" + std::to_string(h) + " is outside 1x1 to " +
                                 side + "x" + side);
    }
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
}

void checkResetSizes(const Scene& scene, uint32_t width, uint32_t height)
{
    const std::string start = std::to_string(width) + "x" + std::to_string(height);
    for (const FrameSpec& frame : scene.frames) {
        if (!frame.reset) {
            continue;
        }
        try {
            resetSize(*frame.reset, width, height);
        } catch (const std::runtime_error& e) {
            throw std::runtime_error("the size " + start + " does not suit the scene '" + scene.name + "': in frame '" +
                                     frame.name + "', " + e.what());
        }
    }
}

std::string compareOverlap(const Image& earlier, const Image& later, const std::vector<Rect>& passedOver)
{
    const uint32_t w = std::min(earlier.width, later.width);
    const uint32_t h = std::min(earlier.height, later.height);
    auto skipped = [&passedOver](uint32_t x, uint32_t y) {
        const float px = static_cast<float>(x), py = static_cast<float>(y);
        return std::any_of(passedOver.begin(), passedOver.end(), [px, py](const Rect& r) {
            return px >= r.left && px < r.right && py >= r.top && py < r.bottom;
        });
    };
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            if (earlier.argb(x, y) != later.argb(x, y) && !skipped(x, y)) {
                return "differs at " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    return {};
}

void applySoftEdges(const ModuleApi& module, Renderer* renderer, int32_t blendMode, bool softEdges)
{
    if (softEdges && blendMode != 0 && module.setSoftEdges != nullptr)
        module.setSoftEdges(renderer, 1);
}

RunResult runScene(const ModuleApi& module, const Scene& scene, const SceneResources& resources,
                   const RunSettings& settings)
{
    DemoDevice device(settings.format, settings.width, settings.height, settings.blendMode, settings.clipper);
    Renderer* created = module.createRenderer(&device, 0, false, nullptr, 0, 0);
    if (created == nullptr) {
        const char* error = module.getLastErrorString();
        throw std::runtime_error(std::string("createRenderer failed: ") +
                                 (error != nullptr && *error ? error : "no reason given"));
    }
    RendererHandle renderer(module, created);
    applySoftEdges(module, created, settings.blendMode, settings.softEdges);
    renderer->setTargetSurface(device.target());

    RunResult result;
    result.identifier = renderer->getIdentifier();

    std::map<std::string, Texture*> textures;
    for (const TextureSpec& spec : scene.textures) {
        try {
            textures[spec.name] = createSceneTexture(*renderer.get(), scene, spec, resources, settings.blendMode);
            if (textures[spec.name] == nullptr) {
                throw std::runtime_error("the renderer made no texture");
            }
        } catch (const std::exception& e) {
            throw std::runtime_error("texture '" + spec.name + "' (" + sourceWord(spec.source) + " " +
                                     (spec.path.empty() ? std::string("colour") : spec.path) + "): " + e.what());
        }
    }

    LayoutContext context;
    context.fonts = resources.fonts;
    context.textureSize = [&textures](const std::string& name) {
        const Texture* texture = textures.at(name);
        return TextureSize{texture->getWidth(), texture->getHeight()};
    };
    context.variables["format"] = formatInfo(settings.format).label;
    context.variables["blend"] = std::to_string(settings.blendMode);

    // Each frame is first drawn damage-aware, over the frame before it, and
    // must come out the same as drawn whole.
    const bool damageAware =
        module.setDamageTracking != nullptr && module.setDamageBackgroundColour != nullptr &&
        module.invalidateTarget != nullptr && module.setDamageTracking(renderer.get(), 1) == 1 &&
        module.setDamageBackgroundColour(renderer.get(), packColour(settings.format, scene.background)) == 1;

    std::map<std::string, const Image*> earlier;
    // Where each frame's anchored groups lay, for the frames compared with it.
    std::map<std::string, std::vector<Rect>> anchored;
    try {
        for (const FrameSpec& frame : scene.frames) {
            FrameResult out;
            out.frame = frame.name;
            out.name = blendName(scene, settings, frame.name);
            if (frame.reset) {
                uint32_t width = device.width(), height = device.height();
                resetSize(*frame.reset, width, height);
                const bool expectChange = width != device.width() || height != device.height();
                renderer->prepareForReset();
                device.changeSize(width, height);
                bool sizeChanged = false;
                renderer->postD3DReset(&sizeChanged);
                renderer->setTargetSurface(device.target());
                // Textures made from raw pixels that the module does not keep come
                // back empty from a reset; the GUI library gives them their pixels
                // again.
                for (const TextureSpec& spec : scene.textures) {
                    if ((spec.source == TextureSource::Pixels || spec.source == TextureSource::Fill) && !spec.memory) {
                        uploadPixels(textures.at(spec.name), spec, resources, settings.blendMode);
                    }
                }
                out.note = "device reset to " + std::to_string(width) + "x" + std::to_string(height);
                if (sizeChanged != expectChange) {
                    out.failed = true;
                    out.note += std::string("; the renderer reported ") + (sizeChanged ? "a" : "no") + " size change";
                }
            }
            if (renderer->getDisplayWidth() != static_cast<float>(device.width()) ||
                renderer->getDisplayHeight() != static_cast<float>(device.height())) {
                out.failed = true;
                out.note +=
                    std::string(out.note.empty() ? "" : "; ") + "the renderer's display size is not the target's";
            }
            context.displayWidth = static_cast<float>(device.width());
            context.displayHeight = static_cast<float>(device.height());
            context.variables["frame"] = frame.name;
            const std::vector<Quad> quads = layoutFrame(scene, frame, context);
            anchored[frame.name] = anchoredAreas(scene, frame, context);

            const auto queueFrame = [&] {
                for (const Quad& q : quads)
                    renderer->queueQuad(
                        {q.dest.left, q.dest.top, q.dest.right, q.dest.bottom}, q.z, textures.at(q.texture),
                        {q.source.left, q.source.top, q.source.right, q.source.bottom},
                        {q.colours.topLeft, q.colours.topRight, q.colours.bottomLeft, q.colours.bottomRight}, q.aux);
            };
            Image damaged;
            if (damageAware) {
                out.damageAware = true;
                queueFrame();
                renderer->renderQueue();
                out.damage = renderer->getFrameStatistics().damage;
                renderer->clearQueue();
                damaged = device.capture();
            }

            using Clock = std::chrono::steady_clock;
            Clock::duration total{};
            for (uint32_t r = 0; r < std::max(settings.repeat, 1u); ++r) {
                const Clock::time_point start = Clock::now();
                device.clear(scene.background);
                if (damageAware)
                    module.invalidateTarget(renderer.get(), device.target(), nullptr);
                queueFrame();
                renderer->renderQueue();
                out.statistics = renderer->getFrameStatistics();
                renderer->clearQueue();
                total += Clock::now() - start;
            }
            out.msPerFrame = std::chrono::duration<double, std::milli>(total).count() /
                             static_cast<double>(std::max(settings.repeat, 1u));
            out.quads = quads.size();
            out.blendedPixels = estimateBlendedPixels(quads, settings.blendMode, device.width(), device.height());
            out.image = device.capture();
            if (damageAware) {
                const std::string difference = compareOverlap(out.image, damaged);
                if (!difference.empty()) {
                    out.failed = true;
                    out.note += std::string(out.note.empty() ? "" : "; ") +
                                "drawn damage-aware it differs from the whole frame: " + difference;
                }
            }

            if (!frame.sameAs.empty()) {
                const Image& before = *earlier.at(frame.sameAs);
                // Anchored groups move with their corner: where they were
                // and where they are now is not compared.
                std::vector<Rect> passedOver = anchored.at(frame.sameAs);
                const std::vector<Rect>& now = anchored.at(frame.name);
                passedOver.insert(passedOver.end(), now.begin(), now.end());
                const std::string difference = compareOverlap(before, out.image, passedOver);
                const std::string where = std::to_string(std::min(before.width, out.image.width)) + "x" +
                                          std::to_string(std::min(before.height, out.image.height));
                out.note += std::string(out.note.empty() ? "" : "; ");
                if (difference.empty()) {
                    out.note += "equals '" + frame.sameAs + "' in the shared " + where;
                } else {
                    out.failed = true;
                    out.note += "differs from '" + frame.sameAs + "' in the shared " + where + ": " + difference;
                }
            }
            result.frames.push_back(std::move(out));
            // Frames are only ever compared with earlier ones of the same run.
            earlier.clear();
            for (const FrameResult& f : result.frames) {
                earlier[f.frame] = &f.image;
            }
        }
    } catch (const std::exception& e) {
        // The frames rendered so far stay in the result.
        result.error = "frame '" + scene.frames[result.frames.size()].name + "': " + e.what();
    }
    return result;
}

} // namespace zivdemo
