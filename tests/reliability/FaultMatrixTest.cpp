// The fault matrix: every public operation of the renderer, with each
// DirectDraw call it makes failing in turn with each result code the module
// names and one it does not. Every failure must reach the host exactly as it
// should (exception text, last-error text, log lines, or nothing at all),
// what was drawn must be what the failure allows, the renderer must draw the
// next frame correctly, and destroying it must give back every surface.
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "HostHarness.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZIV_LEAK_CHECK 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZIV_LEAK_CHECK 1
#endif
#if defined(ZIV_LEAK_CHECK)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using namespace ZivReliability;
using ZorvUISystem::BUFFER_RGB;
using ZorvUISystem::BUFFER_RGBA;

struct Fault {
    std::string operation;
    unsigned nth;
    HRESULT code;
};

// What a failed call may leave on the target: what the fault-free call
// draws, nothing at all, the scenario's fallback picture, or anything.
enum class Outcome { Unchecked, Drawn, Nothing, Fallback };

struct Expectation {
    std::string exception; // empty: the operation returns normally
    std::vector<std::string> errors;
    Outcome outcome = Outcome::Unchecked;
    // createRenderer only.
    std::optional<std::string> lastError;
    std::vector<std::string> unrecoverable;
};

Expectation none(Outcome outcome = Outcome::Unchecked)
{
    Expectation e;
    e.outcome = outcome;
    return e;
}

Expectation raises(const std::string& text, std::vector<std::string> errors, Outcome outcome = Outcome::Unchecked)
{
    Expectation e;
    e.exception = text;
    e.errors = std::move(errors);
    e.outcome = outcome;
    return e;
}

// A failed texture upload: its text, logged once by the upload and, for a
// failed surface creation, once before by the creation itself.
Expectation uploadFailure(const Fault& f, const std::string& prefix = std::string())
{
    const std::string text = f.operation == "CreateSurface" ? ZivExpect::creationMessage(f.code)
                             : f.operation == "Lock"        ? ZivExpect::kLockFailed
                                                            : ZivExpect::kGetDcFailed;
    std::vector<std::string> errors;
    if (f.operation == "CreateSurface")
        errors.push_back(text);
    errors.push_back(text);
    return raises(prefix.empty() ? text : prefix + "(" + text + ")", errors);
}

// A lock of the upload answering that the surface was lost again.
bool passingLoss(const Fault& f)
{
    return f.code == DDERR_SURFACELOST && (f.operation == "Lock" || f.operation == "GetDC");
}

// A reload while drawing that fails: the renderer's one line for it, the
// layers beneath quiet; nothing is raised, the quad is skipped.
Expectation failedReloadWhileDrawing(const Fault& f)
{
    Expectation e = uploadFailure(f);
    // A surface lost under the reload is passing: tried on the next frame.
    e.errors = passingLoss(f) ? std::vector<std::string>() : std::vector<std::string>{e.exception};
    e.exception.clear();
    e.outcome = Outcome::Nothing;
    return e;
}

// DirectDraw answering that a surface of a texture filled from pixels was
// lost: nothing can bring the pixels back, so the texture draws nothing.
Expectation orLostPixels(const Fault& f, Expectation otherwise)
{
    if (f.operation == "IsLost" && f.code == DDERR_SURFACELOST)
        return raises("", {ZivExpect::kPixelsLost},
                      otherwise.outcome == Outcome::Unchecked ? otherwise.outcome : Outcome::Nothing);
    return otherwise;
}

bool failsUpload(const Fault& f)
{
    return f.operation == "CreateSurface" || f.operation == "Lock" || f.operation == "GetDC";
}

struct Scenario {
    std::string name;
    int32_t blendMode = 0;
    DWORD displayBits = 32;
    int32_t texturePixelFormat = 0;
    bool withLogger = true;
    bool createsRenderer = false; // the operation is createRenderer itself
    std::function<void(Host&)> setup = [](Host&) {};
    std::function<void(Host&)> operation;
    std::function<Expectation(const Fault&)> expect;
    // Draws the picture of Outcome::Fallback on a fresh host.
    std::function<void(Host&)> fallback;
    // What the host does after a failure before the next frame.
    std::function<void(Host&)> afterFailure = [](Host&) {};
    // What the host does before the next frame in every case.
    std::function<void(Host&)> beforeProbe = [](Host&) {};
    // The fault-free operation changes the target.
    bool draws = false;
};

