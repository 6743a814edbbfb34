// The texture upload's pixel conversion: a 512 x 512 RGBA or RGB image into
// each surface layout, with the upload kernels of every level this processor
// offers, beside memcpy of the same source bytes.
//
// Names: upload/<rgba|rgb>/<565|565k|555|24|32|32a>/<none|sse2|avx2|avx512>,
// where 32a is a 32-bit surface holding its own alpha and 565k a 565 surface
// whose format claims alpha (no alpha surface; the alpha is dropped); the
// others get a separate alpha surface for RGBA. upload/memcpy/<rgba|rgb>.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <vector>

#include "BenchSupport.h"
#include "pixel/UploadKernels.h"
#include "texture/PixelConversion.h"

namespace zivbench {

namespace {

using namespace ZorvUISystem;

constexpr uint32_t kSide = 512;

struct Layout {
    const char* name;
    RgbMode mode;
    uint32_t bytes;
    bool alphaInColour;
};

constexpr Layout kLayouts[] = {
    {"565", DDS_RGBMODE_565, 2, false}, {"565k", DDS_RGBMODE_565, 2, true}, {"555", DDS_RGBMODE_555, 2, false},
    {"24", DDS_RGBMODE_24, 3, false},   {"32", DDS_RGBMODE_32, 4, false},   {"32a", DDS_RGBMODE_32, 4, true},
};

constexpr KernelLevel kLevels[] = {KernelLevel::None, KernelLevel::Mmx, KernelLevel::Sse2, KernelLevel::Avx2,
                                   KernelLevel::Avx512};

// A skin-like image: mostly opaque, soft edges, some fully transparent texels.
const std::vector<uint8_t>& sourceImage(bool rgba)
{
    static const std::vector<uint8_t> images[2] = {
        [] {
            std::vector<uint8_t> out(size_t(kSide) * kSide * 3);
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = uint8_t(i * 2654435761u >> 24);
            return out;
        }(),
        [] {
            std::vector<uint8_t> out(size_t(kSide) * kSide * 4);
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = uint8_t(i * 2654435761u >> 24);
            for (size_t p = 0; p < size_t(kSide) * kSide; ++p) {
                const uint32_t x = p % kSide;
                out[4 * p + 3] = x < 8 ? 0 : x < 24 ? uint8_t(x * 10) : 255;
            }
            return out;
        }(),
    };
    return images[rgba ? 1 : 0];
}

void setPixelRate(benchmark::State& state)
{
    state.counters[kPixelRate] =
        benchmark::Counter(double(kSide) * kSide * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void benchUpload(benchmark::State& state, Layout layout, bool rgba, const UploadTable* kernels)
{
    const std::vector<uint8_t>& source = sourceImage(rgba);
    const ptrdiff_t pitch = ptrdiff_t(kSide) * layout.bytes;
    std::vector<uint8_t> colour(size_t(pitch) * kSide, 0);
    std::vector<uint8_t> alpha(size_t(pitch) * kSide, 0);
    UploadTarget target{};
    target.colour = colour.data();
    target.colourPitch = pitch;
    target.alpha = rgba && !layout.alphaInColour ? alpha.data() : colour.data();
    target.alphaPitch = pitch;
    target.width = kSide;
    target.height = kSide;
    const UploadSource from{source.data(), size_t(kSide) * (rgba ? 4 : 3), rgba};

    for (auto _ : state) {
        convertPixels(*kernels, layout.mode, from, target);
        benchmark::DoNotOptimize(colour.data());
        benchmark::DoNotOptimize(alpha.data());
        benchmark::ClobberMemory();
    }
    setPixelRate(state);
}

void benchMemcpy(benchmark::State& state, bool rgba)
{
    const std::vector<uint8_t>& source = sourceImage(rgba);
    std::vector<uint8_t> copy(source.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), source.data(), source.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    setPixelRate(state);
}

std::string uploadName(bool rgba, const Layout& layout, KernelLevel level)
{
    return std::string("upload/") + (rgba ? "rgba/" : "rgb/") + layout.name + "/" + kernelLevelName(level);
}

const bool registered = [] {
    for (bool rgba : {true, false}) {
        benchmark::RegisterBenchmark(rgba ? "upload/memcpy/rgba" : "upload/memcpy/rgb", benchMemcpy, rgba);
        for (const Layout& layout : kLayouts) {
            if (!rgba && layout.alphaInColour)
                continue; // RGB never has alpha to place
            for (KernelLevel level : kLevels) {
                const UploadTable* kernels = uploadTableFor(level);
                if (kernels != nullptr)
                    benchmark::RegisterBenchmark(uploadName(rgba, layout, level).c_str(), benchUpload, layout, rgba,
                                                 kernels);
            }
        }
    }
    return true;
}();

double rateOf(const std::vector<Result>& results, const std::string& name)
{
    const Result* r = findResult(results, name);
    if (!r)
        return NAN;
    const auto it = r->counters.find(kPixelRate);
    return it == r->counters.end() ? NAN : it->second;
}

// Mpix/s of each case at each level, and the share of memcpy's rate over
// the same source bytes that the fastest level reaches.
nlohmann::json summarise(const std::vector<Result>& results, std::ostream& out)
{
    nlohmann::json json = nlohmann::json::object();
    out << "\nTexture upload, 512 x 512 (Mpix/s per kernel level; share: fastest level / memcpy of the source "
           "bytes)\n";
    out << std::left << std::setw(8) << "source" << std::setw(9) << "surface" << std::right;
    for (KernelLevel level : kLevels)
        out << std::setw(9) << kernelLevelName(level);
    out << std::setw(9) << "memcpy" << std::setw(8) << "share"
        << "  each level / the level below ('!' under 0.95)\n";
    int slower = 0;
    for (bool rgba : {true, false}) {
        const double floor = rateOf(results, rgba ? "upload/memcpy/rgba" : "upload/memcpy/rgb");
        for (const Layout& layout : kLayouts) {
            if (!rgba && layout.alphaInColour)
                continue;
            out << std::left << std::setw(8) << (rgba ? "RGBA" : "RGB") << std::setw(9) << layout.name << std::right
                << std::fixed << std::setprecision(0);
            nlohmann::json entry = {{"memcpy_mpix_s", std::isnan(floor) ? nlohmann::json() : nlohmann::json(floor)}};
            double best = NAN, previous = NAN;
            std::ostringstream ratios;
            ratios << std::fixed;
            for (KernelLevel level : kLevels) {
                const double rate = rateOf(results, uploadName(rgba, layout, level));
                if (std::isnan(rate)) {
                    out << std::setw(9) << "-";
                    continue;
                }
                out << std::setw(9) << rate;
                entry[std::string(kernelLevelName(level)) + "_mpix_s"] = rate;
                if (!std::isnan(previous)) {
                    const double ratio = rate / previous;
                    // An entry the level takes from the one below measures the same code twice.
                    const UploadLayout used = !rgba                  ? UPLOAD_RGB
                                              : layout.alphaInColour ? UPLOAD_RGBA_IN_COLOUR
                                                                     : UPLOAD_RGBA_SEPARATE;
                    const UploadTable* mine = uploadTableFor(level);
                    const UploadTable* lower =
                        uploadTableFor(static_cast<KernelLevel>(static_cast<uint32_t>(level) - 1));
                    const bool inherited =
                        mine && lower && mine->rows[layout.mode][used] == lower->rows[layout.mode][used];
                    const bool slow = !inherited && ratio < 0.95;
                    slower += slow ? 1 : 0;
                    ratios << ' ' << kernelLevelName(level) << ' ' << std::setprecision(2) << ratio
                           << (inherited ? "="
                               : slow    ? "!"
                                         : "")
                           << std::setprecision(0);
                    entry[std::string(kernelLevelName(level)) + "_per_level_below"] = ratio;
                }
                previous = rate;
                if (std::isnan(best) || rate > best)
                    best = rate;
            }
            std::ostringstream share;
            if (!std::isnan(best) && floor > 0)
                share << std::fixed << std::setprecision(2) << best / floor;
            else
                share << "-";
            out << std::setw(9) << floor << std::setw(8) << share.str() << " " << ratios.str() << "\n";
            json[std::string(rgba ? "rgba/" : "rgb/") + layout.name] = entry;
        }
    }
    out << slower << " uploads slower at a level than at the level below (under 0.95)\n";
    json["slower_than_below"] = slower;
    return json;
}

const bool summaryRegistered = registerSummary("texture_upload", summarise);

} // namespace

} // namespace zivbench
