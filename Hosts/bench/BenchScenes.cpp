#include "BenchScenes.h"

#include <cstdlib>
#include <map>
#include <random>

namespace zivbench {

namespace {

Image makeImage(int width, int height, int bytesPerPixel)
{
    Image img;
    img.width = width;
    img.height = height;
    img.pitch = static_cast<ptrdiff_t>(width) * bytesPerPixel; // a multiple of 4 for every size used here
    const size_t size = (static_cast<size_t>(img.pitch) * height + 63) / 64 * 64;
    img.bytes = {static_cast<uint8_t*>(std::aligned_alloc(64, size)), std::free};
    return img;
}

void fill(Image& img, int bytesPerPixel, double zeroShare, std::mt19937& rng)
{
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            uint32_t v = rng();
            const uint32_t colour = bytesPerPixel == 2 ? 0xFFFFu : 0xFFFFFFu;
            if (u(rng) < zeroShare)
                v &= ~colour; // transparent (a 32-bit pixel keeps a random fourth byte)
            else if ((v & colour) == 0)
                v |= 1;
            uint8_t* p = img.at(x, y, bytesPerPixel);
            for (int b = 0; b < bytesPerPixel; ++b)
                p[b] = static_cast<uint8_t>(v >> (8 * b));
        }
    }
}

Blit blitOf(const Image& src, int sx, int sy, Image& dst, int dx, int dy, int w, int h, int bpp)
{
    return {src.at(sx, sy, bpp), src.pitch, sx, sy, dst.at(dx, dy, bpp), dst.pitch, dx, dy, w, h};
}

std::unique_ptr<Scene> makeScene(int bpp)
{
    auto scene = std::make_unique<Scene>();
    scene->bytesPerPixel = bpp;
    std::mt19937 rng(4242u + static_cast<uint32_t>(bpp));
    scene->screen = makeImage(kScreenWidth, kScreenHeight, bpp);
    scene->texture = makeImage(kTextureSize, kTextureSize, bpp);
    scene->rowSource = makeImage(kRowPixels, 1, bpp);
    scene->rowDestination = makeImage(kRowPixels, 1, bpp);
    fill(scene->screen, bpp, 0.0, rng);
    fill(scene->texture, bpp, 0.22, rng);
    fill(scene->rowSource, bpp, 0.22, rng);
    fill(scene->rowDestination, bpp, 0.0, rng);

    scene->blits[static_cast<int>(Shape::Row)].push_back(
        blitOf(scene->rowSource, 0, 0, scene->rowDestination, 0, 0, kRowPixels, 1, bpp));
    for (int y = 0; y < kScreenHeight; y += kTextureSize)
        for (int x = 0; x < kScreenWidth; x += kTextureSize)
            scene->blits[static_cast<int>(Shape::Tiles)].push_back(
                blitOf(scene->texture, 0, 0, scene->screen, x, y, kTextureSize, kTextureSize, bpp));
    constexpr int quadW = 64, quadH = 32;
    const int quads = kScreenWidth * kScreenHeight / (quadW * quadH);
    for (int i = 0; i < quads; ++i) {
        const int sx = static_cast<int>(rng() % (kTextureSize - quadW + 1));
        const int sy = static_cast<int>(rng() % (kTextureSize - quadH + 1));
        const int dx = static_cast<int>(rng() % (kScreenWidth - quadW + 1));
        const int dy = static_cast<int>(rng() % (kScreenHeight - quadH + 1));
        scene->blits[static_cast<int>(Shape::Quads)].push_back(
            blitOf(scene->texture, sx, sy, scene->screen, dx, dy, quadW, quadH, bpp));
    }
    return scene;
}

} // namespace

const char* shapeName(Shape shape)
{
    switch (shape) {
    case Shape::Row:
        return "row";
    case Shape::Tiles:
        return "tiles";
    case Shape::Quads:
        return "quads";
    }
    return "?";
}

int64_t Scene::pixels(Shape s) const
{
    int64_t n = 0;
    for (const Blit& b : shape(s))
        n += static_cast<int64_t>(b.width) * b.height;
    return n;
}

Scene& sceneFor(int bytesPerPixel)
{
    static std::map<int, std::unique_ptr<Scene>> scenes;
    std::unique_ptr<Scene>& s = scenes[bytesPerPixel];
    if (!s)
        s = makeScene(bytesPerPixel);
    return *s;
}

} // namespace zivbench