class FaultMatrix : public ::testing::Test {
protected:
    static LoadedModule& loaded()
    {
        static LoadedModule* module = new LoadedModule;
        return *module;
    }

    void SetUp() override
    {
        ddrawtest::reset();
        ASSERT_NE(directDraw.get(), nullptr);
    }
    void TearDown() override
    {
        ddrawtest::reset();
        loaded().plugin.logLevel = 3;
    }

    void prepare(Host& host, const Scenario& scenario)
    {
        host.device.texturePixelFormat = scenario.texturePixelFormat;
        loaded().plugin.logLevel = scenario.withLogger ? 3 : 0;
        if (!scenario.createsRenderer) {
            ASSERT_TRUE(host.create()) << loaded().module.getLastErrorString();
        }
        scenario.setup(host);
        host.fillTarget();
    }

    // The picture of the probe frame on a fresh renderer of this kind.
    std::vector<uint8_t> probeReference(const Scenario& scenario)
    {
        const std::string key = std::to_string(scenario.blendMode) + "/" + std::to_string(scenario.texturePixelFormat) +
                                "/" + std::to_string(scenario.displayBits);
        auto found = d_probeReferences.find(key);
        if (found != d_probeReferences.end())
            return found->second;
        Host host(loaded(), directDraw.get(), scenario.blendMode);
        host.device.texturePixelFormat = scenario.texturePixelFormat;
        EXPECT_TRUE(host.create());
        return d_probeReferences[key] = host.probeFrame();
    }

    // Runs a scenario once without faults: the calls it makes and the
    // pictures it leaves.
    std::map<std::string, unsigned long> countCalls(const Scenario& scenario)
    {
        Host host(loaded(), directDraw.get(), scenario.blendMode);
        prepare(host, scenario);
        d_nothing = host.targetBytes();
        loaded().plugin.record.calls.clear();
        ddrawtest::reset();
        scenario.operation(host);
        std::map<std::string, unsigned long> counts;
        for (size_t i = 0; const char* name = ddrawtest::failableOperation(i); ++i) {
            if (ddrawtest::callCount(name) > 0)
                counts[name] = ddrawtest::callCount(name);
        }
        d_drawn = host.targetBytes();
        if (scenario.draws) {
            EXPECT_TRUE(d_drawn != d_nothing) << scenario.name << " draws nothing without faults";
        }
        EXPECT_TRUE(loaded().errorLines().empty()) << scenario.name << " logs an error without faults";
        loaded().plugin.record.calls.clear();
        if (scenario.fallback) {
            Host other(loaded(), directDraw.get(), scenario.blendMode);
            prepare(other, scenario);
            scenario.fallback(other);
            d_fallback = other.targetBytes();
        }
        return counts;
    }

