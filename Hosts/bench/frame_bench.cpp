// Whole frames: the demo's scene and a synthetic GUI frame drawn by ziv in
// every blend mode, by SDL2's software renderer and by pixman, in RGB 565 and
// 32-bit targets, beside the memory traffic floor of blend mode 0; what the
// per-frame counting costs; queue insertion (and one ordered walk) from 10^3
// to 10^6 quads; a device reset with 200 textures.
//
// Names: frame/<scene>/<565|32>/<ziv/blend0|ziv/blend1|ziv/blend2|sdl2|pixman|memcpy_floor>,
// counting/<scene>/565/blend<m>, race/synthetic/<565|32>/blend<0|2>,
// queue/<insert|insert_back_to_front|insert_walk|insert_walk_back_to_front>/<n>,
// reset/<kept|files>/200.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "BenchSupport.h"
#include "frames/FrameRunners.h"
#include "frames/FrameScenes.h"

namespace zivbench {

namespace {

using zivdemo::TargetFormat;

struct SceneChoice {
    const char* name;
    const FrameScene& (*scene)();
};
const SceneChoice kScenes[] = {{"synthetic", syntheticFrame}, {"demo", demoFrame}};

struct FormatChoice {
    const char* name;
    TargetFormat format;
};
const FormatChoice kFormats[] = {{"565", TargetFormat::Rgb565}, {"32", TargetFormat::Rgb32}};

const char* const kPeers[] = {"sdl2", "pixman", "memcpy_floor"};

std::string frameName(const char* scene, const char* format, const std::string& variant)
{
    return std::string("frame/") + scene + "/" + format + "/" + variant;
}

void frameCounters(benchmark::State& state, const FrameScene& scene)
{
    const double pixels = double(scene.pixelsTouched());
    state.counters["fps"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters[kPixelRate] = benchmark::Counter(pixels * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pixels"] = pixels;
    state.counters["quads"] = double(scene.quads.size());
}

template <class Drawer> void runFrames(benchmark::State& state, const FrameScene& scene, Drawer& drawer)
{
    drawer.draw(); // textures and caches warm before the timing
    for (auto _ : state) {
        drawer.draw();
        benchmark::ClobberMemory();
    }
    frameCounters(state, scene);
}

void benchZiv(benchmark::State& state, SceneChoice scene, FormatChoice format, int32_t blendMode)
{
    try {
        ZivFrame frame(zivModule(), scene.scene(), format.format, blendMode);
        runFrames(state, scene.scene(), frame);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

void benchPeer(benchmark::State& state, SceneChoice scene, FormatChoice format, std::string peer)
{
    try {
        if (peer == "sdl2") {
            SdlFrame frame(scene.scene(), format.format);
            runFrames(state, scene.scene(), frame);
        } else if (peer == "pixman") {
            PixmanFrame frame(scene.scene(), format.format);
            runFrames(state, scene.scene(), frame);
        } else {
            MemcpyFloor frame(scene.scene(), format.format);
            runFrames(state, scene.scene(), frame);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

// The same frame through the module as built and through its twin without
// counting, frame by frame in turn, so that both meet the same machine. A
// shared machine slows single frames now and then: the medians and the
// minimums of the frame times are compared, not the means.
void benchCounting(benchmark::State& state, SceneChoice scene, int32_t blendMode)
{
    using Clock = std::chrono::steady_clock;
    try {
        ZivFrame counted(zivModule(true), scene.scene(), TargetFormat::Rgb565, blendMode);
        ZivFrame uncounted(zivModule(false), scene.scene(), TargetFormat::Rgb565, blendMode);
        counted.draw();
        uncounted.draw();
        std::vector<double> withCounts, without;
        for (auto _ : state) {
            const Clock::time_point a = Clock::now();
            counted.draw();
            const Clock::time_point b = Clock::now();
            uncounted.draw();
            const Clock::time_point c = Clock::now();
            withCounts.push_back(std::chrono::duration<double, std::nano>(b - a).count());
            without.push_back(std::chrono::duration<double, std::nano>(c - b).count());
        }
        auto median = [](std::vector<double> v) {
            std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
            return v[v.size() / 2];
        };
        state.counters["counted_ns"] = median(withCounts);
        state.counters["uncounted_ns"] = median(without);
        state.counters["counted_min_ns"] = *std::min_element(withCounts.begin(), withCounts.end());
        state.counters["uncounted_min_ns"] = *std::min_element(without.begin(), without.end());
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

// The goals' comparisons: ziv and its peers draw the same frame one after the
// other in every iteration, so that a machine shared with other work slows
// all of them alike. Counters: each drawer's mean time per frame.
void benchRace(benchmark::State& state, SceneChoice scene, FormatChoice format, int32_t blendMode)
{
    using Clock = std::chrono::steady_clock;
    try {
        ZivFrame ziv(zivModule(), scene.scene(), format.format, blendMode);
        std::unique_ptr<SdlFrame> sdl;
        std::unique_ptr<PixmanFrame> pixman;
        std::unique_ptr<MemcpyFloor> floor;
        if (blendMode == 0) {
            floor = std::make_unique<MemcpyFloor>(scene.scene(), format.format);
            floor->draw();
        } else {
            sdl = std::make_unique<SdlFrame>(scene.scene(), format.format);
            pixman = std::make_unique<PixmanFrame>(scene.scene(), format.format);
            sdl->draw();
            pixman->draw();
        }
        ziv.draw();
        Clock::duration zivTime{}, sdlTime{}, pixmanTime{}, floorTime{};
        auto timed = [](Clock::duration& total, auto& drawer) {
            const Clock::time_point start = Clock::now();
            drawer.draw();
            total += Clock::now() - start;
        };
        for (auto _ : state) {
            timed(zivTime, ziv);
            if (floor != nullptr) {
                timed(floorTime, *floor);
            } else {
                timed(sdlTime, *sdl);
                timed(pixmanTime, *pixman);
            }
        }
        const double n = double(state.iterations());
        auto mean = [n](Clock::duration total) { return std::chrono::duration<double, std::nano>(total).count() / n; };
        state.counters["ziv_ns"] = mean(zivTime);
        if (floor != nullptr) {
            state.counters["memcpy_floor_ns"] = mean(floorTime);
        } else {
            state.counters["sdl2_ns"] = mean(sdlTime);
            state.counters["pixman_ns"] = mean(pixmanTime);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

const char* const kQueueOrders[] = {"insert", "insert_back_to_front", "insert_walk", "insert_walk_back_to_front"};

// queueQuad for n quads without drawing, of random depth or submitted back to
// front (eight quads to a depth, as a GUI library draws a widget's parts);
// the queue is emptied outside the timing. With `walk`, the timing also
// covers one render pass over quads without a texture, which draws nothing
// but visits every quad in depth order (the queue orders itself there).
void benchQueue(benchmark::State& state, bool backToFront, bool walk)
{
    const size_t n = size_t(state.range(0));
    try {
        ZivFrame frame(zivModule(), syntheticFrame(), TargetFormat::Rgb565, 2);
        ZorvUISystem::Renderer& renderer = frame.renderer();
        ZorvUISystem::Texture* texture = walk ? nullptr : renderer.createTexture();
        std::vector<float> depths(n);
        std::mt19937 random(7);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (size_t i = 0; i < n; ++i)
            depths[i] = backToFront ? 1.0f - float(i / 8) / float(n) : unit(random);
        const ZorvUISystem::FloatRect dest{10, 10, 42, 42};
        const ZorvUISystem::FloatRect source{0, 0, 32, 32};
        const ZorvUISystem::CornerColours colours = sameCorners(0xFFFFFFFFu);
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            for (size_t i = 0; i < n; ++i)
                renderer.queueQuad(dest, depths[i], texture, source, colours, uint32_t(i));
            if (walk)
                renderer.renderQueue();
            const auto end = std::chrono::steady_clock::now();
            state.SetIterationTime(std::chrono::duration<double>(end - start).count());
            renderer.clearQueue();
        }
        state.counters["ns/quad"] =
            benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
        if (texture != nullptr)
            renderer.destroyTexture(texture);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

#ifndef ZIV_BENCH_DEMO_ASSETS
#error "ZIV_BENCH_DEMO_ASSETS names the demo's assets folder"
#endif

// prepareForReset, a display mode change that loses every surface and a new
// target, postD3DReset: every texture rebuilt from its kept pixels (kept) or
// loaded again from its file (files).
void benchReset(benchmark::State& state, bool files)
{
    constexpr int kTextures = 200;
    try {
        ZivFrame frame(zivModule(), syntheticFrame(), TargetFormat::Rgb565, 2);
        ZorvUISystem::Renderer& renderer = frame.renderer();
        const char* const pictures[] = {"buttons.png",   "glyphs.png",   "icon.png",      "panel.png",
                                        "scrollbar.png", "titlebar.png", "wallpaper.png", "window.png"};
        const FrameTexture& skin = syntheticFrame().textures[0];
        std::vector<uint8_t> kept(64 * 64 * 4);
        for (uint32_t y = 0; y < 64; ++y)
            std::copy_n(&skin.pixels[size_t(y) * skin.width * 4], 64 * 4, &kept[size_t(y) * 64 * 4]);
        for (int i = 0; i < kTextures; ++i) {
            if (files) {
                renderer.createTexture(pictures[i % 8], ZIV_BENCH_DEMO_ASSETS);
            } else {
                ZorvUISystem::Texture* t = renderer.createTexture();
                t->setMemoryTexture(true);
                t->loadFromMemory(kept.data(), 64, 64, ZorvUISystem::BUFFER_RGBA);
            }
        }
        zivdemo::DemoDevice& device = frame.device();
        for (auto _ : state) {
            renderer.prepareForReset();
            device.changeSize(device.width(), device.height());
            bool changed = false;
            renderer.postD3DReset(&changed);
            renderer.setTargetSurface(device.target());
        }
        state.counters["textures"] = kTextures;
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

bool registerFrames()
{
    for (const SceneChoice& scene : kScenes) {
        for (const FormatChoice& format : kFormats) {
            for (int32_t mode : {0, 1, 2})
                benchmark::RegisterBenchmark(
                    frameName(scene.name, format.name, "ziv/blend" + std::to_string(mode)).c_str(), benchZiv, scene,
                    format, mode);
            for (const char* peer : kPeers)
                benchmark::RegisterBenchmark(frameName(scene.name, format.name, peer).c_str(), benchPeer, scene, format,
                                             std::string(peer));
        }
        for (int32_t mode : {0, 1, 2})
            benchmark::RegisterBenchmark(
                (std::string("counting/") + scene.name + "/565/blend" + std::to_string(mode)).c_str(), benchCounting,
                scene, mode)
                ->MinTime(0.3);
    }
    for (const FormatChoice& format : kFormats)
        for (int32_t mode : {0, 2})
            benchmark::RegisterBenchmark(
                (std::string("race/synthetic/") + format.name + "/blend" + std::to_string(mode)).c_str(), benchRace,
                kScenes[0], format, mode)
                ->MinTime(0.5);
    for (const char* order : kQueueOrders)
        benchmark::RegisterBenchmark((std::string("queue/") + order).c_str(), benchQueue,
                                     std::strstr(order, "back_to_front") != nullptr,
                                     std::strstr(order, "walk") != nullptr)
            ->RangeMultiplier(10)
            ->Range(1000, 1000000)
            ->UseManualTime();
    benchmark::RegisterBenchmark("reset/kept/200", benchReset, false);
    benchmark::RegisterBenchmark("reset/files/200", benchReset, true);
    return true;
}

const bool registered = registerFrames();

// --- summary ------------------------------------------------------------------

std::string fixed(double value, int digits)
{
    std::ostringstream s;
    s << std::fixed << std::setprecision(digits) << value;
    return s.str();
}

// The counts of one frame, as a host reads them after renderQueue.
nlohmann::json frameStatistics(const char* sceneName, const FrameScene& scene, TargetFormat format, int32_t mode,
                               std::ostream& out, bool softEdges = false)
{
    ZivFrame frame(zivModule(), scene, format, mode);
    if (softEdges && zivModule().setSoftEdges != nullptr)
        zivModule().setSoftEdges(&frame.renderer(), 1);
    frame.draw();
    const ZorvUISystem::FrameStatistics& s = frame.renderer().getFrameStatistics();
    using FS = ZorvUISystem::FrameStatistics;
    nlohmann::json json;
    auto path = [&](const std::string& name, const FS::PathCount& count) {
        if (count.quads == 0)
            return;
        json[name] = {{"quads", count.quads}, {"pixels", count.pixels}};
        out << "    " << std::left << std::setw(22) << name << std::right << std::setw(6) << count.quads << " quads "
            << std::setw(9) << count.pixels << " px\n";
    };
    out << "  " << sceneName << ", " << zivdemo::formatInfo(format).label << ", blend mode " << mode
        << (softEdges ? ", soft edges" : "") << " (kernels: " << s.simdLevel << "):\n";
    path("plain copy", s.plainCopy);
    path("keyed copy", s.keyedCopy);
    path("stretched copy", s.stretchedCopy);
    path("tinted copy", s.tintedCopy);
    const char* kernels[] = {"modulated", "half", "alpha", "half (vector)"};
    const char* modes[] = {"555", "565", "16-bit", "24-bit", "32-bit"};
    for (uint32_t k = 0; k < FS::KERNEL_COUNT; ++k)
        for (uint32_t m = 0; m < FS::kPixelModeCount; ++m)
            path(std::string("blend ") + kernels[k] + " " + modes[m], s.blend[k][m]);
    for (uint32_t m = 0; m < FS::kPixelModeCount; ++m)
        path(std::string("blend texel alpha ") + modes[m], s.texelAlphaBlend[m]);
    path("  of them stretched", s.stretchedBlend);
    path("buffer copy", s.bufferCopy);
    const char* reasons[] = {"transparent", "off display", "no texture", "lost surface",
                             "failed lock", "failed blit", "no scratch", "unsupported mode"};
    for (uint32_t r = 0; r < FS::SKIP_REASON_COUNT; ++r)
        if (s.skipped[r] != 0) {
            json[std::string("skipped ") + reasons[r]] = s.skipped[r];
            out << "    skipped, " << reasons[r] << ": " << s.skipped[r] << "\n";
        }
    json["simd"] = s.simdLevel;
    return json;
}

nlohmann::json summariseFrames(const std::vector<Result>& results, std::ostream& out)
{
    nlohmann::json json;
    json["frames"] = nlohmann::json::array();
    auto time = [&](const std::string& name) {
        const Result* r = findResult(results, name);
        return r != nullptr ? r->realTimeNs : 0.0;
    };
    out << "Whole frames (medians of the repetitions; vs SDL2 and vs pixman: the peer's time over this one's)\n";
    for (const SceneChoice& scene : kScenes) {
        double pixels = 0;
        try {
            pixels = double(scene.scene().pixelsTouched());
        } catch (const std::exception&) {
            continue;
        }
        for (const FormatChoice& format : kFormats) {
            const double sdl = time(frameName(scene.name, format.name, "sdl2"));
            const double pixman = time(frameName(scene.name, format.name, "pixman"));
            const double floor = time(frameName(scene.name, format.name, "memcpy_floor"));
            out << "\n  " << scene.name << " frame, " << format.name << " target, " << std::fixed
                << std::setprecision(0) << pixels << " pixels touched\n"
                << "    variant            ms/frame      fps   ns/px  vs SDL2  vs pixman\n";
            const std::vector<std::string> variants = {"ziv/blend0", "ziv/blend1", "ziv/blend2",
                                                       "sdl2",       "pixman",     "memcpy_floor"};
            for (const std::string& variant : variants) {
                const double ns = time(frameName(scene.name, format.name, variant));
                if (ns <= 0)
                    continue;
                const double vsSdl = sdl > 0 ? sdl / ns : 0;
                const double vsPixman = pixman > 0 ? pixman / ns : 0;
                out << "    " << std::left << std::setw(16) << variant << std::right << std::setw(11)
                    << fixed(ns * 1e-6, 3) << std::setw(9) << fixed(1e9 / ns, 0) << std::setw(8)
                    << fixed(ns / pixels, 3) << std::setw(8) << fixed(vsSdl, 2) << "x" << std::setw(10)
                    << fixed(vsPixman, 2) << "x\n";
                json["frames"].push_back({{"scene", scene.name},
                                          {"format", format.name},
                                          {"variant", variant},
                                          {"ms", ns * 1e-6},
                                          {"fps", 1e9 / ns},
                                          {"ns_per_pixel", ns / pixels},
                                          {"speedup_vs_sdl2", vsSdl},
                                          {"speedup_vs_pixman", vsPixman}});
            }
            const double blend0 = time(frameName(scene.name, format.name, "ziv/blend0"));
            if (blend0 > 0 && floor > 0)
                out << "    blend mode 0 takes " << fixed(blend0 / floor, 2) << "x the memcpy floor\n";
        }
    }

    // The goals, on the synthetic frame, from the races (all drawers in turn
    // in one loop).
    auto counter = [&](const std::string& name, const char* key) {
        const Result* r = findResult(results, name);
        return r != nullptr && r->counters.count(key) != 0 ? r->counters.at(key) : 0.0;
    };
    out << "\n  Races (the drawers in turn, frame by frame):\n";
    json["races"] = nlohmann::json::array();
    for (const FormatChoice& format : kFormats)
        for (int mode : {0, 2}) {
            const std::string name = std::string("race/synthetic/") + format.name + "/blend" + std::to_string(mode);
            const double ziv = counter(name, "ziv_ns");
            if (ziv <= 0)
                continue;
            nlohmann::json race = {{"case", name}, {"ziv_ms", ziv * 1e-6}};
            out << "    " << std::left << std::setw(26) << name << std::right << " ziv " << fixed(ziv * 1e-6, 3)
                << " ms";
            for (const char* peer : {"sdl2", "pixman", "memcpy_floor"}) {
                const double ns = counter(name, (std::string(peer) + "_ns").c_str());
                if (ns <= 0)
                    continue;
                if (std::string(peer) == "memcpy_floor")
                    out << ", memcpy floor " << fixed(ns * 1e-6, 3) << " ms (ziv takes " << fixed(ziv / ns, 2) << "x)";
                else
                    out << ", " << peer << " " << fixed(ns * 1e-6, 3) << " ms (ziv " << fixed(ns / ziv, 2)
                        << "x as fast)";
                race[std::string(peer) + "_ms"] = ns * 1e-6;
            }
            out << "\n";
            json["races"].push_back(race);
        }
    const double zivMode2 = counter("race/synthetic/565/blend2", "ziv_ns");
    const double sdl = counter("race/synthetic/565/blend2", "sdl2_ns");
    const double pixman = counter("race/synthetic/565/blend2", "pixman_ns");
    const double zivMode0 = counter("race/synthetic/565/blend0", "ziv_ns");
    const double floor = counter("race/synthetic/565/blend0", "memcpy_floor_ns");
    nlohmann::json goals = nlohmann::json::array();
    auto goal = [&](const std::string& what, double value, double target, bool atLeast) {
        if (value <= 0)
            return;
        const bool met = atLeast ? value >= target : value <= target;
        out << "  goal: " << what << ": " << fixed(value, 2) << "x (" << (atLeast ? ">= " : "<= ") << fixed(target, 1)
            << "x) " << (met ? "met" : "NOT met") << "\n";
        goals.push_back({{"goal", what}, {"value", value}, {"target", target}, {"at_least", atLeast}, {"met", met}});
    };
    out << "\n";
    if (zivMode2 > 0) {
        goal("synthetic 565 blend mode 2 vs SDL2", sdl / zivMode2, 3.0, true);
        goal("synthetic 565 blend mode 2 vs pixman", pixman / zivMode2, 1.5, true);
    }
    if (floor > 0)
        goal("synthetic 565 blend mode 0 over the memcpy floor", zivMode0 / floor, 2.0, false);
    json["goals"] = goals;

    // Counting, on and off in turn.
    out << "\n  Per-frame counting (565 target; the module as built and its twin without counting, in turn):\n";
    json["counting"] = nlohmann::json::array();
    for (const SceneChoice& scene : kScenes)
        for (int mode : {0, 1, 2}) {
            const std::string name = std::string("counting/") + scene.name + "/565/blend" + std::to_string(mode);
            const Result* r = findResult(results, name);
            if (r == nullptr || r->counters.count("counted_ns") == 0)
                continue;
            const double on = r->counters.at("counted_ns"), off = r->counters.at("uncounted_ns");
            const double onMin = r->counters.at("counted_min_ns"), offMin = r->counters.at("uncounted_min_ns");
            out << "    " << std::left << std::setw(28) << name << std::right << " medians: counted "
                << fixed(on * 1e-3, 1) << " us, uncounted " << fixed(off * 1e-3, 1) << " us ("
                << fixed(100 * (on - off) / off, 1) << " %); minimums: " << fixed(onMin * 1e-3, 1) << " us, "
                << fixed(offMin * 1e-3, 1) << " us (" << fixed(100 * (onMin - offMin) / offMin, 1) << " %)\n";
            json["counting"].push_back({{"case", name},
                                        {"counted_ns", on},
                                        {"uncounted_ns", off},
                                        {"counted_min_ns", onMin},
                                        {"uncounted_min_ns", offMin}});
        }

    // Queue insertion: time per quad against log2 n.
    out << "\n  Queue (ns per quad; insertion alone, and insertion plus one ordered walk; the last column divides by "
           "log2 n):\n";
    json["queue"] = nlohmann::json::array();
    for (const char* order : kQueueOrders) {
        for (int n = 1000; n <= 1000000; n *= 10) {
            const Result* r = findResult(results, std::string("queue/") + order + "/" + std::to_string(n));
            if (r == nullptr)
                continue;
            const double perQuad = r->realTimeNs / n;
            const std::string name = order;
            out << "    " << (name.find("walk") != std::string::npos ? "insert + walk, " : "insert,        ")
                << (name.find("back_to_front") != std::string::npos ? "back to front" : "random depths")
                << ", n = " << std::setw(8) << n << ": " << std::setw(7) << fixed(perQuad, 1) << " ns/quad, "
                << fixed(perQuad / std::log2(double(n)), 2) << " ns per quad and log2 n\n";
            json["queue"].push_back(
                {{"order", order}, {"n", n}, {"ns_per_quad", perQuad}, {"per_log2n", perQuad / std::log2(double(n))}});
        }
    }

    out << "\n  Device reset with 200 textures:\n";
    json["reset"] = nlohmann::json::array();
    for (const char* kind : {"kept", "files"}) {
        const double ns = time(std::string("reset/") + kind + "/200");
        if (ns <= 0)
            continue;
        out << "    " << kind << ": " << fixed(ns * 1e-6, 2) << " ms\n";
        json["reset"].push_back({{"textures", kind}, {"ms", ns * 1e-6}});
    }

    // What one frame did, by path.
    out << "\n  Paths of one frame (Renderer::getFrameStatistics):\n";
    try {
        json["statistics"]["synthetic/565/blend2"] =
            frameStatistics("synthetic", syntheticFrame(), TargetFormat::Rgb565, 2, out);
        json["statistics"]["synthetic/565/blend0"] =
            frameStatistics("synthetic", syntheticFrame(), TargetFormat::Rgb565, 0, out);
        json["statistics"]["demo/565/blend2"] = frameStatistics("demo", demoFrame(), TargetFormat::Rgb565, 2, out);
        json["statistics"]["demo/565/blend2/soft"] =
            frameStatistics("demo", demoFrame(), TargetFormat::Rgb565, 2, out, true);
    } catch (const std::exception& e) {
        out << "    (not available: " << e.what() << ")\n";
    }
    return json;
}

const bool summarised = registerSummary("frames", summariseFrames);

} // namespace

} // namespace zivbench
