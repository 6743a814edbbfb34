#include "FrameRunners.h"

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace zivbench {

namespace {

#if !defined(ZIV_BENCH_MODULE) || !defined(ZIV_BENCH_UNCOUNTED_MODULE)
#error "ZIV_BENCH_MODULE and ZIV_BENCH_UNCOUNTED_MODULE name the two builds of the module"
#endif

using zivdemo::TargetFormat;

// A quad's texture rectangle, clipped like its destination: the part of the
// texture that an unstretched quad shows.
SDL_Rect sdlRect(int32_t x, int32_t y, int32_t w, int32_t h)
{
    return SDL_Rect{x, y, w, h};
}

// The texels of a texture as premultiplied ARGB words (pixman's a8r8g8b8), or
// opaque XRGB words for RGB textures.
std::vector<uint32_t> premultiplied(const FrameTexture& texture)
{
    std::vector<uint32_t> words(size_t(texture.width) * texture.height);
    for (uint32_t y = 0; y < texture.height; ++y)
        for (uint32_t x = 0; x < texture.width; ++x) {
            uint8_t p[4];
            texture.rgba(x, y, p);
            const uint32_t a = p[3];
            auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
            words[size_t(y) * texture.width + x] = a << 24 | scale(p[0]) << 16 | scale(p[1]) << 8 | scale(p[2]);
        }
    return words;
}

pixman_fixed_t fixed(double value)
{
    return pixman_double_to_fixed(value);
}

} // namespace

const zivdemo::ModuleApi& zivModule(bool counted)
{
    static zivdemo::ModuleLibrary module(ZIV_BENCH_MODULE);
    static zivdemo::ModuleLibrary uncounted(ZIV_BENCH_UNCOUNTED_MODULE);
    return counted ? module.api() : uncounted.api();
}

uint32_t bytesPerPixel(TargetFormat format)
{
    return zivdemo::formatInfo(format).bitsPerPixel / 8;
}

// --- ziv ----------------------------------------------------------------------

ZivFrame::ZivFrame(const zivdemo::ModuleApi& module, const FrameScene& scene, TargetFormat format, int32_t blendMode)
    : d_module(module), d_scene(scene), d_device(format, scene.width, scene.height, blendMode)
{
    d_renderer = module.createRenderer(&d_device, 0, false, nullptr, 0, 0);
    if (d_renderer == nullptr) {
        const char* error = module.getLastErrorString();
        throw std::runtime_error(std::string("createRenderer failed: ") + (error != nullptr ? error : ""));
    }
    d_renderer->setTargetSurface(d_device.target());
    try {
        for (const FrameTexture& t : scene.textures) {
            ZorvUISystem::Texture* texture = d_renderer->createTexture();
            d_textures.push_back(texture);
            texture->setMemoryTexture(t.memory);
            texture->loadFromMemory(t.pixels.data(), t.width, t.height,
                                    t.rgb ? ZorvUISystem::BUFFER_RGB : ZorvUISystem::BUFFER_RGBA);
        }
    } catch (...) {
        module.destroyRenderer(d_renderer);
        throw;
    }
}

ZivFrame::~ZivFrame()
{
    d_module.destroyRenderer(d_renderer);
}

void ZivFrame::draw()
{
    d_device.clear(d_scene.background);
    for (const FrameQuad& q : d_scene.quads)
        d_renderer->queueQuad(q.dest, q.z, d_textures[q.texture], q.source, q.colours, 0);
    d_renderer->renderQueue();
    d_renderer->clearQueue();
}

// --- SDL2 ---------------------------------------------------------------------

SdlFrame::SdlFrame(const FrameScene& scene, TargetFormat format)
    : d_quads(scene.drawOrder()), d_background(scene.background)
{
    const uint32_t sdlFormat = format == TargetFormat::Rgb565 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888;
    d_target = SDL_CreateRGBSurfaceWithFormat(0, int(scene.width), int(scene.height), int(8 * bytesPerPixel(format)),
                                              sdlFormat);
    if (d_target == nullptr)
        throw std::runtime_error(std::string("SDL_CreateRGBSurfaceWithFormat: ") + SDL_GetError());
    d_renderer = SDL_CreateSoftwareRenderer(d_target);
    if (d_renderer == nullptr) {
        SDL_FreeSurface(d_target);
        throw std::runtime_error(std::string("SDL_CreateSoftwareRenderer: ") + SDL_GetError());
    }
    for (const FrameTexture& t : scene.textures) {
        SDL_Surface* pixels = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<uint8_t*>(t.pixels.data()), int(t.width), int(t.height), t.rgb ? 24 : 32,
            int(t.width * (t.rgb ? 3 : 4)), t.rgb ? SDL_PIXELFORMAT_RGB24 : SDL_PIXELFORMAT_RGBA32);
        SDL_Texture* texture = pixels != nullptr ? SDL_CreateTextureFromSurface(d_renderer, pixels) : nullptr;
        SDL_FreeSurface(pixels);
        if (texture == nullptr)
            throw std::runtime_error(std::string("SDL_CreateTextureFromSurface: ") + SDL_GetError());
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
        SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
        d_textures.push_back(texture);
    }
}