    void runCase(const Scenario& scenario, const Fault& fault)
    {
        SCOPED_TRACE(scenario.name + ": " + fault.operation + " #" + std::to_string(fault.nth) + " fails with " +
                     std::to_string(static_cast<int32_t>(fault.code)));
        const Expectation expected = scenario.expect(fault);
        {
            Host host(loaded(), directDraw.get(), scenario.blendMode);
            prepare(host, scenario);
            const size_t surfacesBefore = ddrawtest::liveSurfaceCount();
            loaded().plugin.record.calls.clear();

            ddrawtest::reset();
            ASSERT_TRUE(ddrawtest::failNext(fault.operation.c_str(), fault.code, fault.nth));
            std::string raised;
            try {
                scenario.operation(host);
            } catch (const std::exception& e) {
                raised = e.what();
            }
            const bool fired = ddrawtest::armedFaults() == 0;
            ddrawtest::reset();
            EXPECT_TRUE(fired) << "the fault never fired";

            EXPECT_EQ(raised, expected.exception);
            EXPECT_EQ(loaded().errorLines(), expected.errors);
            if (scenario.createsRenderer) {
                EXPECT_EQ(host.renderer == nullptr, expected.lastError.has_value());
                if (expected.lastError) {
                    EXPECT_EQ(loaded().module.getLastErrorString(), *expected.lastError);
                }
                EXPECT_EQ(loaded().unrecoverableTexts(), expected.unrecoverable);
            }
            if (!raised.empty() && scenario.name.find("createTexture") != std::string::npos) {
                EXPECT_EQ(ddrawtest::liveSurfaceCount(), surfacesBefore) << "a failed creation keeps no surface";
            }

            // A host gets its target back if a failed unlock left it locked.
            host.target->Unlock(nullptr);
            if (!raised.empty())
                scenario.afterFailure(host);
            switch (expected.outcome) {
            case Outcome::Unchecked:
                break;
            case Outcome::Drawn:
                EXPECT_TRUE(host.targetBytes() == d_drawn) << "the target should show the fault-free picture";
                break;
            case Outcome::Nothing:
                EXPECT_TRUE(host.targetBytes() == d_nothing) << "the target should be untouched";
                break;
            case Outcome::Fallback:
                EXPECT_TRUE(host.targetBytes() == d_fallback) << "the target should show the fallback picture";
                break;
            }

            // The next frame.
            loaded().plugin.logLevel = 3;
            if (host.renderer == nullptr) {
                ASSERT_TRUE(host.create()) << "a renderer can be made after a failed creation";
            }
            scenario.beforeProbe(host);
            if (fault.operation == "Unlock") {
                // A surface whose unlock failed stays locked until it is
                // given back; for the renderer's own surfaces that is the
                // next device reset.
                bool changed = false;
                host.renderer->prepareForReset();
                host.renderer->postD3DReset(&changed);
            }
            EXPECT_TRUE(host.probeFrame() == probeReference(scenario)) << "the next frame renders";
            host.destroy();
            EXPECT_EQ(ddrawtest::liveSurfaceCount(), 1u) << "destroyRenderer gives back every surface";
        }
        EXPECT_EQ(ddrawtest::liveSurfaceCount(), 0u);
    }

    // Every call of the scenario, failing in turn with every code.
    size_t runScenario(const Scenario& scenario)
    {
        SetDisplay display(directDraw.get(), scenario.displayBits);
        const std::map<std::string, unsigned long> counts = countCalls(scenario);
        std::string summary;
        size_t cases = 0;
        for (const auto& [operation, count] : counts) {
            summary += " " + operation + " " + std::to_string(count);
            for (unsigned nth = 1; nth <= count; ++nth) {
                for (HRESULT code : ZivExpect::faultCodes()) {
                    runCase(scenario, Fault{operation, nth, code});
                    ++cases;
                    if (::testing::Test::HasFatalFailure())
                        return cases;
                }
            }
        }
        std::printf("[ fault matrix ] %-58s %5zu cases; DirectDraw calls:%s\n", scenario.name.c_str(), cases,
                    summary.empty() ? " none" : summary.c_str());
        s_totalCases += cases;
        return cases;
    }

    // Sets the display depth for one scenario and back to 32 bits after it.
    struct SetDisplay {
        SetDisplay(IDirectDraw* directDraw, DWORD bits) : d_directDraw(directDraw), d_bits(bits)
        {
            if (bits != 32) {
                EXPECT_EQ(directDraw->SetDisplayMode(640, 480, bits), DD_OK);
            }
        }
        ~SetDisplay()
        {
            if (d_bits != 32)
                d_directDraw->RestoreDisplayMode();
        }
        IDirectDraw* d_directDraw;
        DWORD d_bits;
    };

    static size_t s_totalCases;
    ZivTest::SoftwareDirectDraw directDraw;
    std::map<std::string, std::vector<uint8_t>> d_probeReferences;
    std::vector<uint8_t> d_nothing;
    std::vector<uint8_t> d_drawn;
    std::vector<uint8_t> d_fallback;
};

size_t FaultMatrix::s_totalCases = 0;

// --- Creation ------------------------------------------------------------------

