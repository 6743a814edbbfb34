// The differential check of damage-aware frames: a byte string decoded into
// a sequence of frames of a small GUI (quads added, removed, moved,
// re-ordered, recoloured, retextured, stretched, translucent; texture pixels
// reloaded; the background changed; the host drawing into its target; flip
// chains of 1 to 3 buffers; lost surfaces, resets and failed DirectDraw
// calls). Two renderers share one software DirectDraw: one with the mode on
// draws onto the chain's buffers, which keep their pixels; one with it off
// draws every frame in full onto a target the host filled with the
// background. After every frame both targets must be equal byte for byte,
// nothing outside the damage may have changed, an unchanged frame makes no
// Lock or blit, and every surface's guard bytes hold. A frame with a failed
// call is not compared, the one after it is.
//
// Header: target format (565, 555, 24, 32), blend preference, chain length,
// display width and height. Then operations, each a byte and its arguments.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <ddraw.h>

#include "FuzzSupport.h"
#include "SoftwareDirectDraw.h"
#include "SurfaceAccess.h"
#include "TestRenderDevice.h"
#include "ddraw_test.h"
#include "entry/DamageControl.h"
#include "renderer/CDDRender.h"
#include "renderer/Damage.h"
#include "texture/CDDTexture.h"

namespace zivfuzz::damage {

using ZorvUISystem::CDDRender;
using ZorvUISystem::CornerColours;
using ZorvUISystem::FloatRect;
using ZorvUISystem::Texture;

enum Operation : uint8_t {
    AddQuad,
    RemoveQuad,
    MoveQuad,
    SwapDepths,
    Recolour,
    Retexture,
    Frame,
    ReloadTexture,
    SetBackground,
    HostDraws,
    LoseTexture,
    LoseEverything,
    Reset,
    FailNext,
    SoftEdges,
    PassAgain,
    kOperationCount
};

constexpr uint32_t kColours[] = {0xFFFFFFFF, 0x80FFFFFF, 0xFF808080, 0x00000000, 0xC0FF4020, 0xFF000000,
                                 0x4000FF00, 0xFF0000FF, 0xFEFFFFFF, 0x7F7F7F7F, 0xFFFFFF00, 0x01FFFFFF};
constexpr DWORD kDepths[] = {16, 16, 24, 32};
constexpr int32_t kTextureFormats[] = {565, 555, 0, 0};
constexpr uint32_t kTextureSizes[][2] = {{8, 8}, {16, 6}, {5, 7}, {12, 12}};

struct Quad {
    FloatRect dest;
    float z;
    uint32_t texture;
    FloatRect source;
    uint32_t colour;
};

// What the sequences run so far covered.
struct Tally {
    unsigned long frames = 0;    // compared with the full frame
    unsigned long partial = 0;   // of them, drawn into the damage only
    unsigned long unchanged = 0; // of them, with nothing to redraw
    unsigned long faulted = 0;   // not compared: a DirectDraw call failed on purpose
    unsigned long full[ZorvUISystem::FrameStatistics::FULL_FRAME_REASON_COUNT] = {}; // by reason
};
inline Tally& tally()
{
    static Tally counts;
    return counts;
}

class Sequence {
public:
    Sequence(const uint8_t* data, size_t size) : d_in(data, size) {}

