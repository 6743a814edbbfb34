// Soft edges: the texel-alpha blend at every instruction set beside pixman's
// OVER (a8r8g8b8 onto r5g6b5 and x8r8g8b8) and SDL2's per-pixel alpha blit
// (SDL_BLENDMODE_BLEND from ARGB8888) on the same tiles, the memory floor of
// the bytes it moves, and the demo's frame with and without soft edges.
//
// The tiles: 1024x768 covered by twelve copies of a 256x256 texture of
// premultiplied texels, 30 % transparent, 40 % opaque, the rest partly
// transparent (as glyphs and icons are), drawn white at constant alpha 255.
// ziv reads a 565 texture's alpha from a surface of its own (low bytes) and a
// 32-bit texture's from its fourth bytes, as the upload leaves them.
//
// Names: soft/<ziv-level|pixman|sdl2|floor>/<565|32>/tiles, soft_race/<565|32>/<level>,
// soft_frame/demo/<565|32>/blend2. A race draws the tiles with ziv, pixman,
// SDL2 and the floor in turn in every iteration, so that a machine shared
// with other work slows all of them alike; its counters are the medians of
// each one's time per pass.

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <random>
#include <sstream>
#include <vector>

#include "BenchSupport.h"
#include "Floors.h"
#include "frames/FrameRunners.h"
#include "frames/FrameScenes.h"
#include "pixel/BlendKernels.h"
#include "pixel/KernelTable.h"