Scenario creation(int32_t blendMode, bool withLogger)
{
    Scenario s;
    s.name = std::string("createRenderer, blend mode ") + std::to_string(blendMode) +
             (withLogger ? "" : ", no logger object");
    s.blendMode = blendMode;
    s.withLogger = withLogger;
    s.createsRenderer = true;
    s.operation = [](Host& host) { host.create(); };
    s.expect = [withLogger](const Fault& f) {
        if (f.operation != "CreateSurface")
            return none(); // the buffer's clearing fill: ignored
        Expectation e;
        const std::string text = ZivExpect::creationMessage(f.code);
        if (withLogger) {
            // Logged by the creation, then alone by createRenderer.
            e.errors = {text, text};
            e.lastError = ZivExpect::kFactoryPrefix + text;
        } else {
            e.lastError = ZivExpect::kFactoryPrefix;
            e.unrecoverable = {text};
        }
        return e;
    };
    return s;
}

TEST_F(FaultMatrix, CreateRenderer)
{
    runScenario(creation(0, true));
    runScenario(creation(2, true));
    runScenario(creation(0, false));
}

// --- Texture creation and upload -----------------------------------------------

TEST_F(FaultMatrix, CreateTextureOverloads)
{
    Scenario bytesRgba;
    bytesRgba.name = "createTexture from file bytes, RGBA PNG";
    bytesRgba.blendMode = 2;
    bytesRgba.operation = [](Host& host) {
        const std::vector<uint8_t> file = pngFile(6, 5, true, 1);
        host.renderer->createTexture(file.data(), static_cast<uint32_t>(file.size()));
    };
    bytesRgba.expect = [](const Fault& f) {
        return failsUpload(f) ? uploadFailure(f, ZivExpect::kFileDataPrefix) : none();
    };
    runScenario(bytesRgba);

    Scenario bytesRgb = bytesRgba;
    bytesRgb.name = "createTexture from file bytes, RGB PNG";
    bytesRgb.blendMode = 0;
    bytesRgb.operation = [](Host& host) {
        const std::vector<uint8_t> file = pngFile(7, 3, false, 2);
        host.renderer->createTexture(file.data(), static_cast<uint32_t>(file.size()));
    };
    runScenario(bytesRgb);

    ZivTest::TempDirectory files;
    ZivTest::writeFile(files.path() + "/skin.png", pngFile(5, 4, true, 3));
    const std::string directory = files.prefix();
    Scenario file;
    file.name = "createTexture from a file, RGBA PNG";
    file.blendMode = 1;
    file.operation = [directory](Host& host) { host.renderer->createTexture("skin.png", directory.c_str()); };
    file.expect = [directory](const Fault& f) {
        return failsUpload(f) ? uploadFailure(f, ZivExpect::kFilePrefix + directory + "skin.png") : none();
    };
    runScenario(file);

    Scenario sized;
    sized.name = "createTexture sized";
    sized.operation = [](Host& host) { host.renderer->createTexture(128.0f); };
    sized.expect = [](const Fault&) { return none(); };
    EXPECT_EQ(runScenario(sized), 0u) << "a sized texture needs no DirectDraw call";

    Scenario blank = sized;
    blank.name = "createTexture blank";
    blank.operation = [](Host& host) { host.renderer->createTexture(); };
    EXPECT_EQ(runScenario(blank), 0u) << "a blank texture needs no DirectDraw call";
}

Scenario upload(const std::string& name, int32_t blendMode, DWORD bits, int32_t pixelFormat, bool rgba,
                bool memoryTexture)
{
    Scenario s;
    s.name = name;
    s.blendMode = blendMode;
    s.displayBits = bits;
    s.texturePixelFormat = pixelFormat;
    s.operation = [rgba, memoryTexture](Host& host) {
        Texture* texture = host.renderer->createTexture();
        texture->setMemoryTexture(memoryTexture);
        const std::vector<uint8_t> pixels = testPixels(9, 7, rgba, 4);
        texture->loadFromMemory(pixels.data(), 9, 7, rgba ? BUFFER_RGBA : BUFFER_RGB);
    };
    s.expect = [bits](const Fault& f) {
        // A failed unlock leaves the surface locked; on a palette display the
        // colour surface's device context is then refused.
        if (bits == 8 && f.operation == "Unlock" && f.nth == 1)
            return raises(ZivExpect::kGetDcFailed, {ZivExpect::kGetDcFailed});
        return failsUpload(f) ? uploadFailure(f) : none();
    };
    return s;
}

