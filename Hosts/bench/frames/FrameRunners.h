// The drawers of a FrameScene, one frame per draw() call, each on a target of
// the scene's size in RGB 565 or 32-bit XRGB:
// - ZivFrame: the renderer module loaded as a host loads it, over the
//   software DirectDraw; the host clears its target, queues every quad,
//   renders the queue and clears it.
// - SdlFrame: SDL2's software renderer on an SDL surface; textures with alpha,
//   alpha and colour modulation, SDL_RenderCopy.
// - PixmanFrame: pixman_image_composite32 OVER, with a solid mask for
//   translucency (per component for tinted quads) and a scaling transform for
//   stretched quads.
// - MemcpyFloor: the memory traffic of blend mode 0 done by memset and memcpy:
//   the target cleared, every quad's rectangle copied from its texture into a
//   display-sized buffer (a stretched one first into a display-sized scratch
//   image, then from there), the buffer copied onto the target and cleared.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "DemoDevice.h"
#include "FrameScenes.h"
#include "ModuleLibrary.h"

struct SDL_Surface;
struct SDL_Renderer;
struct SDL_Texture;
typedef union pixman_image pixman_image_t;

namespace zivbench {

// The module as built (counting per-frame statistics), or its twin built
// with the counting compiled out. Loaded on first use; throws
// std::runtime_error when it cannot be loaded.
const zivdemo::ModuleApi& zivModule(bool counted = true);

uint32_t bytesPerPixel(zivdemo::TargetFormat format);

class ZivFrame {
public:
    ZivFrame(const zivdemo::ModuleApi& module, const FrameScene& scene, zivdemo::TargetFormat format,
             int32_t blendMode);
    ~ZivFrame();
    ZivFrame(const ZivFrame&) = delete;
    ZivFrame& operator=(const ZivFrame&) = delete;

    void draw();
    ZorvUISystem::Renderer& renderer() { return *d_renderer; }
    zivdemo::DemoDevice& device() { return d_device; }

private:
    const zivdemo::ModuleApi& d_module;
    const FrameScene& d_scene;
    zivdemo::DemoDevice d_device;
    ZorvUISystem::Renderer* d_renderer = nullptr;
    std::vector<ZorvUISystem::Texture*> d_textures;
};

class SdlFrame {
public:
    SdlFrame(const FrameScene& scene, zivdemo::TargetFormat format);
    ~SdlFrame();
    SdlFrame(const SdlFrame&) = delete;
    SdlFrame& operator=(const SdlFrame&) = delete;

    void draw();

private:
    std::vector<DrawnQuad> d_quads;
    uint32_t d_background;
    SDL_Surface* d_target = nullptr;
    SDL_Renderer* d_renderer = nullptr;
    std::vector<SDL_Texture*> d_textures;
};

class PixmanFrame {
public:
    PixmanFrame(const FrameScene& scene, zivdemo::TargetFormat format);
    ~PixmanFrame();
    PixmanFrame(const PixmanFrame&) = delete;
    PixmanFrame& operator=(const PixmanFrame&) = delete;

    void draw();

private:
    struct Draw {
        pixman_image_t* source; // the texture's image, or one with a scaling transform
        pixman_image_t* mask;   // null for opaque white quads
        int32_t sourceX, sourceY, destX, destY, width, height;
    };
    uint32_t d_width, d_height, d_bitsPerPixel, d_clearValue;
    std::vector<uint32_t> d_targetBits;
    pixman_image_t* d_target = nullptr;
    std::vector<std::vector<uint32_t>> d_textureBits;
    std::vector<pixman_image_t*> d_textures;
    std::vector<pixman_image_t*> d_owned; // masks and transformed sources
    std::vector<Draw> d_draws;
};

class MemcpyFloor {
public:
    MemcpyFloor(const FrameScene& scene, zivdemo::TargetFormat format);
    void draw();

private:
    struct Rows {
        const uint8_t* source; // first byte in the texture's image
        size_t sourcePitch;
        size_t offset; // of the first destination byte, in the display-sized images
        size_t rowBytes;
        size_t rows;
        bool stretched; // through the scratch image
    };
    size_t d_pitch;
    std::vector<std::vector<uint8_t>> d_textures; // the scene's textures at the target's pixel size
    std::vector<uint8_t> d_screenSource, d_scratch, d_buffer, d_target;
    std::vector<Rows> d_quads;
};

} // namespace zivbench