    void run()
    {
        d_format = d_in.byte() % 4;
        const uint8_t mode = d_in.byte();
        const int32_t blend = mode % 3;
        // Soft edges in blend modes 1 and 2 (the texel-alpha blend) on both.
        const bool softEdges = (mode & 0x80) != 0;
        d_chain = 1 + d_in.byte() % 3;
        d_width = 24 + d_in.byte() % 72;
        d_height = 16 + d_in.byte() % 64;
        ddrawtest::reset();
        ddrawtest::resetBehaviours();
        IDirectDraw* dd = d_directDraw.get();
        check(dd != nullptr && dd->SetDisplayMode(640, 480, kDepths[d_format]) == DD_OK, "a display mode");
        for (ZivTest::TestRenderDevice* device : {&d_deviceOn, &d_deviceOff}) {
            device->directDraw = dd;
            device->width = float(d_width);
            device->height = float(d_height);
            device->blendMode = blend;
            device->texturePixelFormat = kTextureFormats[d_format];
        }
        d_on = std::make_unique<CDDRender>(&d_deviceOn, 0, false);
        d_off = std::make_unique<CDDRender>(&d_deviceOff, 0, false);
        check(ZorvUISystem::damageSetTracking(d_on.get(), 1) == 1, "the mode goes on");
        d_softEdges = softEdges;
        d_on->setSoftEdges(softEdges);
        d_off->setSoftEdges(softEdges);
        makeTargets();
        for (uint32_t t = 0; t < 4; ++t) {
            d_textures[0][t] = d_on->createTexture();
            d_textures[1][t] = d_off->createTexture();
            load(t, t + 1);
        }
        for (size_t n = 0; n < 120 && !d_in.atEnd(); ++n)
            step();
        frame();
        d_on.reset();
        d_off.reset();
        dropTargets();
    }

private:
    void step()
    {
        // Frames and small changes come often, losses and resets seldom.
        static const uint8_t kWeighted[32] = {
            AddQuad,       AddQuad,   AddQuad,    PassAgain,   RemoveQuad,     RemoveQuad, MoveQuad, MoveQuad,
            MoveQuad,      MoveQuad,  SwapDepths, SwapDepths,  Recolour,       Recolour,   Recolour, Retexture,
            Retexture,     Frame,     Frame,      Frame,       Frame,          Frame,      Frame,    ReloadTexture,
            SetBackground, HostDraws, HostDraws,  LoseTexture, LoseEverything, Reset,      FailNext, SoftEdges};
        const uint8_t operation = kWeighted[d_in.byte() % 32];
        if (d_trace)
            std::fprintf(stderr, "op %u (%zu quads)\n", unsigned(operation), d_quads.size());
        const auto pick = [&](size_t count) { return count == 0 ? 0 : d_in.byte() % count; };
        switch (operation) {
        case AddQuad: {
            if (d_quads.size() >= 24)
                break;
            Quad quad{};
            quad.texture = d_in.byte() % 4;
            const float x = float(int(d_in.byte() % 80) - 12) + ((d_in.byte() & 1) ? 0.5f : 0.0f);
            const float y = float(int(d_in.byte() % 64) - 8);
            quad.dest = {x, y, x + 1 + d_in.byte() % 30, y + 1 + d_in.byte() % 24};
            const uint32_t* size = kTextureSizes[quad.texture];
            const float u = float(d_in.byte() % size[0]);
            const float v = float(d_in.byte() % size[1]);
            const bool stretch = d_in.byte() & 1;
            quad.source =
                stretch ? FloatRect{u, v, float(size[0]), float(size[1])}
                        : FloatRect{u, v, u + quad.dest.right - quad.dest.left, v + quad.dest.bottom - quad.dest.top};
            quad.z = float(d_in.byte() % 8);
            quad.colour = kColours[d_in.byte() % std::size(kColours)];
            d_quads.push_back(quad);
            break;
        }
        case RemoveQuad:
            if (!d_quads.empty())
                d_quads.erase(d_quads.begin() + long(pick(d_quads.size())));
            break;
        case MoveQuad:
            if (!d_quads.empty()) {
                Quad& quad = d_quads[pick(d_quads.size())];
                const float dx = float(int(d_in.byte() % 17) - 8);
                const float dy = float(int(d_in.byte() % 17) - 8);
                quad.dest = {quad.dest.left + dx, quad.dest.top + dy, quad.dest.right + dx, quad.dest.bottom + dy};
            }
            break;
        case SwapDepths:
            if (!d_quads.empty())
                std::swap(d_quads[pick(d_quads.size())].z, d_quads[pick(d_quads.size())].z);
            break;
        case Recolour:
            if (!d_quads.empty())
                d_quads[pick(d_quads.size())].colour = kColours[d_in.byte() % std::size(kColours)];
            break;
        case Retexture:
            if (!d_quads.empty()) {
                Quad& quad = d_quads[pick(d_quads.size())];
                quad.source.left += 1;
                quad.source.right += float(d_in.byte() % 3);
            }
            break;
        case Frame:
            frame();
            break;
        case ReloadTexture: {
            d_unsettled = true;
            const uint8_t which = d_in.byte();
            load(which % 4, d_in.byte());
            // Often the very next frame queues the same quads as the last:
            // only the texture's pixels tell them apart.
            if (which & 0x80)
                frame();
            break;
        }
        case SetBackground:
            setBackground(d_in.byte());
            break;
        case HostDraws: {
            // The host paints into the buffer it draws into next, and says so.
            IDirectDrawSurface* target = d_chainTargets[d_frames % d_chain];
            RECT rect = {LONG(d_in.byte() % d_width), LONG(d_in.byte() % d_height), 0, 0};
            rect.right = rect.left + 1 + LONG(d_in.byte() % 8);
            rect.bottom = rect.top + 1 + LONG(d_in.byte() % 8);
            rect.right = std::min<LONG>(rect.right, LONG(d_width));
            rect.bottom = std::min<LONG>(rect.bottom, LONG(d_height));
            fill(target, &rect, 0x5A5A5A5A);
            check(ZorvUISystem::damageInvalidateTarget(d_on.get(), target, &rect) == 1, "an invalidation");
            break;
        }
        case LoseTexture: {
            d_unsettled = true;
            const uint32_t t = d_in.byte() % 4;
            for (int side = 0; side < 2; ++side)
                ddrawtest::markLost(colourOf(d_textures[side][t]));
            if (d_in.byte() & 1)
                frame();
            break;
        }
        case LoseEverything:
            d_unsettled = true;
            // Every surface goes; the host restores its own and tells the
            // renderer its targets hold nothing it drew.
            ddrawtest::loseAllSurfaces(d_directDraw.get());
            for (IDirectDrawSurface* surface : allTargets())
                surface->Restore();
            ZorvUISystem::damageInvalidateTarget(d_on.get(), nullptr, nullptr);
            setBackground(d_backgroundKind);
            break;
        case Reset: {
            d_unsettled = true;
            const uint8_t how = d_in.byte();
            const bool resize = how & 1;
            for (CDDRender* renderer : {d_on.get(), d_off.get()})
                renderer->prepareForReset();
            // Now and then the device answers the other texture format from
            // the reset on, as a host's answer changes with the display: 16-bit
            // textures on a deeper target draw in no way a piece can copy.
            if (how & 0x80)
                for (ZivTest::TestRenderDevice* device : {&d_deviceOn, &d_deviceOff})
                    device->texturePixelFormat = device->texturePixelFormat == 565 ? kTextureFormats[d_format] : 565;
            if (resize) {
                d_width = 24 + d_in.byte() % 40;
                d_height = 16 + d_in.byte() % 40;
                dropTargets();
                for (ZivTest::TestRenderDevice* device : {&d_deviceOn, &d_deviceOff}) {
                    device->width = float(d_width);
                    device->height = float(d_height);
                }
                makeTargets();
            }
            bool changed = false;
            for (CDDRender* renderer : {d_on.get(), d_off.get()})
                renderer->postD3DReset(&changed);
            break;
        }
        case SoftEdges:
            // The host turns the texel-alpha blend on or off between frames.
            d_softEdges = !d_softEdges;
            d_on->setSoftEdges(d_softEdges);
            d_off->setSoftEdges(d_softEdges);
            break;
        case PassAgain: {
            // The GUI library renders again without clearing the queue, one
            // more quad on top, onto the buffer drawn last.
            if (d_frames == 0 || d_quads.empty())
                break;
            const Quad& extra = d_quads[pick(d_quads.size())];
            const CornerColours colours = {extra.colour, extra.colour, extra.colour, extra.colour};
            for (int side = 0; side < 2; ++side) {
                CDDRender& renderer = side == 0 ? *d_on : *d_off;
                renderer.queueQuad(extra.dest, extra.z, d_textures[side][extra.texture], extra.source, colours, 0);
            }
            d_on->setTargetSurface(d_chainTargets[(d_frames - 1) % d_chain]);
            d_on->renderQueue();
            d_off->setTargetSurface(d_reference);
            d_off->renderQueue();
            // Drawn over, the buffer of blend mode 0 is composed whole next.
            d_lastFrameKnown = false;
            break;
        }
        case FailNext: {
            static const char* const kOperations[] = {"Lock", "Blt", "BltFast", "IsLost", "GetSurfaceDesc"};
            d_fault = kOperations[d_in.byte() % std::size(kOperations)];
            d_faultNth = 1 + d_in.byte() % 6;
            break;
        }
        default:
            break;
        }
    }