TEST_F(FaultMatrix, LoadFromMemory)
{
    runScenario(upload("loadFromMemory RGBA, 32-bit display", 0, 32, 0, true, false));
    runScenario(upload("loadFromMemory RGB, 565 textures", 2, 32, 565, false, false));
    runScenario(upload("loadFromMemory RGBA, 555 textures", 1, 32, 555, true, false));
    runScenario(upload("loadFromMemory RGBA, 24-bit display", 2, 24, 0, true, false));
    runScenario(upload("loadFromMemory RGBA, 8-bit display", 0, 8, 0, true, false));
    runScenario(upload("loadFromMemory RGBA of a memory texture", 0, 32, 0, true, true));
}

// --- Quads -------------------------------------------------------------------------

// A mode change loses every surface; the host restores its target.
void loseEverySurface(Host& host)
{
    DDSURFACEDESC mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dwSize = sizeof(mode);
    host.device.directDraw->GetDisplayMode(&mode);
    host.device.directDraw->SetDisplayMode(mode.dwWidth, mode.dwHeight, mode.ddpfPixelFormat.dwRGBBitCount);
    host.target->Restore();
}

TEST_F(FaultMatrix, QueueQuad)
{
    Scenario queued;
    queued.name = "queueQuad, queueing on";
    queued.setup = [](Host& host) { host.pixelTexture(8, 8, false, 5); };
    queued.operation = [](Host& host) {
        host.renderer->queueQuad({1, 1, 9, 9}, 0.0f, nullptr, {0, 0, 8, 8}, corners(0xFFFFFFFF), 0);
    };
    queued.expect = [](const Fault&) { return none(); };
    EXPECT_EQ(runScenario(queued), 0u) << "queueing a quad draws nothing";

    // Drawn at once: every path of the quad blit.
    Texture* texture = nullptr;
    auto drawAtOnce = [&texture](FloatRect dest, FloatRect source, uint32_t colour) {
        return [&texture, dest, source, colour](Host& host) {
            host.renderer->setQueueing(false);
            host.renderer->queueQuad(dest, 0.0f, texture, source, corners(colour), 0);
        };
    };

    Scenario plain;
    plain.name = "queueQuad at once: plain copy";
    plain.setup = [&texture](Host& host) { texture = host.pixelTexture(8, 8, false, 6); };
    plain.operation = drawAtOnce({10, 10, 18, 18}, {0, 0, 8, 8}, 0xFFFFFFFF);
    plain.draws = true;
    plain.expect = [](const Fault& f) {
        return orLostPixels(f, none(f.operation == "BltFast" ? Outcome::Nothing : Outcome::Drawn));
    };
    runScenario(plain);

    Scenario keyed;
    keyed.name = "queueQuad at once: keyed stretch through the scratch";
    keyed.setup = [&texture](Host& host) { texture = host.pixelTexture(8, 8, true, 7); };
    keyed.operation = drawAtOnce({4, 6, 20, 18}, {0, 0, 8, 8}, 0xFFFFFFFF);
    keyed.draws = true;
    keyed.expect = [](const Fault& f) {
        if (f.operation == "Blt")
            return raises("", {ZivExpect::reportLine(ZivExpect::kCopyStretchContext, f.code)}, Outcome::Nothing);
        return orLostPixels(f, none(f.operation == "BltFast" ? Outcome::Nothing : Outcome::Drawn));
    };
    runScenario(keyed);

    Scenario blend;
    blend.name = "queueQuad at once: software blend";
    blend.blendMode = 2;
    blend.setup = [&texture](Host& host) { texture = host.pixelTexture(8, 8, false, 8); };
    blend.operation = drawAtOnce({3, 3, 11, 11}, {0, 0, 8, 8}, 0x80FFFFFF);
    blend.draws = true;
    blend.expect = [](const Fault& f) {
        return orLostPixels(f, none(f.operation == "Lock" ? Outcome::Nothing : Outcome::Drawn));
    };
    runScenario(blend);

    Scenario stretchedBlend;
    stretchedBlend.name = "queueQuad at once: stretched and modulated blend";
    stretchedBlend.blendMode = 2;
    stretchedBlend.setup = [&texture](Host& host) { texture = host.pixelTexture(8, 8, true, 9); };
    stretchedBlend.operation = drawAtOnce({5, 5, 29, 21}, {0, 0, 8, 8}, 0xFF808080);
    stretchedBlend.draws = true;
    stretchedBlend.expect = [](const Fault& f) {
        if (f.operation == "Blt")
            return raises("", {ZivExpect::reportLine(ZivExpect::kBlendStretchContext, f.code)}, Outcome::Nothing);
        return orLostPixels(f, none(f.operation == "Lock" ? Outcome::Nothing : Outcome::Drawn));
    };
    runScenario(stretchedBlend);

    // Soft edges: a third lock (the alpha surface) and, stretched, a second
    // blit into the scratch (the alpha surface's). The next frame is drawn
    // without them, as the reference is.
    const auto softEdges = [this, &texture](Host& host) {
        texture = host.pixelTexture(8, 8, true, 11);
        EXPECT_EQ(loaded().module.setSoftEdges(host.renderer, 1), 1);
    };
    const auto hardEdges = [this](Host& host) { loaded().module.setSoftEdges(host.renderer, 0); };
    for (bool stretched : {false, true}) {
        Scenario soft;
        soft.name = stretched ? "queueQuad at once: stretched soft edges" : "queueQuad at once: soft edges";
        soft.blendMode = 2;
        soft.setup = softEdges;
        soft.beforeProbe = hardEdges;
        soft.operation =
            drawAtOnce(stretched ? FloatRect{5, 5, 29, 21} : FloatRect{3, 3, 11, 11}, {0, 0, 8, 8}, 0xFFFFFFFF);
        soft.draws = true;
        soft.expect = [stretched](const Fault& f) {
            if (f.operation == "Blt")
                return raises("", {ZivExpect::reportLine(ZivExpect::kBlendStretchContext, f.code)}, Outcome::Nothing);
            // The texture's alpha is looked at first (is it all opaque?); left
            // locked, it cannot be stretched.
            if (stretched && f.operation == "Unlock" && f.nth == 1)
                return raises("", {ZivExpect::reportLine(ZivExpect::kBlendStretchContext, DDERR_SURFACEBUSY)},
                              Outcome::Nothing);
            return orLostPixels(f, none(f.operation == "Lock" ? Outcome::Nothing : Outcome::Drawn));
        };
        runScenario(soft);
    }

    Scenario tinted;
    tinted.name = "queueQuad at once: tinted copy of a memory texture";
    tinted.setup = [&texture](Host& host) {
        texture = host.renderer->createTexture();
        texture->setMemoryTexture(true);
        std::vector<uint8_t> white(8 * 8 * 4, 0xFF);
        for (size_t i = 0; i < white.size(); i += 12)
            white[i] = white[i + 1] = white[i + 2] = 0x40; // some texels keep their colour
        texture->loadFromMemory(white.data(), 8, 8, BUFFER_RGBA);
    };
    tinted.operation = drawAtOnce({7, 7, 15, 15}, {0, 0, 8, 8}, 0xFF4080C0);
    // A failed blit of the tint gives the plain copy: the quad untinted.
    tinted.fallback = drawAtOnce({7, 7, 15, 15}, {0, 0, 8, 8}, 0xFFFFFFFF);
    tinted.draws = true;
    tinted.expect = [](const Fault& f) {
        if (f.operation == "Blt")
            return none(Outcome::Fallback);
        return none(f.operation == "BltFast" ? Outcome::Nothing : Outcome::Drawn);
    };
    runScenario(tinted);

    Scenario lost;
    lost.name = "queueQuad at once: a lost texture restored, reloaded and drawn";
    lost.setup = [&texture](Host& host) {
        texture = host.pixelTexture(8, 8, true, 10, true);
        loseEverySurface(host);
    };
    lost.operation = drawAtOnce({12, 2, 20, 10}, {0, 0, 8, 8}, 0xFFFFFFFF);
    // The renderer's own surfaces were lost as well: the host resets.
    lost.beforeProbe = [](Host& host) {
        bool changed = false;
        host.renderer->prepareForReset();
        host.renderer->postD3DReset(&changed);
    };
    lost.draws = true;
    lost.expect = [](const Fault& f) {
        if (failsUpload(f))
            return failedReloadWhileDrawing(f);
        if (f.operation == "Unlock")
            return none();
        // A lost answer has the lost scratch mended and the copy tried again.
        const bool skipped = f.operation == "BltFast" && f.code != DDERR_SURFACELOST;
        return none(skipped ? Outcome::Nothing : Outcome::Drawn);
    };
    runScenario(lost);
}

