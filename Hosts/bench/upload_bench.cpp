// The texture upload's pixel conversion: a 512 x 512 RGBA or RGB image into
// each surface layout, with the vector paths and with the plain loops, beside
// memcpy of the same source bytes.
//
// Names: upload/<rgba|rgb>/<565|555|24|32|32a>/<vector|plain>, where 32a is a
// 32-bit surface holding its own alpha (the others get a separate alpha
// surface for RGBA), and upload/memcpy/<rgba|rgb>.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <vector>

#include "BenchSupport.h"
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
    {"565", DDS_RGBMODE_565, 2, false}, {"555", DDS_RGBMODE_555, 2, false}, {"24", DDS_RGBMODE_24, 3, false},
    {"32", DDS_RGBMODE_32, 4, false},   {"32a", DDS_RGBMODE_32, 4, true},
};

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

void benchUpload(benchmark::State& state, Layout layout, bool rgba, bool vectors)
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

    const bool before = uploadVectorsEnabled();
    setUploadVectorsEnabled(vectors);
    for (auto _ : state) {
        convertPixels(layout.mode, from, target);
        benchmark::DoNotOptimize(colour.data());
        benchmark::DoNotOptimize(alpha.data());
        benchmark::ClobberMemory();
    }
    setUploadVectorsEnabled(before);
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

std::string uploadName(bool rgba, const Layout& layout, bool vectors)
{
    return std::string("upload/") + (rgba ? "rgba/" : "rgb/") + layout.name + (vectors ? "/vector" : "/plain");
}

const bool registered = [] {
    for (bool rgba : {true, false}) {
        benchmark::RegisterBenchmark(rgba ? "upload/memcpy/rgba" : "upload/memcpy/rgb", benchMemcpy, rgba);
        for (const Layout& layout : kLayouts) {
            if (!rgba && layout.alphaInColour)
                continue; // RGB never has alpha to place
            for (bool vectors : {true, false}) {
                if (vectors && !uploadVectorsAvailable())
                    continue;
                benchmark::RegisterBenchmark(uploadName(rgba, layout, vectors).c_str(), benchUpload, layout, rgba,
                                             vectors);
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

// Mpix/s of each case and its share of memcpy's rate over the same source.
nlohmann::json summarise(const std::vector<Result>& results, std::ostream& out)
{
    nlohmann::json json = nlohmann::json::object();
    out << "\nTexture upload, 512 x 512 (Mpix/s; share of memcpy of the source bytes)\n";
    out << std::left << std::setw(10) << "source" << std::setw(8) << "surface" << std::right << std::setw(12)
        << "vector" << std::setw(12) << "plain" << std::setw(12) << "memcpy" << std::setw(10) << "share\n";
    for (bool rgba : {true, false}) {
        const double floor = rateOf(results, rgba ? "upload/memcpy/rgba" : "upload/memcpy/rgb");
        for (const Layout& layout : kLayouts) {
            if (!rgba && layout.alphaInColour)
                continue;
            const double vector = rateOf(results, uploadName(rgba, layout, true));
            const double plain = rateOf(results, uploadName(rgba, layout, false));
            if (std::isnan(vector) && std::isnan(plain))
                continue;
            const double best = std::isnan(vector) ? plain : vector;
            std::ostringstream share;
            share << std::fixed << std::setprecision(0) << 100.0 * best / floor << " %";
            out << std::left << std::setw(10) << (rgba ? "RGBA" : "RGB") << std::setw(8) << layout.name << std::right
                << std::fixed << std::setprecision(0) << std::setw(12) << vector << std::setw(12) << plain
                << std::setw(12) << floor << std::setw(10) << share.str() << "\n";
            json[std::string(rgba ? "rgba/" : "rgb/") + layout.name] = {
                {"vector_mpix_s", std::isnan(vector) ? nlohmann::json() : nlohmann::json(vector)},
                {"plain_mpix_s", std::isnan(plain) ? nlohmann::json() : nlohmann::json(plain)},
                {"memcpy_mpix_s", std::isnan(floor) ? nlohmann::json() : nlohmann::json(floor)}};
        }
    }
    return json;
}

const bool summaryRegistered = registerSummary("texture_upload", summarise);

} // namespace

} // namespace zivbench