    // One frame on both renderers, as the GUI library gives it: the queue
    // emptied and filled again, then a pass.
    void frame()
    {
        IDirectDrawSurface* target = d_chainTargets[d_frames % d_chain];
        ++d_frames;
        fillBackground(d_reference);
        for (int side = 0; side < 2; ++side) {
            CDDRender& renderer = side == 0 ? *d_on : *d_off;
            renderer.clearQueue();
            for (const Quad& quad : d_quads) {
                const CornerColours colours = {quad.colour, quad.colour, quad.colour, quad.colour};
                renderer.queueQuad(quad.dest, quad.z, d_textures[side][quad.texture], quad.source, colours, 0);
            }
        }
        d_off->setTargetSurface(d_reference);
        d_off->renderQueue();

        const std::vector<uint8_t> before = pixels(target);
        const unsigned long callsBefore = drawingCalls();
        bool faulted = false;
        // A failure while textures are reloaded would leave the two renderers
        // with different textures: faults only come in settled frames.
        bool texturesSettled = true;
        for (Texture* texture : d_textures[0]) {
            const auto* t = static_cast<ZorvUISystem::CDDTexture*>(texture);
            // A texture that mends itself when next drawn must not meet the fault.
            if (t->colourSurface() == nullptr || t->surfacesLost())
                texturesSettled = false;
        }
        d_unsettled = d_unsettled || !texturesSettled;
        const bool settled = !d_unsettled;
        if (d_fault != nullptr && !d_unsettled) {
            faulted = ddrawtest::failNext(d_fault, DDERR_GENERIC, d_faultNth);
            if (d_trace)
                std::fprintf(stderr, "fault: call %u of %s fails\n", d_faultNth, d_fault);
        }
        d_fault = nullptr;
        d_unsettled = false;
        d_on->setTargetSurface(target);
        d_on->renderQueue();
        faulted = faulted && ddrawtest::armedFaults() == 0;
        const unsigned long calls = drawingCalls() - callsBefore;
        ddrawtest::reset();
        check(ddrawtest::guardsIntact(), "guard bytes hold");

        const ZorvUISystem::DamageState& state = *d_on->damageState();
        std::vector<RECT> damaged(state.lastRects());
        if (d_trace) {
            std::fprintf(stderr, "frame %u: format %u blend %d, %ux%u, full %u, faulted %d, damage", d_frames, d_format,
                         d_on->blendMode(), d_width, d_height, state.fullReason(), int(faulted));
            for (const RECT& r : damaged)
                std::fprintf(stderr, " %ld,%ld-%ld,%ld", long(r.left), long(r.top), long(r.right), long(r.bottom));
            std::fprintf(stderr, "\n");
            for (const Quad& q : d_quads)
                std::fprintf(stderr, "  quad t%u z%g %g,%g-%g,%g from %g,%g-%g,%g colour %08x\n", q.texture, q.z,
                             q.dest.left, q.dest.top, q.dest.right, q.dest.bottom, q.source.left, q.source.top,
                             q.source.right, q.source.bottom, q.colour);
        }
        // In blend mode 0 the buffer is not touched either, unless the last
        // frame left it unknown (it is composed whole then) or showed it on
        // another buffer of the chain.
        const bool bufferKnown = d_on->blendMode() != 0 || (d_lastFrameKnown && d_chain == 1 && settled);
        d_lastFrameKnown =
            settled && !faulted && state.fullReason() != ZorvUISystem::FrameStatistics::FULL_FRAME_INVALID;
        if (damaged.empty() && !faulted && bufferKnown)
            check(calls == 0, "an unchanged frame makes no Lock and no blit", std::to_string(calls));
        const std::vector<uint8_t> after = pixels(target);
        const size_t bpp = bytesPerPixel();
        for (uint32_t y = 0; y < d_height; ++y)
            for (uint32_t x = 0; x < d_width; ++x) {
                bool inside = false;
                for (const RECT& r : damaged)
                    inside =
                        inside || (LONG(x) >= r.left && LONG(x) < r.right && LONG(y) >= r.top && LONG(y) < r.bottom);
                const size_t at = (size_t(y) * d_width + x) * bpp;
                if (!inside && std::memcmp(&before[at], &after[at], bpp) != 0)
                    fail("nothing outside the damage is written", at2(x, y));
            }
        if (faulted) {
            ++tally().faulted;
            return;
        }
        ++tally().frames;
        tally().partial += state.fullFrame() ? 0 : 1;
        tally().unchanged += damaged.empty() ? 1 : 0;
        ++tally().full[state.fullReason()];
        const std::vector<uint8_t> reference = pixels(d_reference);
        if (d_trace)
            for (size_t at = 0; at < after.size(); ++at)
                if (after[at] != reference[at])
                    std::fprintf(stderr, "  differs at %zu,%zu: %02x, full %02x\n", at / bpp % d_width,
                                 at / bpp / d_width, after[at], reference[at]);
        for (size_t at = 0; at < after.size(); ++at)
            if (after[at] != reference[at])
                fail("the damaged frame equals the full frame",
                     at2(uint32_t(at / bpp % d_width), uint32_t(at / bpp / d_width)));
    }