TEST_F(FaultMatrix, RenderQueue)
{
    Texture* texture = nullptr;
    Scenario buffered;
    buffered.name = "renderQueue, buffered";
    buffered.setup = [&texture](Host& host) {
        texture = host.pixelTexture(8, 8, false, 11);
        host.renderer->queueQuad({9, 9, 17, 17}, 0.0f, texture, {0, 0, 8, 8}, corners(0xFFFFFFFF), 0);
    };
    buffered.operation = [](Host& host) { host.renderer->renderQueue(); };
    buffered.draws = true;
    buffered.expect = [](const Fault& f) {
        return orLostPixels(f, none(f.operation == "BltFast" ? Outcome::Nothing : Outcome::Drawn));
    };
    runScenario(buffered);

    Scenario direct;
    direct.name = "renderQueue, direct, half-and-half blend";
    direct.blendMode = 1;
    direct.setup = [&texture](Host& host) {
        texture = host.pixelTexture(8, 8, false, 12);
        host.renderer->queueQuad({30, 9, 38, 17}, 0.0f, texture, {0, 0, 8, 8}, corners(0x80FFFFFF), 0);
    };
    direct.operation = buffered.operation;
    direct.draws = true;
    direct.expect = [](const Fault& f) {
        return orLostPixels(f, none(f.operation == "Lock" ? Outcome::Nothing : Outcome::Drawn));
    };
    runScenario(direct);

    // Every surface lost by a mode change without a reset: the texture from
    // file bytes is reloaded when drawn, the buffer restored and composed
    // again; a failed reload skips the quad and the pass goes on.
    Scenario reload;
    reload.name = "renderQueue after a mode change without a reset";
    reload.setup = [&texture](Host& host) {
        const std::vector<uint8_t> file = pngFile(8, 8, true, 13);
        texture = host.renderer->createTexture(file.data(), static_cast<uint32_t>(file.size()));
        host.renderer->queueQuad({2, 30, 10, 38}, 0.0f, texture, {0, 0, 8, 8}, corners(0xFFFFFFFF), 0);
        loseEverySurface(host);
    };
    reload.operation = buffered.operation;
    reload.draws = true;
    reload.expect = [](const Fault& f) {
        if (failsUpload(f))
            return failedReloadWhileDrawing(f);
        // The reload's own results are not examined, and where a lost answer
        // or a failed copy leaves the picture depends on which call it was.
        for (const char* unchecked : {"Unlock", "SetColorKey", "BltFast", "Blt", "IsLost", "Restore"}) {
            if (f.operation == unchecked)
                return none();
        }
        return none(Outcome::Drawn);
    };
    runScenario(reload);
}

