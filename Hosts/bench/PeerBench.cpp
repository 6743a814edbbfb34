// The peers on the same buffers as the kernels: pixman OVER with a solid
// 8-bit mask of the kernels' alpha, and SDL2's SDL_BlitSurface with alpha
// modulation, with and without colour modulation, with colour key 0 (with
// and without RLE acceleration) and without a key.
//
// Names: pixman/over_solid_mask/<format>/<shape>,
// sdl2/[key_](alpha|colour_alpha)[_rle]/<format>/<shape>.

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <string>

#include "BenchScenes.h"
#include "BenchSupport.h"

namespace zivbench {

namespace {

constexpr uint8_t kAlpha = 128;
constexpr uint8_t kRed = 200, kGreen = 150, kBlue = 100;

pixman_format_code_t pixmanFormatOf(int bpp)
{
    return bpp == 2 ? PIXMAN_r5g6b5 : bpp == 3 ? PIXMAN_r8g8b8 : PIXMAN_x8r8g8b8;
}
const char* pixmanName(int bpp)
{
    return bpp == 2 ? "r5g6b5" : bpp == 3 ? "r8g8b8" : "x8r8g8b8";
}
uint32_t sdlFormatOf(int bpp)
{
    return bpp == 2 ? SDL_PIXELFORMAT_RGB565 : bpp == 3 ? SDL_PIXELFORMAT_BGR24 : SDL_PIXELFORMAT_XRGB8888;
}
const char* sdlName(int bpp)
{
    return bpp == 2 ? "rgb565" : bpp == 3 ? "bgr24" : "xrgb8888";
}

pixman_image_t* wrap(const Image& img, int bpp)
{
    return pixman_image_create_bits(pixmanFormatOf(bpp), img.width, img.height,
                                    reinterpret_cast<uint32_t*>(img.bytes.get()), static_cast<int>(img.pitch));
}

void benchPixman(benchmark::State& state, int bpp, Shape shape)
{
    Scene& scene = sceneFor(bpp);
    const bool row = shape == Shape::Row;
    pixman_image_t* src = wrap(row ? scene.rowSource : scene.texture, bpp);
    pixman_image_t* dst = wrap(row ? scene.rowDestination : scene.screen, bpp);
    const pixman_color_t maskColour = {0, 0, 0, static_cast<uint16_t>(kAlpha * 257)};
    pixman_image_t* mask = pixman_image_create_solid_fill(&maskColour);
    runShape(state, scene, shape, [&](const Blit& b) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, b.sourceX, b.sourceY, 0, 0, b.destinationX,
                                 b.destinationY, b.width, b.height);
    });
    pixman_image_unref(mask);
    pixman_image_unref(dst);
    pixman_image_unref(src);
}

SDL_Surface* wrapSurface(const Image& img, int bpp)
{
    return SDL_CreateRGBSurfaceWithFormatFrom(img.bytes.get(), img.width, img.height, 8 * bpp,
                                              static_cast<int>(img.pitch), sdlFormatOf(bpp));
}

void benchSdl(benchmark::State& state, int bpp, Shape shape, bool key, bool colourMod, bool rle)
{
    Scene& scene = sceneFor(bpp);
    const bool row = shape == Shape::Row;
    SDL_Surface* src = wrapSurface(row ? scene.rowSource : scene.texture, bpp);
    SDL_Surface* dst = wrapSurface(row ? scene.rowDestination : scene.screen, bpp);
    if (src == nullptr || dst == nullptr) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    if (key)
        SDL_SetColorKey(src, SDL_TRUE, 0);
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src, kAlpha);
    if (colourMod)
        SDL_SetSurfaceColorMod(src, kRed, kGreen, kBlue);
    SDL_SetSurfaceRLE(src, rle ? 1 : 0);
    auto blit = [&](const Blit& b) {
        SDL_Rect from{b.sourceX, b.sourceY, b.width, b.height};
        SDL_Rect to{b.destinationX, b.destinationY, b.width, b.height};
        SDL_BlitSurface(src, &from, dst, &to);
    };
    blit(scene.shape(shape).front()); // the RLE encoding happens here, outside the timing
    runShape(state, scene, shape, blit);
    SDL_FreeSurface(dst);
    SDL_FreeSurface(src);
}

bool registerPeers()
{
    for (int bpp : {2, 3, 4}) {
        for (Shape shape : kShapes) {
            const std::string tail = std::string("/") + shapeName(shape);
            benchmark::RegisterBenchmark(("pixman/over_solid_mask/" + std::string(pixmanName(bpp)) + tail).c_str(),
                                         benchPixman, bpp, shape);
            // With colour key 0 the blit is exact (transparent pixels stay
            // out); without it SDL2 has faster paths that blend every pixel.
            for (bool key : {true, false})
                for (bool colour : {false, true})
                    for (bool rle : {false, true}) {
                        if (!key && rle)
                            continue; // RLE encodes only keyed surfaces
                        const std::string op =
                            std::string(key ? "key_" : "") + (colour ? "colour_alpha" : "alpha") + (rle ? "_rle" : "");
                        benchmark::RegisterBenchmark(("sdl2/" + op + "/" + sdlName(bpp) + tail).c_str(), benchSdl, bpp,
                                                     shape, key, colour, rle);
                    }
        }
    }
    return true;
}

const bool registered = registerPeers();

} // namespace

} // namespace zivbench