    static std::string at2(uint32_t x, uint32_t y) { return "at " + std::to_string(x) + "," + std::to_string(y); }

    static unsigned long drawingCalls()
    {
        return ddrawtest::callCount("Lock") + ddrawtest::callCount("Blt") + ddrawtest::callCount("BltFast");
    }

    size_t bytesPerPixel() const { return kDepths[d_format] / 8; }

    std::vector<uint8_t> pixels(IDirectDrawSurface* surface) const
    {
        std::vector<uint8_t> rows;
        check(ZivTest::readSurfaceRows(surface, rows), "a target reads");
        return rows;
    }

    static IDirectDrawSurface* colourOf(Texture* texture)
    {
        return static_cast<ZorvUISystem::CDDTexture*>(texture)->colourSurface();
    }

    // The same pixels into the texture of both renderers: RGBA with opaque,
    // transparent and translucent texels, or RGB; memory textures are tinted.
    void load(uint32_t t, uint8_t seed)
    {
        const uint32_t w = kTextureSizes[t][0];
        const uint32_t h = kTextureSizes[t][1];
        const bool rgba = t != 1;
        Pattern pattern(seed * 7u + t);
        std::vector<uint8_t> texels(size_t(w) * h * 4);
        for (size_t i = 0; i < size_t(w) * h; ++i) {
            const uint32_t v = pattern.next();
            for (int c = 0; c < 3; ++c)
                texels[i * 4 + c] = uint8_t(v >> (8 * c));
            texels[i * 4 + 3] = (v >> 24) < 64 ? 0 : (v >> 24) < 192 ? 255 : uint8_t(v >> 24);
        }
        for (int side = 0; side < 2; ++side) {
            d_textures[side][t]->setMemoryTexture(t == 3);
            std::vector<uint8_t> rgb;
            if (!rgba)
                for (size_t i = 0; i < texels.size(); i += 4)
                    rgb.insert(rgb.end(), &texels[i], &texels[i + 3]);
            d_textures[side][t]->loadFromMemory(rgba ? texels.data() : rgb.data(), w, h,
                                                rgba ? ZorvUISystem::BUFFER_RGBA : ZorvUISystem::BUFFER_RGB);
        }
    }