TEST_F(FaultMatrix, ClearQueue)
{
    Scenario clear;
    clear.name = "clearQueue, buffered";
    clear.setup = [](Host& host) {
        Texture* texture = host.pixelTexture(8, 8, false, 14);
        host.renderer->queueQuad({9, 9, 17, 17}, 0.0f, texture, {0, 0, 8, 8}, corners(0xFFFFFFFF), 0);
        host.renderer->renderQueue();
    };
    clear.operation = [](Host& host) { host.renderer->clearQueue(); };
    clear.expect = [](const Fault&) { return none(); };
    runScenario(clear);

    Scenario direct = clear;
    direct.name = "clearQueue, direct";
    direct.blendMode = 2;
    EXPECT_EQ(runScenario(direct), 0u) << "without a buffer, clearing is not a DirectDraw matter";
}

// --- Reset and destruction -----------------------------------------------------

// Textures of every kind: from file bytes, a memory texture, pixels (restore
// only) and a file.
void makeEveryKindOfTexture(Host& host, const std::string& directory)
{
    const std::vector<uint8_t> file = pngFile(6, 6, true, 15);
    host.renderer->createTexture(file.data(), static_cast<uint32_t>(file.size()));
    host.pixelTexture(5, 5, true, 16, true);
    host.pixelTexture(4, 4, false, 17);
    host.renderer->createTexture("skin.png", directory.c_str());
}

