// The blend kernels at every instruction set this processor offers, the
// floors (memcpy and dst ^= src of the same bytes) and the ratio summary
// against the floors and the peers (PeerBench.cpp).
//
// Names: kernel/<kernel>/<mode>/<level>/<shape>, floor/<memcpy|xor>/<bits>/<shape>.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <sstream>

#include "BenchScenes.h"
#include "BenchSupport.h"
#include "Floors.h"
#include "pixel/BlendKernels.h"
#include "pixel/KernelTable.h"

namespace zivbench {

namespace {

using namespace ZorvUISystem;

enum class Kernel { AlphaMmx, HalfMmx, Modulated, Half };
constexpr Kernel kKernels[] = {Kernel::AlphaMmx, Kernel::HalfMmx, Kernel::Modulated, Kernel::Half};

const char* kernelName(Kernel k)
{
    switch (k) {
    case Kernel::AlphaMmx:
        return "blendAlphaMmx";
    case Kernel::HalfMmx:
        return "blendHalfMmx";
    case Kernel::Modulated:
        return "blendModulated";
    case Kernel::Half:
        return "blendHalf";
    }
    return "?";
}

// Mode 2 is measured with a 4-4-4 layout.
const char* modeName(uint32_t mode)
{
    static const char* names[] = {"555", "565", "4444", "24", "32"};
    return names[mode];
}

int bytesOf(uint32_t mode)
{
    return mode <= 2 ? 2 : mode == 3 ? 3 : 4;
}

constexpr int32_t kAlpha = 128;
constexpr uint32_t kRed = 200, kGreen = 150, kBlue = 100;

BlendRowsFn entryOf(const KernelTable& t, Kernel k, uint32_t mode)
{
    switch (k) {
    case Kernel::AlphaMmx:
        return t.alphaMmx[mode];
    case Kernel::HalfMmx:
        return t.halfMmx[mode];
    case Kernel::Modulated:
        return t.modulated[mode];
    case Kernel::Half:
        return t.half[mode];
    }
    return nullptr;
}

void benchKernel(benchmark::State& state, Kernel kernel, uint32_t mode, const KernelTable* table, Shape shape)
{
    Scene& scene = sceneFor(bytesOf(mode));
    // The descriptions as the quad blit has them after locking both surfaces
    // and moving lpSurface to the rectangle.
    struct Call {
        DDSURFACEDESC source, destination;
        RECT rect;
    };
    std::vector<Call> calls;
    for (const Blit& b : scene.shape(shape)) {
        Call c{};
        c.source.lpSurface = b.source;
        c.source.lPitch = static_cast<LONG>(b.sourcePitch);
        c.destination.lpSurface = b.destination;
        c.destination.lPitch = static_cast<LONG>(b.destinationPitch);
        for (DDSURFACEDESC* d : {&c.source, &c.destination}) {
            d->dwSize = 108;
            d->ddpfPixelFormat.dwRGBBitCount = 8 * scene.bytesPerPixel;
            d->ddpfPixelFormat.dwRBitMask = 0x0F00;
            d->ddpfPixelFormat.dwGBitMask = 0x00F0;
            d->ddpfPixelFormat.dwBBitMask = 0x000F;
        }
        c.rect = {b.sourceX, b.sourceY, b.sourceX + b.width, b.sourceY + b.height};
        calls.push_back(c);
    }
    for (auto _ : state) {
        for (Call& c : calls) {
            switch (kernel) {
            case Kernel::AlphaMmx:
                blendAlphaMmx(*table, &c.source, &c.destination, 0, 0, &c.rect, kAlpha, mode);
                break;
            case Kernel::HalfMmx:
                blendHalfMmx(*table, &c.source, &c.destination, 0, 0, &c.rect, mode);
                break;
            case Kernel::Modulated:
                blendModulated(*table, &c.source, &c.destination, 0, 0, &c.rect, kAlpha, mode, kRed, kGreen, kBlue);
                break;
            case Kernel::Half:
                blendHalf(*table, &c.source, &c.destination, 0, 0, &c.rect, mode);
                break;
            }
        }
        benchmark::ClobberMemory();
    }
    state.counters[kPixelRate] = benchmark::Counter(static_cast<double>(scene.pixels(shape)) * 1e-6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

template <void (*Floor)(const uint8_t*, ptrdiff_t, uint8_t*, ptrdiff_t, size_t, size_t)>
void benchFloor(benchmark::State& state, int bytesPerPixel, Shape shape)
{
    Scene& scene = sceneFor(bytesPerPixel);
    runShape(state, scene, shape, [&](const Blit& b) {
        Floor(b.source, b.sourcePitch, b.destination, b.destinationPitch, static_cast<size_t>(b.width) * bytesPerPixel,
              static_cast<size_t>(b.height));
    });
}

std::string kernelBenchName(Kernel k, uint32_t mode, KernelLevel level, Shape shape)
{
    return std::string("kernel/") + kernelName(k) + "/" + modeName(mode) + "/" + kernelLevelName(level) + "/" +
           shapeName(shape);
}

std::string floorName(const char* what, int bytesPerPixel, Shape shape)
{
    return std::string("floor/") + what + "/" + std::to_string(8 * bytesPerPixel) + "/" + shapeName(shape);
}

bool registerAll()
{
    for (Kernel k : kKernels)
        for (uint32_t mode = 0; mode < 5; ++mode)
            for (uint32_t l = 0; l < kKernelLevelCount; ++l) {
                const KernelLevel level = static_cast<KernelLevel>(l);
                const KernelTable* table = kernelTableFor(level);
                if (table == nullptr)
                    continue;
                for (Shape shape : kShapes)
                    benchmark::RegisterBenchmark(kernelBenchName(k, mode, level, shape).c_str(), benchKernel, k, mode,
                                                 table, shape);
            }
    for (int bpp : {2, 3, 4})
        for (Shape shape : kShapes) {
            benchmark::RegisterBenchmark(floorName("memcpy", bpp, shape).c_str(), benchFloor<copyRows>, bpp, shape);
            benchmark::RegisterBenchmark(floorName("xor", bpp, shape).c_str(), benchFloor<xorRows>, bpp, shape);
        }
    return true;
}

const bool registered = registerAll();

// --- the summary -------------------------------------------------------------

double rateOf(const std::vector<Result>& results, const std::string& name)
{
    const Result* r = findResult(results, name);
    if (r == nullptr)
        return NAN;
    const auto it = r->counters.find(kPixelRate);
    return it == r->counters.end() ? NAN : it->second;
}

const char* pixmanFormat(int bpp)
{
    return bpp == 2 ? "r5g6b5" : bpp == 3 ? "r8g8b8" : "x8r8g8b8";
}
const char* sdlFormat(int bpp)
{
    return bpp == 2 ? "rgb565" : bpp == 3 ? "bgr24" : "xrgb8888";
}

// The peers' closest equivalents of one kernel: pixman OVER with a solid
// alpha mask, and SDL2's best path of colour key with alpha modulation (plus
// colour modulation for blendModulated), with or without RLE.
double pixmanRate(const std::vector<Result>& results, int bpp, Shape shape)
{
    return rateOf(results, std::string("pixman/over_solid_mask/") + pixmanFormat(bpp) + "/" + shapeName(shape));
}

// exactOnly: only the keyed blits, which leave transparent pixels out as
// the kernels do; otherwise also SDL2's faster blits without a key.
double sdlBestRate(const std::vector<Result>& results, Kernel k, int bpp, Shape shape, bool exactOnly,
                   std::string* which)
{
    const std::string op = k == Kernel::Modulated ? "colour_alpha" : "alpha";
    const std::string variants[] = {"key_" + op, "key_" + op + "_rle", op};
    double best = NAN;
    for (const std::string& v : variants) {
        if (exactOnly && v.rfind("key_", 0) != 0)
            continue;
        const std::string name = "sdl2/" + v + "/" + sdlFormat(bpp) + "/" + shapeName(shape);
        const double r = rateOf(results, name);
        if (!std::isnan(r) && (std::isnan(best) || r > best)) {
            best = r;
            if (which)
                *which = name;
        }
    }
    return best;
}

std::string fixed(double v, int digits)
{
    if (std::isnan(v))
        return "-";
    std::ostringstream o;
    o << std::fixed << std::setprecision(digits) << v;
    return o.str();
}

nlohmann::json numberOrNull(double v)
{
    return std::isnan(v) ? nlohmann::json(nullptr) : nlohmann::json(v);
}

struct Goal {
    Kernel kernel;
    uint32_t mode;
    double sdl, pixman, floor; // minimum ratios; 0 = no goal
};
const Goal kGoals[] = {
    {Kernel::AlphaMmx, 1, 4.0, 15.0, 0.35},
    {Kernel::Modulated, 1, 20.0, 5.0, 0.25},
    {Kernel::HalfMmx, 1, 0.0, 0.0, 0.70},
    {Kernel::AlphaMmx, 4, 2.0, 2.0, 0.60},
};

// The share of its floor (tiles) that every kernel and mode should reach at
// a vector level.
struct LevelGoal {
    KernelLevel level;
    double floor;
};
const LevelGoal kLevelGoals[] = {{KernelLevel::Sse2, 0.25}, {KernelLevel::Avx2, 0.35}};

// Prints, per level with a goal, how many kernel x mode pairs reach it and
// which do not.
nlohmann::json summariseLevelGoals(const std::vector<Result>& results, std::ostream& out)
{
    nlohmann::json json = nlohmann::json::array();
    for (const LevelGoal& g : kLevelGoals) {
        if (kernelTableFor(g.level) == nullptr)
            continue;
        int met = 0, measured = 0;
        std::string misses;
        nlohmann::json entry{
            {"level", kernelLevelName(g.level)}, {"goal", g.floor}, {"misses", nlohmann::json::array()}};
        for (Kernel k : kKernels)
            for (uint32_t mode = 0; mode < 5; ++mode) {
                const double rate = rateOf(results, kernelBenchName(k, mode, g.level, Shape::Tiles));
                const double floor = rateOf(results, floorName("xor", bytesOf(mode), Shape::Tiles));
                const double ratio = rate / floor;
                if (std::isnan(ratio))
                    continue;
                ++measured;
                if (ratio >= g.floor) {
                    ++met;
                    continue;
                }
                misses += std::string(" ") + kernelName(k) + "/" + modeName(mode) + " x" + fixed(ratio, 2);
                entry["misses"].push_back({{"kernel", kernelName(k)}, {"mode", modeName(mode)}, {"per_floor", ratio}});
            }
        if (measured == 0)
            continue;
        entry["met"] = met;
        entry["measured"] = measured;
        out << "  " << kernelLevelName(g.level) << ": x" << fixed(g.floor, 2) << " of the floor met by " << met
            << " of " << measured << (misses.empty() ? "" : "; not by" + misses) << "\n";
        json.push_back(entry);
    }
    return json;
}

nlohmann::json summarise(const std::vector<Result>& results, std::ostream& out)
{
    nlohmann::json json;
    json["kernels"] = nlohmann::json::array();
    out << "Blend kernels, median Mpixels/s (row = one L1-resident row, tiles = 1024x768 covered by 256x256 tiles,\n"
           "quads = 64x32 quads at random places); ratios on tiles: /floor = ziv / (dst ^= src), /pixman = ziv /\n"
           "pixman OVER with a solid mask, /SDL2 = ziv / SDL2's best blit with the same modulation, /SDL2x = ziv /\n"
           "SDL2's best exact (colour-keyed) blit; /below = this level / the level below it on tiles, '!' where it\n"
           "is under 0.95 with code of its own.\n"
           "'<' marks a level that serves the mode through a lower level's code.\n\n";
    out << std::left << std::setw(16) << "kernel" << std::setw(6) << "mode" << std::setw(8) << "level" << std::right
        << std::setw(9) << "row" << std::setw(9) << "tiles" << std::setw(9) << "quads" << std::setw(9) << "/floor"
        << std::setw(9) << "/pixman" << std::setw(9) << "/SDL2" << std::setw(9) << "/SDL2x" << std::setw(9) << "/below"
        << "\n";
    int slower = 0;
    for (Kernel k : kKernels) {
        for (uint32_t mode = 0; mode < 5; ++mode) {
            const int bpp = bytesOf(mode);
            for (uint32_t l = 0; l < kKernelLevelCount; ++l) {
                const KernelLevel level = static_cast<KernelLevel>(l);
                const KernelTable* table = kernelTableFor(level);
                if (table == nullptr)
                    continue;
                const KernelTable* lower = l > 0 ? kernelTableFor(static_cast<KernelLevel>(l - 1)) : nullptr;
                const bool inherited = lower && entryOf(*lower, k, mode) == entryOf(*table, k, mode);
                nlohmann::json entry{{"kernel", kernelName(k)},
                                     {"mode", modeName(mode)},
                                     {"level", kernelLevelName(level)},
                                     {"inherited", inherited}};
                double rates[3];
                for (Shape shape : kShapes) {
                    const int s = static_cast<int>(shape);
                    rates[s] = rateOf(results, kernelBenchName(k, mode, level, shape));
                    const double floor = rateOf(results, floorName("xor", bpp, shape));
                    const double pixman = pixmanRate(results, bpp, shape);
                    const double sdl = sdlBestRate(results, k, bpp, shape, false, nullptr);
                    const double sdlExact = sdlBestRate(results, k, bpp, shape, true, nullptr);
                    entry[shapeName(shape)] = {{"mpix_per_s", numberOrNull(rates[s])},
                                               {"per_floor", numberOrNull(rates[s] / floor)},
                                               {"per_pixman", numberOrNull(rates[s] / pixman)},
                                               {"per_sdl2", numberOrNull(rates[s] / sdl)},
                                               {"per_sdl2_exact", numberOrNull(rates[s] / sdlExact)}};
                }
                if (std::isnan(rates[0]) && std::isnan(rates[1]) && std::isnan(rates[2]))
                    continue;
                // Each level against the level below it, on tiles.
                const double below =
                    lower ? rates[1] /
                                rateOf(results, kernelBenchName(k, mode, static_cast<KernelLevel>(l - 1), Shape::Tiles))
                          : NAN;
                const bool slow = !inherited && below < 0.95;
                slower += slow ? 1 : 0;
                entry["per_level_below"] = numberOrNull(below);
                json["kernels"].push_back(entry);
                const nlohmann::json& tiles = entry["tiles"];
                auto ratio = [&](const char* key) {
                    return tiles[key].is_null() ? std::string("-") : fixed(tiles[key].get<double>(), 2);
                };
                out << std::left << std::setw(16) << kernelName(k) << std::setw(6) << modeName(mode) << std::setw(8)
                    << (std::string(kernelLevelName(level)) + (inherited ? "<" : "")) << std::right << std::setw(9)
                    << fixed(rates[0], 0) << std::setw(9) << fixed(rates[1], 0) << std::setw(9) << fixed(rates[2], 0)
                    << std::setw(9) << ratio("per_floor") << std::setw(9) << ratio("per_pixman") << std::setw(9)
                    << ratio("per_sdl2") << std::setw(9) << ratio("per_sdl2_exact") << std::setw(8) << fixed(below, 2)
                    << (slow ? "!" : " ") << "\n";
            }
        }
    }

    out << slower << " kernel x mode x level entries slower than the level below (under 0.95)\n";
    json["slower_than_below"] = slower;

    out << "\nFloors and peers, median Mpixels/s\n";
    out << std::left << std::setw(40) << "" << std::right << std::setw(9) << "row" << std::setw(9) << "tiles"
        << std::setw(9) << "quads"
        << "\n";
    json["references"] = nlohmann::json::object();
    std::vector<std::string> bases;
    for (const Result& r : results) {
        if (r.name.rfind("floor/", 0) != 0 && r.name.rfind("pixman/", 0) != 0 && r.name.rfind("sdl2/", 0) != 0)
            continue;
        const std::string base = r.name.substr(0, r.name.rfind('/'));
        if (std::find(bases.begin(), bases.end(), base) == bases.end())
            bases.push_back(base);
    }
    for (const std::string& base : bases) {
        out << std::left << std::setw(40) << base << std::right;
        for (Shape shape : kShapes) {
            const double r = rateOf(results, base + "/" + shapeName(shape));
            json["references"][base][shapeName(shape)] = numberOrNull(r);
            out << std::setw(9) << fixed(r, 0);
        }
        out << "\n";
    }

    // The goals, for the highest level on the tiles shape.
    KernelLevel best = KernelLevel::None;
    for (uint32_t l = 0; l < kKernelLevelCount; ++l)
        if (kernelTableFor(static_cast<KernelLevel>(l)))
            best = static_cast<KernelLevel>(l);
    out << "\nGoals (tiles, " << kernelLevelName(best)
        << "; SDL2 = its fastest path, keyed or not; SDL2 exact = its fastest keyed path):\n";
    json["goals"] = nlohmann::json::array();
    for (const Goal& g : kGoals) {
        const int bpp = bytesOf(g.mode);
        const double rate = rateOf(results, kernelBenchName(g.kernel, g.mode, best, Shape::Tiles));
        std::string sdlName, sdlExactName;
        const double sdl = sdlBestRate(results, g.kernel, bpp, Shape::Tiles, false, &sdlName);
        const double sdlExact = sdlBestRate(results, g.kernel, bpp, Shape::Tiles, true, &sdlExactName);
        const double pixman = pixmanRate(results, bpp, Shape::Tiles);
        const double floor = rateOf(results, floorName("xor", bpp, Shape::Tiles));
        struct Check {
            const char* what;
            double ratio, goal;
        };
        const Check checks[] = {{"SDL2", rate / sdl, g.sdl},
                                {"SDL2 exact", rate / sdlExact, g.sdl},
                                {"pixman", rate / pixman, g.pixman},
                                {"floor", rate / floor, g.floor}};
        out << "  " << kernelName(g.kernel) << " " << modeName(g.mode) << " (" << fixed(rate, 0) << " Mpix/s):";
        nlohmann::json goal{
            {"kernel", kernelName(g.kernel)}, {"mode", modeName(g.mode)}, {"mpix_per_s", numberOrNull(rate)}};
        for (const Check& c : checks) {
            if (c.goal == 0)
                continue;
            const bool met = !std::isnan(c.ratio) && c.ratio >= c.goal;
            out << "  x" << fixed(c.ratio, 2) << " " << c.what << " (goal x" << fixed(c.goal, 2)
                << (met ? ", met)" : ", NOT met)");
            goal[c.what] = {{"ratio", numberOrNull(c.ratio)}, {"goal", c.goal}, {"met", met}};
        }
        if (!sdlName.empty())
            goal["sdl2_best_path"] = sdlName;
        if (!sdlExactName.empty())
            goal["sdl2_best_exact_path"] = sdlExactName;
        out << "\n";
        json["goals"].push_back(goal);
    }
    out << "\nFloor goals per level (tiles; every kernel and mode):\n";
    json["level_goals"] = summariseLevelGoals(results, out);
    return json;
}

const bool summaryRegistered = registerSummary("blend_kernels", summarise);

} // namespace

} // namespace zivbench