namespace zivbench {

namespace {

using namespace ZorvUISystem;

constexpr int kWidth = 1024, kHeight = 768, kTile = 256;

struct Plane {
    std::vector<uint8_t> bytes;
    int width = 0, height = 0, pitch = 0;
    uint8_t* at(int x, int y, int bpp) { return bytes.data() + y * pitch + x * bpp; }
};

Plane plane(int width, int height, int bpp)
{
    return {std::vector<uint8_t>(size_t(width) * height * bpp), width, height, width * bpp};
}

struct SoftScene {
    Plane argb, colour565, alpha565; // the texture: a8r8g8b8 (also ziv's 32-bit texture), 565 colour and alpha
    Plane screen565, screen32;
};

SoftScene& softScene()
{
    static SoftScene s = [] {
        SoftScene scene{plane(kTile, kTile, 4), plane(kTile, kTile, 2), plane(kTile, kTile, 2),
                        plane(kWidth, kHeight, 2), plane(kWidth, kHeight, 4)};
        std::mt19937 rng(2222);
        for (int y = 0; y < kTile; ++y)
            for (int x = 0; x < kTile; ++x) {
                const uint32_t pick = rng() % 10;
                const uint32_t a = pick < 3 ? 0 : pick < 7 ? 255 : 1 + rng() % 254;
                uint32_t c[3];
                for (uint32_t& v : c)
                    v = a == 255 ? rng() & 0xFF : (rng() & 0xFF) * (a + 1) >> 8;
                const uint32_t argb = a << 24 | c[0] << 16 | c[1] << 8 | c[2];
                std::memcpy(scene.argb.at(x, y, 4), &argb, 4);
                const uint16_t rgb565 = static_cast<uint16_t>((c[0] & 0xF8) << 8 | (c[1] & 0xFC) << 3 | c[2] >> 3);
                std::memcpy(scene.colour565.at(x, y, 2), &rgb565, 2);
                const uint16_t alpha = static_cast<uint16_t>(a);
                std::memcpy(scene.alpha565.at(x, y, 2), &alpha, 2);
            }
        for (uint8_t& b : scene.screen565.bytes)
            b = static_cast<uint8_t>(rng());
        for (uint8_t& b : scene.screen32.bytes)
            b = static_cast<uint8_t>(rng());
        return scene;
    }();
    return s;
}

template <class Fn> void tiles(benchmark::State& state, const Fn& tile)
{
    for (auto _ : state) {
        for (int y = 0; y < kHeight; y += kTile)
            for (int x = 0; x < kWidth; x += kTile)
                tile(x, y);
        benchmark::ClobberMemory();
    }
    state.counters[kPixelRate] =
        benchmark::Counter(double(kWidth) * kHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

DDSURFACEDESC describe(uint8_t* first, int pitch)
{
    DDSURFACEDESC d{};
    d.dwSize = 108;
    d.lpSurface = first;
    d.lPitch = pitch;
    return d;
}

void benchZiv(benchmark::State& state, const KernelTable* table, bool sixteen)
{
    SoftScene& s = softScene();
    Plane& screen = sixteen ? s.screen565 : s.screen32;
    const int bpp = sixteen ? 2 : 4;
    const RECT rect{0, 0, kTile, kTile};
    tiles(state, [&](int x, int y) {
        const DDSURFACEDESC source = describe(sixteen ? s.colour565.bytes.data() : s.argb.bytes.data(), kTile * bpp);
        const DDSURFACEDESC alpha = describe(sixteen ? s.alpha565.bytes.data() : s.argb.bytes.data(), kTile * bpp);
        DDSURFACEDESC destination = describe(screen.at(x, y, bpp), screen.pitch);
        blendTexelAlpha(*table, &source, &alpha, &destination, x, y, &rect, 255, sixteen ? 1 : 4, 255, 255, 255);
    });
}

void benchPixman(benchmark::State& state, bool sixteen)
{
    SoftScene& s = softScene();
    Plane& screen = sixteen ? s.screen565 : s.screen32;
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kTile, kTile,
                                                   reinterpret_cast<uint32_t*>(s.argb.bytes.data()), s.argb.pitch);
    pixman_image_t* dst = pixman_image_create_bits(sixteen ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8, kWidth, kHeight,
                                                   reinterpret_cast<uint32_t*>(screen.bytes.data()), screen.pitch);
    tiles(state, [&](int x, int y) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, x, y, kTile, kTile);
    });
    pixman_image_unref(dst);
    pixman_image_unref(src);
}

void benchSdl(benchmark::State& state, bool sixteen)
{
    SoftScene& s = softScene();
    Plane& screen = sixteen ? s.screen565 : s.screen32;
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(s.argb.bytes.data(), kTile, kTile, 32, s.argb.pitch,
                                                          SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* dst =
        SDL_CreateRGBSurfaceWithFormatFrom(screen.bytes.data(), kWidth, kHeight, sixteen ? 16 : 32, screen.pitch,
                                           sixteen ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888);
    if (src == nullptr || dst == nullptr) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
    tiles(state, [&](int x, int y) {
        SDL_Rect from{0, 0, kTile, kTile};
        SDL_Rect to{x, y, kTile, kTile};
        SDL_BlitSurface(src, &from, dst, &to);
    });
    SDL_FreeSurface(dst);
    SDL_FreeSurface(src);
}

// The bytes the kernel must move: colour and alpha read, destination read
// and written (a 32-bit texture's alpha is in its own pixels).
void benchFloor(benchmark::State& state, bool sixteen)
{
    SoftScene& s = softScene();
    Plane& screen = sixteen ? s.screen565 : s.screen32;
    const int bpp = sixteen ? 2 : 4;
    tiles(state, [&](int x, int y) {
        if (sixteen)
            xorTwoRows(s.colour565.bytes.data(), s.colour565.pitch, s.alpha565.bytes.data(), s.alpha565.pitch,
                       screen.at(x, y, bpp), screen.pitch, size_t(kTile) * bpp, kTile);
        else
            xorRows(s.argb.bytes.data(), s.argb.pitch, screen.at(x, y, bpp), screen.pitch, size_t(kTile) * bpp, kTile);
    });
}

// This thread's processor time in ns: on a machine shared with other work
// a pass is often preempted, which the wall clock would count.
double threadNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

template <class Pass> double timed(const Pass& pass)
{
    const double start = threadNs();
    for (int y = 0; y < kHeight; y += kTile)
        for (int x = 0; x < kWidth; x += kTile)
            pass(x, y);
    benchmark::ClobberMemory();
    return threadNs() - start;
}

double median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

void benchRace(benchmark::State& state, const KernelTable* table, bool sixteen)
{
    SoftScene& s = softScene();
    Plane& screen = sixteen ? s.screen565 : s.screen32;
    const int bpp = sixteen ? 2 : 4;
    const RECT rect{0, 0, kTile, kTile};
    const auto ziv = [&](int x, int y) {
        const DDSURFACEDESC source = describe(sixteen ? s.colour565.bytes.data() : s.argb.bytes.data(), kTile * bpp);
        const DDSURFACEDESC alpha = describe(sixteen ? s.alpha565.bytes.data() : s.argb.bytes.data(), kTile * bpp);
        DDSURFACEDESC destination = describe(screen.at(x, y, bpp), screen.pitch);
        blendTexelAlpha(*table, &source, &alpha, &destination, x, y, &rect, 255, sixteen ? 1 : 4, 255, 255, 255);
    };
    pixman_image_t* pixmanSource = pixman_image_create_bits(
        PIXMAN_a8r8g8b8, kTile, kTile, reinterpret_cast<uint32_t*>(s.argb.bytes.data()), s.argb.pitch);
    pixman_image_t* pixmanScreen =
        pixman_image_create_bits(sixteen ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8, kWidth, kHeight,
                                 reinterpret_cast<uint32_t*>(screen.bytes.data()), screen.pitch);
    const auto pixman = [&](int x, int y) {
        pixman_image_composite32(PIXMAN_OP_OVER, pixmanSource, nullptr, pixmanScreen, 0, 0, 0, 0, x, y, kTile, kTile);
    };
    SDL_Surface* sdlSource = SDL_CreateRGBSurfaceWithFormatFrom(s.argb.bytes.data(), kTile, kTile, 32, s.argb.pitch,
                                                                SDL_PIXELFORMAT_ARGB8888);
    SDL_Surface* sdlScreen =
        SDL_CreateRGBSurfaceWithFormatFrom(screen.bytes.data(), kWidth, kHeight, sixteen ? 16 : 32, screen.pitch,
                                           sixteen ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888);
    SDL_SetSurfaceBlendMode(sdlSource, SDL_BLENDMODE_BLEND);
    const auto sdl = [&](int x, int y) {
        SDL_Rect from{0, 0, kTile, kTile};
        SDL_Rect to{x, y, kTile, kTile};
        SDL_BlitSurface(sdlSource, &from, sdlScreen, &to);
    };
    const auto floor = [&](int x, int y) {
        if (sixteen)
            xorTwoRows(s.colour565.bytes.data(), s.colour565.pitch, s.alpha565.bytes.data(), s.alpha565.pitch,
                       screen.at(x, y, bpp), screen.pitch, size_t(kTile) * bpp, kTile);
        else
            xorRows(s.argb.bytes.data(), s.argb.pitch, screen.at(x, y, bpp), screen.pitch, size_t(kTile) * bpp, kTile);
    };
    std::vector<double> times[4];
    for (auto _ : state) {
        times[0].push_back(timed(ziv));
        times[1].push_back(timed(pixman));
        times[2].push_back(timed(sdl));
        times[3].push_back(timed(floor));
    }
    const char* names[] = {"ziv_ns", "pixman_ns", "sdl2_ns", "floor_ns"};
    for (int i = 0; i < 4; ++i)
        state.counters[names[i]] = median(times[i]);
    SDL_FreeSurface(sdlScreen);
    SDL_FreeSurface(sdlSource);
    pixman_image_unref(pixmanScreen);
    pixman_image_unref(pixmanSource);
}

const char* modeLabel(bool sixteen)
{
    return sixteen ? "565" : "32";
}

// The demo's frame drawn without and with soft edges in turn, so that both
// meet the same machine; medians of the frame times (processor time).
void benchFrame(benchmark::State& state, bool sixteen)
{
    try {
        const zivdemo::ModuleApi& module = zivModule();
        if (module.setSoftEdges == nullptr)
            throw std::runtime_error("the module has no zivSetSoftEdges");
        const zivdemo::TargetFormat format = sixteen ? zivdemo::TargetFormat::Rgb565 : zivdemo::TargetFormat::Rgb32;
        ZivFrame hard(module, demoFrame(), format, 2);
        ZivFrame soft(module, demoFrame(), format, 2);
        module.setSoftEdges(&soft.renderer(), 1);
        hard.draw();
        soft.draw();
        std::vector<double> hardNs, softNs;
        for (auto _ : state) {
            const double a = threadNs();
            hard.draw();
            const double b = threadNs();
            soft.draw();
            const double c = threadNs();
            hardNs.push_back(b - a);
            softNs.push_back(c - b);
        }
        state.counters["hard_ns"] = median(hardNs);
        state.counters["soft_ns"] = median(softNs);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

bool registerAll()
{
    for (bool sixteen : {true, false}) {
        const std::string tail = std::string("/") + modeLabel(sixteen) + "/tiles";
        for (uint32_t l = 0; l < kKernelLevelCount; ++l)
            if (const KernelTable* table = kernelTableFor(static_cast<KernelLevel>(l)))
                benchmark::RegisterBenchmark(
                    (std::string("soft/ziv-") + kernelLevelName(static_cast<KernelLevel>(l)) + tail).c_str(), benchZiv,
                    table, sixteen);
        benchmark::RegisterBenchmark(("soft/pixman" + tail).c_str(), benchPixman, sixteen);
        benchmark::RegisterBenchmark(("soft/sdl2" + tail).c_str(), benchSdl, sixteen);
        benchmark::RegisterBenchmark(("soft/floor" + tail).c_str(), benchFloor, sixteen);
        for (uint32_t l = 1; l < kKernelLevelCount; ++l)
            if (const KernelTable* table = kernelTableFor(static_cast<KernelLevel>(l)))
                benchmark::RegisterBenchmark((std::string("soft_race/") + modeLabel(sixteen) + "/" +
                                              kernelLevelName(static_cast<KernelLevel>(l)))
                                                 .c_str(),
                                             benchRace, table, sixteen)
                    ->MinTime(0.5);
        benchmark::RegisterBenchmark((std::string("soft_frame/demo/") + modeLabel(sixteen) + "/blend2").c_str(),
                                     benchFrame, sixteen)
            ->MinTime(0.5);
    }
    return true;
}

const bool registered = registerAll();

double rateOf(const std::vector<Result>& results, const std::string& name)
{
    const Result* r = findResult(results, name);
    if (r == nullptr)
        return NAN;
    const auto it = r->counters.find(kPixelRate);
    return it == r->counters.end() ? NAN : it->second;
}

std::string fixed(double v, int digits)
{
    if (std::isnan(v))
        return "-";
    std::ostringstream o;
    o << std::fixed << std::setprecision(digits) << v;
    return o.str();
}

nlohmann::json number(double v)
{
    return std::isnan(v) ? nlohmann::json(nullptr) : nlohmann::json(v);
}

// Goals at a level: the least ratio to pixman and to SDL2 (0: none) and to
// the floor.
struct Goal {
    KernelLevel level;
    bool sixteen;
    double peers, floor;
};
const Goal kGoals[] = {{KernelLevel::Avx2, true, 3.0, 0.35},
                       {KernelLevel::Avx2, false, 2.0, 0.35},
                       {KernelLevel::Sse2, true, 0.0, 0.2},
                       {KernelLevel::Sse2, false, 0.0, 0.2}};
constexpr double kFrameGoal = 1.3;

nlohmann::json summarise(const std::vector<Result>& results, std::ostream& out)
{
    nlohmann::json json;
    out << "Soft edges (blendTexelAlpha), tiles, median Mpixels/s; /floor = ziv / (dst ^= colour ^ alpha), /pixman =\n"
           "ziv / pixman OVER a8r8g8b8, /SDL2 = ziv / SDL2 SDL_BLENDMODE_BLEND from ARGB8888.\n\n";
    out << std::left << std::setw(8) << "mode" << std::setw(10) << "level" << std::right << std::setw(9) << "tiles"
        << std::setw(9) << "/floor" << std::setw(9) << "/pixman" << std::setw(9) << "/SDL2"
        << "\n";
    for (bool sixteen : {true, false}) {
        const std::string tail = std::string("/") + modeLabel(sixteen) + "/tiles";
        const double floor = rateOf(results, "soft/floor" + tail);
        const double pixman = rateOf(results, "soft/pixman" + tail);
        const double sdl = rateOf(results, "soft/sdl2" + tail);
        json[modeLabel(sixteen)]["floor"] = number(floor);
        json[modeLabel(sixteen)]["pixman"] = number(pixman);
        json[modeLabel(sixteen)]["sdl2"] = number(sdl);
        for (uint32_t l = 0; l < kKernelLevelCount; ++l) {
            const char* level = kernelLevelName(static_cast<KernelLevel>(l));
            const double rate = rateOf(results, std::string("soft/ziv-") + level + tail);
            if (std::isnan(rate))
                continue;
            json[modeLabel(sixteen)]["ziv"][level] = {{"mpix_per_s", rate},
                                                      {"per_floor", number(rate / floor)},
                                                      {"per_pixman", number(rate / pixman)},
                                                      {"per_sdl2", number(rate / sdl)}};
            out << std::left << std::setw(8) << modeLabel(sixteen) << std::setw(10) << level << std::right
                << std::setw(9) << fixed(rate, 0) << std::setw(9) << fixed(rate / floor, 2) << std::setw(9)
                << fixed(rate / pixman, 2) << std::setw(9) << fixed(rate / sdl, 2) << "\n";
        }
        out << std::left << std::setw(18) << (std::string(modeLabel(sixteen)) + " peers") << std::right << "floor "
            << fixed(floor, 0) << ", pixman " << fixed(pixman, 0) << ", SDL2 " << fixed(sdl, 0) << "\n";
    }
    out << "\nGoals (from the races: ziv, pixman, SDL2 and the floor in turn on the same tiles, median times):\n";
    json["goals"] = nlohmann::json::array();
    for (const Goal& g : kGoals) {
        const Result* race =
            findResult(results, std::string("soft_race/") + modeLabel(g.sixteen) + "/" + kernelLevelName(g.level));
        if (race == nullptr || !race->counters.count("ziv_ns"))
            continue;
        const double ziv = race->counters.at("ziv_ns");
        struct Check {
            const char* what;
            double ratio, goal;
        };
        const Check checks[] = {{"pixman", race->counters.at("pixman_ns") / ziv, g.peers},
                                {"SDL2", race->counters.at("sdl2_ns") / ziv, g.peers},
                                {"floor", race->counters.at("floor_ns") / ziv, g.floor}};
        out << "  " << kernelLevelName(g.level) << " " << modeLabel(g.sixteen) << " ("
            << fixed(double(kWidth) * kHeight / ziv * 1e3, 0) << " Mpix/s):";
        nlohmann::json goal{{"level", kernelLevelName(g.level)}, {"mode", modeLabel(g.sixteen)}};
        for (const Check& c : checks) {
            if (c.goal == 0)
                continue;
            const bool met = !std::isnan(c.ratio) && c.ratio >= c.goal;
            out << "  x" << fixed(c.ratio, 2) << " " << c.what << " (goal x" << fixed(c.goal, 2)
                << (met ? ", met)" : ", NOT met)");
            goal[c.what] = {{"ratio", number(c.ratio)}, {"goal", c.goal}, {"met", met}};
        }
        out << "\n";
        json["goals"].push_back(goal);
    }
    for (bool sixteen : {true, false}) {
        const Result* r = findResult(results, std::string("soft_frame/demo/") + modeLabel(sixteen) + "/blend2");
        if (r == nullptr || !r->counters.count("hard_ns") || !r->counters.count("soft_ns"))
            continue;
        const double hard = r->counters.at("hard_ns"), soft = r->counters.at("soft_ns");
        const bool met = soft / hard <= kFrameGoal;
        out << "  demo frame " << modeLabel(sixteen) << ", blend mode 2: " << fixed(hard / 1e3, 0) << " us without, "
            << fixed(soft / 1e3, 0) << " us with soft edges, x" << fixed(soft / hard, 2) << " (goal at most x"
            << fixed(kFrameGoal, 2) << (met ? ", met)" : ", NOT met)") << "\n";
        json["frame"][modeLabel(sixteen)] = {
            {"hard_ns", hard}, {"soft_ns", soft}, {"ratio", soft / hard}, {"met", met}};
    }
    return json;
}

const bool summaryRegistered = registerSummary("soft_edges", summarise);

} // namespace

} // namespace zivbench
