// Damage-aware frames beside full frames, in one run: the demo's scene idle
// (nothing changes), the pointer going onto OK and off again (idle and hover
// in turn), OK pressed with the list scrolled (hover and pressed in turn), a
// caret blinking, and 10^4 small quads of which one moves; and the diff alone
// of an unchanged frame of 10^4 to 10^6 quads. Each frame of a case is the
// next of its two scenes: the full variant clears the target and draws all of
// it, the damage variant keeps the target and redraws what changed.
//
// Names: damage/<case>/<565|32>/blend<m>/<full|damage>, damage/diff/<n>.
#include <benchmark/benchmark.h>

#include <cmath>
#include <iomanip>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "frames/FrameRunners.h"
#include "frames/FrameScenes.h"

namespace zivbench {

namespace {

using zivdemo::TargetFormat;

// A scene and another that differs from it as the case says.
struct CasePair {
    const FrameScene* a;
    const FrameScene* b;
};

// An opaque 64x64 texture for the synthetic cases.
FrameTexture gradientTexture()
{
    FrameTexture t;
    t.width = t.height = 64;
    t.pixels.resize(64 * 64 * 4);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            uint8_t* p = &t.pixels[(y * 64 + x) * 4];
            p[0] = uint8_t(x * 4);
            p[1] = uint8_t(y * 4);
            p[2] = uint8_t(255 - x * 2);
            p[3] = 255;
        }
    return t;
}

// n quads of size x size at random places on 1024x768, a third translucent;
// moved: the same with one quad 7 pixels to the right.
FrameScene manyQuads(size_t n, float size, bool moved)
{
    FrameScene scene;
    scene.name = "quads";
    scene.width = 1024;
    scene.height = 768;
    scene.textures.push_back(gradientTexture());
    std::mt19937 random(21);
    for (size_t i = 0; i < n; ++i) {
        FrameQuad q;
        const float x = float(random() % uint32_t(1024 - size));
        const float y = float(random() % uint32_t(768 - size));
        q.dest = {x, y, x + size, y + size};
        q.source = {0, 0, size, size};
        q.z = 0.5f;
        q.texture = 0;
        q.colours = sameCorners(i % 3 == 0 ? 0xC0FFFFFFu : 0xFFFFFFFFu);
        scene.quads.push_back(q);
    }
    if (moved) {
        FrameQuad& q = scene.quads[n / 2];
        q.dest.left += 7;
        q.dest.right += 7;
    }
    return scene;
}

// The idle frame with a text caret: a thin dark quad in the list.
FrameScene withCaret(const FrameScene& idle)
{
    FrameScene scene = idle;
    FrameQuad caret;
    caret.dest = {300, 200, 302, 216};
    caret.source = {0, 0, 2, 16};
    caret.z = 0.0f;
    caret.texture = 0;
    caret.colours = sameCorners(0xFF202020u);
    scene.quads.push_back(caret);
    return scene;
}

const FrameScene& cached(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<FrameScene>> scenes;
    auto found = scenes.find(name);
    if (found != scenes.end())
        return *found->second;
    FrameScene scene;
    if (name == "caret")
        scene = withCaret(demoFrameOf("idle"));
    else if (name == "quads")
        scene = manyQuads(10000, 16, false);
    else if (name == "quads-moved")
        scene = manyQuads(10000, 16, true);
    else
        scene = demoFrameOf(name.c_str());
    return *scenes.emplace(name, std::make_unique<FrameScene>(std::move(scene))).first->second;
}

struct DamageCase {
    const char* name;
    const char* a;
    const char* b;
};
const DamageCase kCases[] = {{"idle", "idle", "idle"},
                             {"hover", "idle", "hover"},
                             {"press_scroll", "hover", "pressed"},
                             {"caret", "idle", "caret"},
                             {"one_moved_of_10k", "quads", "quads-moved"}};

// The scene's background as the target's fill colour.
uint32_t fillColour(uint32_t argb, TargetFormat format)
{
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    if (format == TargetFormat::Rgb565)
        return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    return r << 16 | g << 8 | b;
}

// Two scenes drawn in turn by one renderer onto one target.
class TurnDrawer {
public:
    TurnDrawer(const CasePair& scenes, TargetFormat format, int32_t blendMode, bool damage)
        : d_module(zivModule()), d_scenes(scenes), d_format(format), d_damage(damage),
          d_device(format, scenes.a->width, scenes.a->height, blendMode)
    {
        d_renderer = d_module.createRenderer(&d_device, 0, false, nullptr, 0, 0);
        if (d_renderer == nullptr)
            throw std::runtime_error("createRenderer failed");
        d_renderer->setTargetSurface(d_device.target());
        if (damage) {
            if (d_module.setDamageTracking == nullptr || d_module.setDamageTracking(d_renderer, 1) != 1)
                throw std::runtime_error("the module has no damage-aware frames");
            d_module.setDamageBackgroundColour(d_renderer, fillColour(scenes.a->background, format));
        }
        for (const FrameTexture& t : scenes.a->textures) {
            ZorvUISystem::Texture* texture = d_renderer->createTexture();
            d_textures.push_back(texture);
            texture->setMemoryTexture(t.memory);
            texture->loadFromMemory(t.pixels.data(), t.width, t.height,
                                    t.rgb ? ZorvUISystem::BUFFER_RGB : ZorvUISystem::BUFFER_RGBA);
        }
    }
    ~TurnDrawer() { d_module.destroyRenderer(d_renderer); }
    TurnDrawer(const TurnDrawer&) = delete;
    TurnDrawer& operator=(const TurnDrawer&) = delete;

