#include "WindowSession.h"

#include <bit>
#include <cstdio>
#include <stdexcept>

#include "DemoDevice.h"

namespace zivdemo {

using ZorvUISystem::Texture;

bool WindowDevice::getTargetSize(float* width, float* height)
{
    *width = static_cast<float>(d_width);
    *height = static_cast<float>(d_height);
    return true;
}

void WindowDevice::set(IDirectDraw* directDraw, uint32_t width, uint32_t height)
{
    d_directDraw = directDraw;
    d_width = width;
    d_height = height;
}

WindowSession::WindowSession(const ModuleApi& module, const Scene& scene, const SceneResources& resources,
                             WindowDevice& device, const SessionSettings& settings)
    : d_module(module), d_scene(scene), d_resources(resources), d_blendMode(settings.blendMode)
{
    if (!scene.interactive) {
        throw std::runtime_error("the scene has no \"interactive\" part: nothing to show in a window");
    }
    d_renderer = module.createRenderer(&device, 0, false, nullptr, 0, 0);
    if (d_renderer == nullptr) {
        const char* error = module.getLastErrorString();
        throw std::runtime_error(std::string("createRenderer failed: ") +
                                 (error != nullptr && *error ? error : "no reason given"));
    }
    try {
        applySoftEdges(module, d_renderer, settings.blendMode, settings.softEdges);
        d_identifier = d_renderer->getIdentifier();
        d_damage = settings.damage && module.setDamageTracking != nullptr && module.invalidateTarget != nullptr &&
                   module.setDamageBackgroundColour != nullptr && module.getDamageRects != nullptr &&
                   module.setDamageTracking(d_renderer, 1) == 1;
        for (const TextureSpec& spec : scene.textures) {
            try {
                d_textures[spec.name] = createSceneTexture(*d_renderer, scene, spec, resources, d_blendMode);
            } catch (const std::exception& e) {
                throw std::runtime_error("texture '" + spec.name + "': " + e.what());
            }
            if (d_textures[spec.name] == nullptr) {
                throw std::runtime_error("texture '" + spec.name + "': the renderer made no texture");
            }
        }
    } catch (...) {
        module.destroyRenderer(d_renderer);
        throw;
    }
    d_context.fonts = resources.fonts;
    d_context.textureSize = [this](const std::string& name) {
        const Texture* texture = d_textures.at(name);
        return TextureSize{texture->getWidth(), texture->getHeight()};
    };
    d_context.variables["format"] = settings.formatLabel;
    d_context.variables["blend"] = std::to_string(settings.blendMode);
    d_context.variables["frame"] = "window";
}

WindowSession::~WindowSession()
{
    d_module.destroyRenderer(d_renderer); // with it every texture it made
}

void WindowSession::draw(IDirectDrawSurface* target, const Pointer& pointer, uint32_t layoutWidth,
                         uint32_t layoutHeight, int32_t originX, int32_t originY, bool shared)
{
    d_renderer->setTargetSurface(target);
    RECT area{originX, originY, originX + static_cast<LONG>(layoutWidth), originY + static_cast<LONG>(layoutHeight)};
    // With damage-aware frames the target keeps its pixels and the renderer
    // puts the background back where it redraws; a target shared with other
    // windows (the primary surface) is drawn whole.
    const bool damage = d_damage && !shared;
    if (damage) {
        d_module.setDamageBackgroundColour(d_renderer, packForSurface(target, d_scene.background));
    } else {
        DDBLTFX fx{};
        fx.dwSize = sizeof(DDBLTFX);
        fx.dwFillColor = packForSurface(target, d_scene.background);
        const HRESULT cleared = target->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        if (FAILED(cleared)) {
            throw std::runtime_error("DirectDraw: " + describeResult("Blt (clearing the window)", cleared));
        }
        if (d_damage)
            d_module.invalidateTarget(d_renderer, target, nullptr);
    }

    FrameSpec frame;
    frame.name = "window";
    frame.groups = d_scene.interactive->groupsFor(pointer);
    d_context.displayWidth = static_cast<float>(layoutWidth);
    d_context.displayHeight = static_cast<float>(layoutHeight);
    const float dx = static_cast<float>(originX), dy = static_cast<float>(originY);
    for (const Quad& q : layoutFrame(d_scene, frame, d_context)) {
        d_renderer->queueQuad({q.dest.left + dx, q.dest.top + dy, q.dest.right + dx, q.dest.bottom + dy}, q.z,
                              d_textures.at(q.texture), {q.source.left, q.source.top, q.source.right, q.source.bottom},
                              {q.colours.topLeft, q.colours.topRight, q.colours.bottomLeft, q.colours.bottomRight},
                              q.aux);
    }
    d_renderer->renderQueue();
    d_statistics = d_renderer->getFrameStatistics();
    d_renderer->clearQueue();
    d_damaged.clear();
    if (damage) {
        d_damaged.resize(d_module.getDamageRects(d_renderer, nullptr, 0));
        d_module.getDamageRects(d_renderer, d_damaged.data(), static_cast<uint32_t>(d_damaged.size()));
    } else {
        d_damaged.push_back(area);
    }
    if (!d_damaged.empty())
        d_lastRedrawn = d_damaged;
}

void WindowSession::targetChanged(IDirectDrawSurface* target)
{
    if (d_damage)
        d_module.invalidateTarget(d_renderer, target, nullptr);
}

void WindowSession::prepareForReset()
{
    d_renderer->prepareForReset();
}

void WindowSession::finishReset(IDirectDrawSurface* target)
{
    bool sizeChanged = false;
    d_renderer->postD3DReset(&sizeChanged);
    d_renderer->setTargetSurface(target);
    // Raw-pixel textures the module does not keep come back empty.
    for (const TextureSpec& spec : d_scene.textures) {
        if ((spec.source == TextureSource::Pixels || spec.source == TextureSource::Fill) && !spec.memory) {
            uploadPixels(d_textures.at(spec.name), spec, d_resources, d_blendMode);
        }
    }
}

SessionReport::SessionReport(const std::string& path)
{
    if (!path.empty()) {
        d_out.open(path, std::ios::trunc);
        if (!d_out) {
            throw std::runtime_error("cannot write the report '" + path + "'");
        }
    }
}

void SessionReport::presented(const std::string& regions, uint32_t width, uint32_t height, int32_t x, int32_t y,
                              uint64_t pixels)
{
    ++d_frames;
    const std::string state = std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(x) + "," +
                              std::to_string(y) + " " + regions;
    if (enabled() && state != d_last) {
        d_last = state;
        line("frame " + std::to_string(d_frames) + " " + state);
        line("presented " + std::to_string(pixels) + " px");
    }
}

void SessionReport::line(const std::string& text)
{
    if (enabled()) {
        d_out << text << std::endl;
    }
}

std::string TitleClock::tick(const ZorvUISystem::FrameStatistics& statistics)
{
    ++d_frames;
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - d_start).count();
    if (seconds < 0.5) {
        return {};
    }
    char fps[32];
    std::snprintf(fps, sizeof fps, "%.1f fps", d_frames / seconds);
    d_start = now;
    d_frames = 0;
    return std::string("ziv-demo - ") + fps + " - " + describeStatistics(statistics);
}

