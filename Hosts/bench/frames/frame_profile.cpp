// ziv-frame-profile: draws a number of whole frames with one drawer, for
// profilers (valgrind --tool=callgrind, perf), which want a fixed amount of
// work rather than Google Benchmark's timed loops.
//
//   ziv-frame-profile [synthetic|demo] [565|32] [ziv|ziv-soft|ziv-uncounted|sdl2|pixman|memcpy] [blend mode] [frames]
//   ziv-frame-profile queue <n> [walk]   queues n quads of random depth once
//                                        (and walks them with a render pass)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <random>
#include <string>
#include <vector>

#include "frames/FrameRunners.h"
#include "frames/FrameScenes.h"

namespace {

template <class Drawer> double drawFrames(Drawer& drawer, int frames)
{
    drawer.draw();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i)
        drawer.draw();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / frames;
}

} // namespace

// Queues n quads of random depth into a renderer in blend mode 2, with walk
// renders them (without a texture: every quad is visited in depth order and
// nothing is drawn), and empties the queue.
int queueOnly(long n, bool walk)
{
    using namespace zivbench;
    ZivFrame frame(zivModule(), syntheticFrame(), zivdemo::TargetFormat::Rgb565, 2);
    ZorvUISystem::Renderer& renderer = frame.renderer();
    ZorvUISystem::Texture* texture = walk ? nullptr : renderer.createTexture();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> depths(static_cast<size_t>(n));
    for (float& z : depths)
        z = unit(random);
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < n; ++i)
        renderer.queueQuad({10, 10, 42, 42}, depths[size_t(i)], texture, {0, 0, 32, 32}, sameCorners(0xFFFFFFFFu),
                           uint32_t(i));
    if (walk)
        renderer.renderQueue();
    const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    renderer.clearQueue();
    if (texture != nullptr)
        renderer.destroyTexture(texture);
    std::printf("queue%s: %ld quads, %.1f ns per quad\n", walk ? " and walk" : "", n, ns / double(n));
    return 0;
}

int main(int argc, char** argv)
{
    using namespace zivbench;
    if (argc > 1 && std::string(argv[1]) == "queue") {
        const long n = argc > 2 ? std::atol(argv[2]) : 1000;
        const bool walk = argc > 3 && std::string(argv[3]) == "walk";
        if (n < 1) {
            std::fprintf(stderr, "usage: %s queue <n> [walk]\n", argv[0]);
            return 2;
        }
        try {
            return queueOnly(n, walk);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
            return 1;
        }
    }
    const std::string sceneName = argc > 1 ? argv[1] : "synthetic";
    const std::string formatName = argc > 2 ? argv[2] : "565";
    const std::string drawer = argc > 3 ? argv[3] : "ziv";
    const int blendMode = argc > 4 ? std::atoi(argv[4]) : 2;
    const int frames = argc > 5 ? std::atoi(argv[5]) : 20;
    if ((sceneName != "synthetic" && sceneName != "demo") || (formatName != "565" && formatName != "32") ||
        blendMode < 0 || blendMode > 2 || frames < 1) {
        std::fprintf(stderr,
                     "usage: %s [synthetic|demo] [565|32] [ziv|ziv-soft|ziv-uncounted|sdl2|pixman|memcpy] "
                     "[blend mode 0-2] [frames]\n",
                     argv[0]);
        return 2;
    }
    try {
        const FrameScene& scene = sceneName == "demo" ? demoFrame() : syntheticFrame();
        const zivdemo::TargetFormat format =
            formatName == "565" ? zivdemo::TargetFormat::Rgb565 : zivdemo::TargetFormat::Rgb32;
        double ms = 0;
        if (drawer == "ziv" || drawer == "ziv-uncounted" || drawer == "ziv-soft") {
            ZivFrame frame(zivModule(drawer != "ziv-uncounted"), scene, format, blendMode);
            if (drawer == "ziv-soft" && zivModule().setSoftEdges != nullptr)
                zivModule().setSoftEdges(&frame.renderer(), 1);
            ms = drawFrames(frame, frames);
        } else if (drawer == "sdl2") {
            SdlFrame frame(scene, format);
            ms = drawFrames(frame, frames);
        } else if (drawer == "pixman") {
            PixmanFrame frame(scene, format);
            ms = drawFrames(frame, frames);
        } else if (drawer == "memcpy") {
            MemcpyFloor frame(scene, format);
            ms = drawFrames(frame, frames);
        } else {
            std::fprintf(stderr, "%s: unknown drawer '%s'\n", argv[0], drawer.c_str());
            return 2;
        }
        std::printf("%s %s %s blend %d: %d frames, %.3f ms per frame, %llu pixels touched\n", sceneName.c_str(),
                    formatName.c_str(), drawer.c_str(), blendMode, frames, ms,
                    static_cast<unsigned long long>(scene.pixelsTouched()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