SdlFrame::~SdlFrame()
{
    for (SDL_Texture* t : d_textures)
        SDL_DestroyTexture(t);
    SDL_DestroyRenderer(d_renderer);
    SDL_FreeSurface(d_target);
}

void SdlFrame::draw()
{
    SDL_SetRenderDrawColor(d_renderer, uint8_t(d_background >> 16), uint8_t(d_background >> 8), uint8_t(d_background),
                           255);
    SDL_RenderClear(d_renderer);
    for (const DrawnQuad& q : d_quads) {
        SDL_Texture* texture = d_textures[q.texture];
        SDL_SetTextureAlphaMod(texture, q.alpha);
        SDL_SetTextureColorMod(texture, q.red, q.green, q.blue);
        const SDL_Rect from = sdlRect(q.sourceLeft, q.sourceTop, q.sourceWidth, q.sourceHeight);
        const SDL_Rect to = sdlRect(q.destLeft, q.destTop, q.destWidth, q.destHeight);
        SDL_RenderCopy(d_renderer, texture, &from, &to);
    }
    SDL_RenderFlush(d_renderer);
}

// --- pixman -------------------------------------------------------------------

PixmanFrame::PixmanFrame(const FrameScene& scene, TargetFormat format)
    : d_width(scene.width), d_height(scene.height), d_bitsPerPixel(8 * bytesPerPixel(format))
{
    const bool is565 = format == TargetFormat::Rgb565;
    const uint32_t strideWords = (d_width * d_bitsPerPixel / 8 + 3) / 4;
    d_targetBits.assign(size_t(strideWords) * d_height, 0);
    d_target = pixman_image_create_bits(is565 ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8, int(d_width), int(d_height),
                                        d_targetBits.data(), int(strideWords * 4));
    const uint32_t bg = scene.background;
    d_clearValue = is565 ? ((bg >> 19 & 0x1F) << 11 | (bg >> 10 & 0x3F) << 5 | (bg >> 3 & 0x1F)) : (bg & 0xFFFFFFu);
    if (is565)
        d_clearValue |= d_clearValue << 16;

    for (const FrameTexture& t : scene.textures) {
        d_textureBits.push_back(premultiplied(t));
        d_textures.push_back(pixman_image_create_bits(t.rgb ? PIXMAN_x8r8g8b8 : PIXMAN_a8r8g8b8, int(t.width),
                                                      int(t.height), d_textureBits.back().data(), int(t.width * 4)));
    }

    for (const DrawnQuad& q : scene.drawOrder()) {
        Draw d{d_textures[q.texture], nullptr,     q.sourceLeft, q.sourceTop, q.destLeft, q.destTop,
               q.destWidth,           q.destHeight};
        if (q.stretched()) {
            // A source of its own over the same texels, sampled nearest, so
            // that destination pixel (i, j) shows texel
            // (left + i * sw / dw, top + j * sh / dh).
            const FrameTexture& t = scene.textures[q.texture];
            pixman_image_t* scaled =
                pixman_image_create_bits(t.rgb ? PIXMAN_x8r8g8b8 : PIXMAN_a8r8g8b8, int(t.width), int(t.height),
                                         d_textureBits[q.texture].data(), int(t.width * 4));
            pixman_transform_t transform;
            pixman_transform_init_identity(&transform);
            transform.matrix[0][0] = fixed(double(q.sourceWidth) / q.destWidth);
            transform.matrix[0][2] = fixed(q.sourceLeft);
            transform.matrix[1][1] = fixed(double(q.sourceHeight) / q.destHeight);
            transform.matrix[1][2] = fixed(q.sourceTop);
            pixman_image_set_transform(scaled, &transform);
            pixman_image_set_filter(scaled, PIXMAN_FILTER_NEAREST, nullptr, 0);
            d_owned.push_back(scaled);
            d.source = scaled;
            d.sourceX = 0;
            d.sourceY = 0;
        }
        if (!q.white() || q.alpha != 255) {
            // Premultiplied 16-bit channels; per component for a tint.
            const uint16_t a = uint16_t(q.alpha * 257);
            auto times = [&](uint8_t c) { return uint16_t(uint32_t(c) * q.alpha * 257 / 255); };
            const pixman_color_t colour =
                q.white() ? pixman_color_t{a, a, a, a} : pixman_color_t{times(q.red), times(q.green), times(q.blue), a};
            pixman_image_t* mask = pixman_image_create_solid_fill(&colour);
            if (!q.white())
                pixman_image_set_component_alpha(mask, 1);
            d_owned.push_back(mask);
            d.mask = mask;
        }
        d_draws.push_back(d);
    }
}