    void draw()
    {
        queue();
        pass();
    }
    // The next scene's quads queued (and, drawing whole, the target cleared).
    void queue()
    {
        const FrameScene& scene = (d_turn++ % 2 == 0) ? *d_scenes.a : *d_scenes.b;
        if (!d_damage)
            d_device.clear(scene.background);
        for (const FrameQuad& q : scene.quads)
            d_renderer->queueQuad(q.dest, q.z, d_textures[q.texture], q.source, q.colours, 0);
    }
    void pass()
    {
        d_renderer->renderQueue();
        d_renderer->clearQueue();
    }
    ZorvUISystem::Renderer& renderer() { return *d_renderer; }
    const ZorvUISystem::FrameStatistics& statistics() const { return d_renderer->getFrameStatistics(); }
    zivdemo::DemoDevice& device() { return d_device; }

private:
    const zivdemo::ModuleApi& d_module;
    CasePair d_scenes;
    TargetFormat d_format;
    bool d_damage;
    zivdemo::DemoDevice d_device;
    ZorvUISystem::Renderer* d_renderer = nullptr;
    std::vector<ZorvUISystem::Texture*> d_textures;
    uint64_t d_turn = 0;
};

// Pixels that differ between the full frames of the two scenes.
double changedPixels(const CasePair& scenes, TargetFormat format, int32_t blendMode)
{
    TurnDrawer full(scenes, format, blendMode, false);
    full.draw();
    const zivdemo::Image a = full.device().capture();
    full.draw();
    const zivdemo::Image b = full.device().capture();
    return double(zivdemo::compareImages(a, b).pixels);
}

void benchTurns(benchmark::State& state, DamageCase which, TargetFormat format, int32_t blendMode, bool damage)
{
    try {
        const CasePair scenes{&cached(which.a), &cached(which.b)};
        TurnDrawer drawer(scenes, format, blendMode, damage);
        drawer.draw(); // the first frame is whole in both
        drawer.draw();
        double damaged = 0;
        uint64_t frames = 0;
        for (auto _ : state) {
            drawer.draw();
            damaged += double(drawer.statistics().damage.pixels);
            ++frames;
        }
        state.counters["quads"] = double(scenes.a->quads.size());
        if (damage) {
            state.counters["damaged_px"] = frames != 0 ? damaged / double(frames) : 0;
            state.counters["changed_px"] = changedPixels(scenes, format, blendMode);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

// renderQueue of an unchanged frame of n quads: the scene taken and compared.
void benchDiff(benchmark::State& state, size_t n)
{
    try {
        static std::map<size_t, std::unique_ptr<FrameScene>> scenes;
        if (scenes.count(n) == 0)
            scenes[n] = std::make_unique<FrameScene>(manyQuads(n, 4, false));
        const FrameScene& scene = *scenes[n];
        TurnDrawer drawer(CasePair{&scene, &scene}, TargetFormat::Rgb32, 2, true);
        drawer.draw();
        for (auto _ : state) {
            state.PauseTiming();
            drawer.queue();
            state.ResumeTiming();
            drawer.renderer().renderQueue();
            state.PauseTiming();
            drawer.renderer().clearQueue();
            state.ResumeTiming();
        }
        state.counters["quads"] = double(n);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

struct Combination {
    const char* format;
    TargetFormat target;
    int32_t blend;
};
const Combination kCombinations[] = {{"565", TargetFormat::Rgb565, 0},
                                     {"565", TargetFormat::Rgb565, 1},
                                     {"565", TargetFormat::Rgb565, 2},
                                     {"32", TargetFormat::Rgb32, 2}};

std::string caseName(const DamageCase& c, const Combination& k, bool damage)
{
    return std::string("damage/") + c.name + "/" + k.format + "/blend" + std::to_string(k.blend) +
           (damage ? "/damage" : "/full");
}

bool registerDamage()
{
    for (const DamageCase& c : kCases)
        for (const Combination& k : kCombinations)
            for (bool damage : {false, true})
                benchmark::RegisterBenchmark(caseName(c, k, damage).c_str(), benchTurns, c, k.target, k.blend, damage);
    for (size_t n : {size_t{10000}, size_t{100000}, size_t{1000000}})
        benchmark::RegisterBenchmark(("damage/diff/" + std::to_string(n)).c_str(), benchDiff, n)
            ->Iterations(n >= 1000000 ? 5 : 50);
    return true;
}

const bool registered = registerDamage();

std::string number(double value, int digits)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(digits) << value;
    return out.str();
}

nlohmann::json summariseDamage(const std::vector<Result>& results, std::ostream& out)
{
    nlohmann::json json;
    json["cases"] = nlohmann::json::array();
    nlohmann::json goals = nlohmann::json::array();
    // Goals: a frame's cost over the full frame's, by case.
    const std::map<std::string, double> costGoals = {
        {"idle", 1.0 / 50}, {"hover", 1.0 / 10}, {"press_scroll", 1.0 / 4}, {"one_moved_of_10k", 1.0 / 10}};
    out << "Damage-aware frames (medians; each frame the next of the case's two scenes)\n"
        << "    case               target  blend   full us  damage us   ratio  damaged px  changed px  area\n";
    for (const DamageCase& c : kCases)
        for (const Combination& k : kCombinations) {
            const Result* full = findResult(results, caseName(c, k, false));
            const Result* damage = findResult(results, caseName(c, k, true));
            if (full == nullptr || damage == nullptr || full->realTimeNs <= 0 || damage->realTimeNs <= 0)
                continue;
            const double ratio = damage->realTimeNs / full->realTimeNs;
            const auto counter = [&](const char* key) {
                return damage->counters.count(key) != 0 ? damage->counters.at(key) : 0.0;
            };
            const double damaged = counter("damaged_px"), changed = counter("changed_px");
            const double area = changed > 0 ? damaged / changed : 0;
            out << "    " << std::left << std::setw(19) << c.name << std::setw(8) << k.format << std::setw(6) << k.blend
                << std::right << std::setw(10) << number(full->realTimeNs * 1e-3, 1) << std::setw(11)
                << number(damage->realTimeNs * 1e-3, 1) << std::setw(8) << number(ratio, 3) << std::setw(12)
                << number(damaged, 0) << std::setw(12) << number(changed, 0) << std::setw(6)
                << (changed > 0 ? number(area, 2) : std::string("-")) << "\n";
            json["cases"].push_back({{"case", c.name},
                                     {"format", k.format},
                                     {"blend", k.blend},
                                     {"full_us", full->realTimeNs * 1e-3},
                                     {"damage_us", damage->realTimeNs * 1e-3},
                                     {"ratio", ratio},
                                     {"damaged_px", damaged},
                                     {"changed_px", changed}});
            const auto goal = costGoals.find(c.name);
            if (goal != costGoals.end())
                goals.push_back({{"goal", std::string(c.name) + " " + k.format + " blend " + std::to_string(k.blend) +
                                              " cost over full"},
                                 {"value", ratio},
                                 {"target", goal->second},
                                 {"met", ratio <= goal->second}});
            if (changed > 0 && std::string(c.name) != "one_moved_of_10k")
                goals.push_back({{"goal", std::string(c.name) + " " + k.format + " blend " + std::to_string(k.blend) +
                                              " damaged over changed pixels"},
                                 {"value", area},
                                 {"target", 1.5},
                                 {"met", area <= 1.5}});
        }
    for (size_t n : {size_t{10000}, size_t{100000}, size_t{1000000}}) {
        const Result* r = findResult(results, "damage/diff/" + std::to_string(n));
        if (r == nullptr || r->realTimeNs <= 0)
            continue;
        const double perQuad = r->realTimeNs / double(n);
        out << "    unchanged frame of " << n << " quads: " << number(r->realTimeNs * 1e-3, 1) << " us, "
            << number(perQuad, 2) << " ns a quad\n";
        goals.push_back({{"goal", "diff of " + std::to_string(n) + " quads, ns a quad"},
                         {"value", perQuad},
                         {"target", 20.0},
                         {"met", perQuad <= 20.0}});
    }
    out << "\n";
    for (const nlohmann::json& g : goals)
        out << "  goal: " << g["goal"].get<std::string>() << ": " << number(g["value"].get<double>(), 3)
            << " (<= " << number(g["target"].get<double>(), 3) << ") " << (g["met"].get<bool>() ? "met" : "NOT met")
            << "\n";
    json["goals"] = goals;
    return json;
}

const bool summarised = registerSummary("damage", summariseDamage);

} // namespace

} // namespace zivbench