TEST_F(FaultMatrix, ResetAndDestruction)
{
    ZivTest::TempDirectory files;
    ZivTest::writeFile(files.path() + "/skin.png", pngFile(3, 5, false, 18));
    const std::string directory = files.prefix();

    Scenario prepare;
    prepare.name = "prepareForReset";
    prepare.setup = [directory](Host& host) { makeEveryKindOfTexture(host, directory); };
    prepare.operation = [](Host& host) { host.renderer->prepareForReset(); };
    prepare.expect = [](const Fault&) { return none(); };
    EXPECT_EQ(runScenario(prepare), 0u) << "giving surfaces back only releases them";

    for (int32_t blendMode : {0, 2}) {
        Scenario post;
        post.name = "postD3DReset, blend mode " + std::to_string(blendMode);
        post.blendMode = blendMode;
        post.setup = [directory](Host& host) {
            makeEveryKindOfTexture(host, directory);
            host.renderer->prepareForReset();
        };
        post.operation = [](Host& host) {
            bool changed = true;
            host.renderer->postD3DReset(&changed);
        };
        // The host resets again after a failed reset.
        post.afterFailure = post.operation;
        // The scratch and (in blend mode 0) the buffer come first: their
        // creation failures are logged once; the textures' reloads after them
        // log a failed creation twice.
        const unsigned auxiliaryCreations = blendMode == 0 ? 4 : 2;
        post.expect = [auxiliaryCreations](const Fault& f) {
            if (f.operation == "CreateSurface" && f.nth <= auxiliaryCreations) {
                const std::string text = ZivExpect::creationMessage(f.code);
                return raises(text, {text});
            }
            Expectation e = orLostPixels(f, failsUpload(f) ? uploadFailure(f) : none());
            if (passingLoss(f))
                e.exception.clear(); // logged by the upload, not raised: reloaded when drawn
            return e;
        };
        runScenario(post);
    }

    Scenario destroy;
    destroy.name = "destroyRenderer";
    destroy.setup = [directory](Host& host) {
        makeEveryKindOfTexture(host, directory);
        host.renderer->queueQuad({1, 1, 5, 5}, 0.0f, nullptr, {0, 0, 4, 4}, corners(0xFFFFFFFF), 0);
        host.renderer->renderQueue();
    };
    destroy.operation = [](Host& host) {
        host.destroy();
        EXPECT_EQ(ddrawtest::liveSurfaceCount(), 1u) << "only the host's target is left";
    };
    destroy.expect = [](const Fault&) { return none(); };
    EXPECT_EQ(runScenario(destroy), 0u) << "destruction only releases surfaces";
}

TEST_F(FaultMatrix, PostD3DResetWithoutDirectDraw)
{
    Host host(loaded(), directDraw.get(), 0);
    ASSERT_TRUE(host.create());
    host.renderer->prepareForReset();
    loaded().plugin.record.calls.clear();
    host.device.directDraw = nullptr;
    bool changed = true;
    try {
        host.renderer->postD3DReset(&changed);
        ADD_FAILURE() << "postD3DReset without a DirectDraw object returned";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), ZivExpect::kNoDirectDraw);
    }
    EXPECT_EQ(loaded().errorLines(), std::vector<std::string>{ZivExpect::kNoDirectDraw});
    host.device.directDraw = directDraw.get();
    host.renderer->postD3DReset(&changed);
    Scenario kind;
    EXPECT_TRUE(host.probeFrame() == probeReference(kind));
    ++s_totalCases;
}

TEST_F(FaultMatrix, ZzzCountAndLeaks)
{
    std::printf("[ fault matrix ] %zu cases in all\n", s_totalCases);
#if defined(ZIV_LEAK_CHECK)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer found leaks";
#endif
}

} // namespace