PixmanFrame::~PixmanFrame()
{
    for (pixman_image_t* image : d_owned)
        pixman_image_unref(image);
    for (pixman_image_t* image : d_textures)
        pixman_image_unref(image);
    pixman_image_unref(d_target);
}

void PixmanFrame::draw()
{
    const int strideWords = int((d_width * d_bitsPerPixel / 8 + 3) / 4);
    pixman_fill(d_targetBits.data(), strideWords, int(d_bitsPerPixel), 0, 0, int(d_width), int(d_height), d_clearValue);
    for (const Draw& d : d_draws)
        pixman_image_composite32(PIXMAN_OP_OVER, d.source, d.mask, d_target, d.sourceX, d.sourceY, 0, 0, d.destX,
                                 d.destY, d.width, d.height);
}

// --- memcpy floor -------------------------------------------------------------

MemcpyFloor::MemcpyFloor(const FrameScene& scene, TargetFormat format)
{
    const size_t bytes = bytesPerPixel(format);
    d_pitch = scene.width * bytes;
    const size_t size = d_pitch * scene.height;
    d_screenSource.assign(size, 0x5A);
    d_scratch.assign(size, 0);
    d_buffer.assign(size, 0);
    d_target.assign(size, 0);
    for (const FrameTexture& t : scene.textures)
        d_textures.emplace_back(size_t(t.width) * t.height * bytes, uint8_t(0x3C));
    for (const DrawnQuad& q : scene.drawOrder()) {
        const int64_t left = std::max(q.destLeft, 0), top = std::max(q.destTop, 0);
        const int64_t right = std::min<int64_t>(q.destLeft + q.destWidth, scene.width);
        const int64_t bottom = std::min<int64_t>(q.destTop + q.destHeight, scene.height);
        if (right <= left || bottom <= top)
            continue;
        Rows rows{nullptr,
                  0,
                  size_t(top) * d_pitch + size_t(left) * bytes,
                  size_t(right - left) * bytes,
                  size_t(bottom - top),
                  q.stretched()};
        // The texture's rows where the rectangle fits in it (a stretch reads
        // as many bytes as it writes); the display-sized source otherwise.
        const FrameTexture& t = scene.textures[q.texture];
        const int64_t x = std::min<int64_t>(q.sourceLeft, int64_t(t.width) - (right - left));
        const int64_t y = std::min<int64_t>(q.sourceTop, int64_t(t.height) - (bottom - top));
        if (x >= 0 && y >= 0) {
            rows.sourcePitch = t.width * bytes;
            rows.source = d_textures[q.texture].data() + size_t(y) * rows.sourcePitch + size_t(x) * bytes;
        } else {
            rows.sourcePitch = d_pitch;
            rows.source = d_screenSource.data() + rows.offset;
        }
        d_quads.push_back(rows);
    }
}

void MemcpyFloor::draw()
{
    std::memset(d_target.data(), 0, d_target.size());
    for (const Rows& r : d_quads) {
        uint8_t* into = (r.stretched ? d_scratch.data() : d_buffer.data()) + r.offset;
        for (size_t y = 0; y < r.rows; ++y)
            std::memcpy(into + y * d_pitch, r.source + y * r.sourcePitch, r.rowBytes);
        if (r.stretched)
            for (size_t y = 0; y < r.rows; ++y)
                std::memcpy(d_buffer.data() + r.offset + y * d_pitch, into + y * d_pitch, r.rowBytes);
    }
    std::memcpy(d_target.data(), d_buffer.data(), d_target.size());
    std::memset(d_buffer.data(), 0, d_buffer.size());
}

} // namespace zivbench