    void setBackground(uint8_t kind)
    {
        d_backgroundKind = kind;
        d_backgroundColour = kind * 0x01030507u;
        if (kind & 1) {
            // A host surface of the target's format, a little smaller than
            // the target: the colour shows where it does not reach.
            if (d_backgroundSurface == nullptr)
                d_backgroundSurface = makeSurface(d_width - 3, d_height - 2);
            Pattern pattern(kind);
            DDSURFACEDESC desc;
            std::memset(&desc, 0, sizeof(desc));
            desc.dwSize = sizeof(desc);
            check(d_backgroundSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK, "background locks");
            for (DWORD y = 0; y < desc.dwHeight; ++y)
                for (size_t b = 0; b < desc.dwWidth * bytesPerPixel(); ++b)
                    static_cast<uint8_t*>(desc.lpSurface)[y * desc.lPitch + b] = uint8_t(pattern.next());
            d_backgroundSurface->Unlock(nullptr);
        }
        ZorvUISystem::damageSetBackgroundColour(d_on.get(), d_backgroundColour);
        if (kind & 1)
            ZorvUISystem::damageSetBackgroundSurface(d_on.get(), d_backgroundSurface);
    }

    // What a host that redraws everything does first: the background, whole.
    void fillBackground(IDirectDrawSurface* target)
    {
        fill(target, nullptr, d_backgroundColour);
        if (d_backgroundKind & 1) {
            RECT source = {0, 0, LONG(d_width - 3), LONG(d_height - 2)};
            check(target->BltFast(0, 0, d_backgroundSurface, &source, DDBLTFAST_WAIT) == DD_OK, "background copy");
        }
    }