bool restoreIfLost(IDirectDrawSurface* surface, const char* what)
{
    if (surface->IsLost() != DDERR_SURFACELOST) {
        return true;
    }
    const HRESULT restored = surface->Restore();
    if (restored == DDERR_WRONGMODE) {
        return false;
    }
    if (FAILED(restored)) {
        throw std::runtime_error("DirectDraw: " + describeResult(std::string("Restore (") + what + ")", restored));
    }
    return true;
}

IDirectDrawSurface* createOffscreenSurface(IDirectDraw* directDraw, uint32_t width, uint32_t height, bool video)
{
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface* surface = nullptr;
    const HRESULT result = directDraw->CreateSurface(&desc, &surface, nullptr);
    if (FAILED(result) || surface == nullptr) {
        throw std::runtime_error("DirectDraw: " + describeResult("CreateSurface (window target)", result));
    }
    return surface;
}

bool releaseSurface(IDirectDrawSurface*& surface)
{
    if (surface == nullptr) {
        return true;
    }
    const ULONG left = surface->Release();
    surface = nullptr;
    return left == 0;
}

uint32_t packForSurface(IDirectDrawSurface* surface, uint32_t argb)
{
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    if (FAILED(surface->GetSurfaceDesc(&desc))) {
        return 0;
    }
    // An 8-bit channel into the run of bits its mask covers; a run that
    // ends at bit 31 takes the whole top of the word.
    auto channel = [](uint32_t value, uint32_t mask) {
        if (mask == 0) {
            return 0u;
        }
        const int shift = std::countr_zero(mask);
        const int bits = std::countr_one(mask >> shift);
        return bits >= 8 ? value << (shift + bits - 8) : (value >> (8 - bits)) << shift;
    };
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    return channel((argb >> 16) & 0xFF, pf.dwRBitMask) | channel((argb >> 8) & 0xFF, pf.dwGBitMask) |
           channel(argb & 0xFF, pf.dwBBitMask);
}

} // namespace zivdemo