    static void fill(IDirectDrawSurface* target, RECT* rect, uint32_t colour)
    {
        DDBLTFX effects;
        std::memset(&effects, 0, sizeof(effects));
        effects.dwSize = sizeof(effects);
        effects.dwFillColor = colour;
        check(target->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects) == DD_OK, "a fill");
    }

    IDirectDrawSurface* makeSurface(uint32_t width, uint32_t height)
    {
        DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(width, height);
        if (d_format == 1)
            ZivTest::requestRgb555(desc);
        IDirectDrawSurface* surface = nullptr;
        check(d_directDraw.get()->CreateSurface(&desc, &surface, nullptr) == DD_OK, "a target surface");
        return surface;
    }

    // The chain's buffers start with garbage: the first frame on each must
    // cover it.
    void makeTargets()
    {
        for (uint32_t i = 0; i < d_chain; ++i) {
            d_chainTargets[i] = makeSurface(d_width, d_height);
            fill(d_chainTargets[i], nullptr, 0xA5A5A5A5u + i);
        }
        d_reference = makeSurface(d_width, d_height);
        d_backgroundSurface = nullptr;
        setBackground(d_backgroundKind);
    }

    std::vector<IDirectDrawSurface*> allTargets()
    {
        std::vector<IDirectDrawSurface*> all(d_chainTargets, d_chainTargets + d_chain);
        all.push_back(d_reference);
        if (d_backgroundSurface != nullptr)
            all.push_back(d_backgroundSurface);
        return all;
    }

    void dropTargets()
    {
        for (IDirectDrawSurface* surface : allTargets())
            surface->Release();
        d_backgroundSurface = nullptr;
    }

    Reader d_in;
    // ZIV_DAMAGE_TRACE set: every operation and frame on standard error.
    const bool d_trace = std::getenv("ZIV_DAMAGE_TRACE") != nullptr;
    ZivTest::SoftwareDirectDraw d_directDraw;
    ZivTest::TestRenderDevice d_deviceOn;
    ZivTest::TestRenderDevice d_deviceOff;
    std::unique_ptr<CDDRender> d_on;
    std::unique_ptr<CDDRender> d_off;
    Texture* d_textures[2][4] = {};
    IDirectDrawSurface* d_chainTargets[3] = {};
    IDirectDrawSurface* d_reference = nullptr;
    IDirectDrawSurface* d_backgroundSurface = nullptr;
    uint8_t d_backgroundKind = 0;
    uint32_t d_backgroundColour = 0;
    std::vector<Quad> d_quads;
    uint32_t d_format = 0;
    uint32_t d_chain = 1;
    uint32_t d_width = 32;
    uint32_t d_height = 32;
    uint32_t d_frames = 0;
    const char* d_fault = nullptr;
    bool d_unsettled = false;
    bool d_softEdges = false;
    bool d_lastFrameKnown = false;
    unsigned d_faultNth = 1;
};

inline void runSequence(const uint8_t* data, size_t size)
{
    Sequence(data, size).run();
}

// The damage region alone, fed rectangles from the bytes (small ones, large
// ones, rows of letters, many of them): after every finish its rectangles
// are at most kMaxRects, inside the area, disjoint, and cover every pixel
// added since the reset.
inline void runRegion(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    const LONG left = in.byte() % 16, top = in.byte() % 16;
    const RECT area = {left, top, left + 1 + in.byte() % 160, top + 1 + in.byte() % 120};
    const LONG width = area.right + 24, height = area.bottom + 24;
    ZorvUISystem::DamageRegion region;
    region.reset(area);
    std::vector<uint8_t> added(size_t(width * height)), covered(added.size());
    const auto mark = [&](const RECT& r) {
        for (LONG y = std::max(r.top, area.top); y < std::min(r.bottom, area.bottom); ++y)
            for (LONG x = std::max(r.left, area.left); x < std::min(r.right, area.right); ++x)
                added[size_t(y * width + x)] = 1;
    };
    const auto addRect = [&](const RECT& r) {
        region.add(r);
        mark(r);
    };
    while (!in.atEnd()) {
        const uint8_t op = in.byte();
        const LONG x = in.byte() % width - 4, y = in.byte() % height - 4;
        if (op < 96) { // a small one
            addRect(RECT{x, y, x + 1 + in.byte() % 12, y + 1 + in.byte() % 12});
        } else if (op < 128) { // a large one
            addRect(RECT{x, y, x + in.byte() % width, y + in.byte() % height});
        } else if (op < 224) { // a row of letters
            const LONG count = 4 + in.byte() % 40, pitch = 4 + in.byte() % 5;
            for (LONG i = 0; i < count; ++i) {
                const uint8_t shape = in.byte();
                addRect(RECT{x + i * pitch, y + shape % 4, x + i * pitch + 1 + shape / 4 % 8, y + 9 + shape / 32 % 3});
            }
        } else if (op < 254) {
            region.finish();
        } else {
            region.addAll();
            mark(area);
        }
        if (op < 224)
            continue;
        check(region.rects().size() <= ZorvUISystem::DamageRegion::kMaxRects, "at most kMaxRects rectangles");
        std::fill(covered.begin(), covered.end(), uint8_t(0));
        uint64_t pixels = 0;
        for (const RECT& r : region.rects()) {
            check(r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom &&
                      r.left < r.right && r.top < r.bottom,
                  "a damage rectangle inside the area");
            for (LONG py = r.top; py < r.bottom; ++py)
                for (LONG px = r.left; px < r.right; ++px)
                    check(covered[size_t(py * width + px)]++ == 0, "disjoint damage rectangles");
            pixels += uint64_t(r.right - r.left) * uint64_t(r.bottom - r.top);
        }
        check(region.pixels() == pixels, "the region's pixel count");
        for (size_t i = 0; i < added.size(); ++i)
            check(added[i] == 0 || covered[i] != 0, "every added pixel damaged");
    }
}

} // namespace zivfuzz::damage
