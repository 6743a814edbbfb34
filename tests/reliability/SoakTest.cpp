// The soak: a scene of textures from a file, from file bytes and from kept
// pixels, drawn frame after frame in every blend mode and target format on a
// DirectDraw that behaves like a real one (garbage in new and restored memory,
// lost surfaces unusable, restores refused after a depth change, a busy
// blitter, a video memory budget), while a seeded schedule loses every
// surface (between frames and under any call of one) with and without the
// host's reset pair, keeps the blitter busy,
// exhausts video memory, changes the display depth and takes the source file
// away. After each recovery the frame equals the first one pixel for pixel,
// no surface was written outside its pixels, and nothing leaks.
//
// ZIV_SOAK_FRAMES sets the frames per blend mode and format (`make fuzz` runs
// thousands; the suite a short schedule).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "HostHarness.h"
#include "SurfaceAccess.h"
#include "renderer/CDDRender.h"

namespace {

using ZivReliability::corners;
using ZivReliability::pngFile;
using ZivReliability::surfaceRows;
using ZivReliability::testPixels;
using ZorvUISystem::CDDRender;
using ZorvUISystem::FloatRect;
using ZorvUISystem::Texture;

constexpr DWORD kWidth = 96;
constexpr DWORD kHeight = 64;
constexpr uint32_t kBackground = 0x00405060u;

int framesPerRun()
{
    const char* frames = std::getenv("ZIV_SOAK_FRAMES");
    return frames != nullptr ? std::max(1, std::atoi(frames)) : 120;
}

struct TargetFormat {
    const char* name;
    DWORD depth;         // the display's
    int32_t pixelFormat; // the host's texture pixel format answer
};

const TargetFormat kFormats[] = {{"565", 16, 0}, {"555", 16, 555}, {"24", 24, 0}, {"32", 32, 0}};

class Soak : public ::testing::TestWithParam<std::tuple<int32_t, int>> {
protected:
    void SetUp() override
    {
        ddrawtest::reset();
        ddrawtest::resetBehaviours();
        ddrawtest::setGarbageMemory(true);
        ddrawtest::setLostSurfacesUsable(false);
        ddrawtest::setWrongModeOnRestore(true);
        ddrawtest::setClipListRefusedWhileLocked(true);
        ZivTest::writeFile(files.path() + "/skin.png", pngFile(12, 10, true, 61));
        device.blendMode = std::get<0>(GetParam()) % 10; // 11 and 12: modes 1 and 2 with soft edges
        // Video memory (refused after a depth change, budgeted) for 16 bits,
        // system memory (restored in its old format) for the others.
        device.textureMemory = format().depth == 16 ? 1 : 0;
        device.texturePixelFormat = format().pixelFormat;
        setDepth(format().depth);
    }
    void TearDown() override
    {
        if (target != nullptr)
            target->Release();
        if (clipper != nullptr)
            clipper->Release();
        ddrawtest::resetBehaviours();
        ddrawtest::reset();
        directDraw.get()->RestoreDisplayMode();
    }

    const TargetFormat& format() const { return kFormats[std::get<1>(GetParam())]; }

    // The display in another depth; the host's target, in system memory,
    // keeps the format the scene is drawn in.
    void setDepth(DWORD depth)
    {
        ASSERT_EQ(directDraw.get()->SetDisplayMode(640, 480, depth), DD_OK);
        if (target != nullptr)
            return (void)target->Restore();
        DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(kWidth, kHeight);
        if (format().pixelFormat == 555)
            ZivTest::requestRgb555(desc);
        ASSERT_EQ(directDraw.get()->CreateSurface(&desc, &target, nullptr), DD_OK);
    }

    // A windowed host: the target clipped to a window of the given rectangle.
    void clipTarget(const RECT& client)
    {
        const HWND window = reinterpret_cast<HWND>(uintptr_t{0x5E0});
        ASSERT_TRUE(ddrawtest::setClientRect(window, client));
        ASSERT_EQ(directDraw.get()->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
        ASSERT_EQ(target->SetClipper(clipper), DD_OK);
    }

    // Every kind of texture with a source, drawn keyed, plain, stretched,
    // translucent, modulated and tinted (first to need the scratch).
    void makeScene()
    {
        const std::vector<uint8_t> bytes = pngFile(16, 12, true, 62);
        const std::vector<uint8_t> opaque = pngFile(10, 10, false, 63);
        textures.push_back(renderer->createTexture("skin.png", files.path().c_str()));
        textures.push_back(renderer->createTexture(bytes.data(), uint32_t(bytes.size())));
        textures.push_back(renderer->createTexture(opaque.data(), uint32_t(opaque.size())));
        Texture* kept = renderer->createTexture();
        kept->setMemoryTexture(true);
        std::vector<uint8_t> pixels = testPixels(14, 9, true, 64);
        for (size_t i = 0; i < pixels.size(); i += 20)
            pixels[i] = pixels[i + 1] = pixels[i + 2] = pixels[i + 3] = 0xFF; // white texels for the tint
        kept->loadFromMemory(pixels.data(), 14, 9, ZorvUISystem::BUFFER_RGBA);
        textures.push_back(kept);
    }

    void queueScene()
    {
        struct Quad {
            size_t texture;
            FloatRect dest;
            float z;
            uint32_t colour;
        };
        static const Quad quads[] = {
            {2, {0, 0, 40, 40}, 5.0f, 0xFFFFFFFF},   {0, {4, 6, 16, 16}, 4.0f, 0xFFFFFFFF},
            {1, {20, 4, 52, 28}, 3.0f, 0xFFFFFFFF},  {3, {50, 30, 64, 39}, 4.5f, 0xFF4080C0},
            {0, {30, 20, 42, 30}, 2.0f, 0x80FFFFFF}, {1, {60, 2, 76, 14}, 2.0f, 0xFF808080},
            {3, {70, 40, 98, 58}, 1.0f, 0xC0FFFFFF}, {2, {-4, 50, 6, 60}, 1.0f, 0xFFFFFFFF},
        };
        for (const Quad& q : quads) {
            Texture* t = textures[q.texture];
            renderer->queueQuad(q.dest, q.z, t, {0, 0, float(t->getWidth()), float(t->getHeight())}, corners(q.colour),
                                0);
        }
    }

    // One frame as a host draws it: its own background, then the GUI; now
    // and then without queueing again (the buffer, or the queue, shows the
    // same quads). Raises nothing, whatever became of the textures.
    // A frame during which every surface is lost is not read back, and the
    // host's own fill may fail in it.
    std::vector<uint8_t> frame(bool requeue, bool lostUnderIt = false)
    {
        DDBLTFX fill{};
        fill.dwSize = sizeof(fill);
        fill.dwFillColor = kBackground & (format().depth == 16 ? 0x7BEFu : 0xFFFFFFu);
        if (clipper != nullptr)
            target->SetClipper(nullptr); // the host clears its whole back buffer
        const HRESULT filled = target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
        EXPECT_TRUE(filled == DD_OK || lostUnderIt) << filled;
        if (clipper != nullptr)
            target->SetClipper(clipper);
        try {
            if (requeue) {
                renderer->clearQueue();
                queueScene();
            }
            renderer->renderQueue();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "a frame raised: " << e.what();
        }
        EXPECT_TRUE(ddrawtest::guardsIntact()) << "a surface was written outside its pixels";
        return lostUnderIt ? std::vector<uint8_t>() : surfaceRows(target);
    }

    // The host's reset pair; the reset may report a texture it could not
    // reload, with a loader's text.
    void hostReset()
    {
        renderer->prepareForReset();
        target->Restore();
        bool changed = false;
        try {
            renderer->postD3DReset(&changed);
        } catch (const std::exception& e) {
            EXPECT_TRUE(ZivExpect::isLoaderText(e.what())) << e.what();
            ++failedResets;
        }
    }

    uint32_t random() { return static_cast<uint32_t>(rng()); }

    ZivTest::SoftwareDirectDraw directDraw;
    ZivTest::TestRenderDevice device{directDraw.get(), float(kWidth), float(kHeight)};
    ZivTest::TempDirectory files;
    IDirectDrawSurface* target = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    std::unique_ptr<CDDRender> renderer;
    std::vector<Texture*> textures;
    // Every blend mode and format has a schedule of its own.
    std::mt19937 rng{20261207u + 16u * uint32_t(std::get<0>(GetParam())) + uint32_t(std::get<1>(GetParam()))};
    int failedResets = 0;
};

TEST_P(Soak, EveryRecoveryGivesBackTheSameFrame)
{
    // Half the formats as a windowed host: BltFast onto the target is
    // refused for its clipper.
    if (std::get<1>(GetParam()) % 2 == 1)
        clipTarget(RECT{0, 0, LONG(kWidth), LONG(kHeight)});
    renderer = std::make_unique<CDDRender>(&device, 0, false);
    renderer->setSoftEdges(std::get<0>(GetParam()) >= 10);
    renderer->setTargetSurface(target);
    makeScene();
    const std::vector<uint8_t> reference = frame(true);
    ASSERT_EQ(frame(false), reference);

    static const char* const names[] = {"loss",         "loss and reset", "busy blitter",   "video memory",
                                        "depth change", "file removed",   "loss mid-frame", "frame"};
    int counts[8] = {};
    const auto loseAll = [this] {
        ASSERT_TRUE(ddrawtest::loseAllSurfaces(directDraw.get()));
        target->Restore();
    };
    const int frames = framesPerRun();
    for (int n = 0; n < frames; ++n) {
        const uint32_t event = random() % 8;
        switch (event) {
        case 0: // another program takes the display: no reset pair
            loseAll();
            break;
        case 1:
            loseAll();
            hostReset();
            break;
        case 2:
            ddrawtest::setBusyBlitter(1 + random() % 4);
            EXPECT_EQ(frame(random() % 2 == 0), reference) << "with the blitter busy";
            ddrawtest::setBusyBlitter(0);
            break;
        case 3: // the reloads run out of video memory, until the next reset
            ddrawtest::setVideoMemoryBudget(ddrawtest::videoMemoryInUse() / (1 + random() % 3) + 1);
            loseAll();
            hostReset();
            frame(true);
            ddrawtest::setVideoMemoryBudget(0);
            hostReset();
            break;
        case 4: { // another depth for a while, and back with or without a reset
            const DWORD depths[] = {16, 24, 32};
            setDepth(depths[random() % 3]);
            hostReset();
            frame(true);
            setDepth(format().depth);
            if (random() % 2 == 0)
                hostReset();
            break;
        }
        case 5: { // the file goes away while its texture reloads, and comes back
            std::filesystem::remove(files.path() + "/skin.png");
            loseAll();
            if (random() % 2 == 0)
                hostReset();
            frame(true);
            frame(false);
            ZivTest::writeFile(files.path() + "/skin.png", pngFile(12, 10, true, 61));
            hostReset();
            break;
        }
        case 6: { // every surface lost under a call of a frame; the host restores its target after it
            static const char* const calls[] = {"Blt", "BltFast", "Lock", "Unlock", "IsLost", "CreateSurface"};
            ASSERT_TRUE(ddrawtest::loseAllSurfacesOn(calls[random() % 6], 1 + random() % 8, directDraw.get()));
            frame(random() % 2 == 0, true);
            ddrawtest::reset();
            target->Restore();
            break;
        }
        default:
            break;
        }
        ++counts[event];
        const std::vector<uint8_t> got = frame(random() % 3 != 0);
        EXPECT_EQ(got, reference) << "after " << names[event] << ", frame " << n;
        if (HasFailure())
            break;
    }
    std::printf("[ soak ] blend mode %d, %s%s: %d frames;", device.blendMode, format().name,
                clipper != nullptr ? " windowed" : "", frames);
    for (int i = 0; i < 7; ++i)
        std::printf(" %s %d,", names[i], counts[i]);
    std::printf(" %d resets reported a reload\n", failedResets);

    renderer.reset();
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), 1u) << "only the host's target is left";
}

// The loss sweep: every surface lost between two frames and at each call of
// a frame, of a frame recovering from a loss and of a reset pair recovering
// from one, with lost surfaces refused and usable, without and with a
// clipper (asked for once per pass at most). The next frame equals the first.
TEST_P(Soak, ALossAtEveryCallIsMendedByTheNextFrame)
{
    ddrawtest::setBusyBlitter(2);
    const auto loseAll = [this] { ASSERT_TRUE(ddrawtest::loseAllSurfaces(directDraw.get())); };
    const std::function<void(bool)> steps[] = {[this](bool requeue) { frame(requeue, true); },
                                               [&](bool requeue) { loseAll(), frame(requeue, true); },
                                               [&](bool) { loseAll(), hostReset(); }};
    size_t cases = 0;
    for (int variant = 0; variant < 4; ++variant) {
        ddrawtest::setLostSurfacesUsable(variant % 2 == 1);
        if (variant == 2)
            clipTarget(RECT{0, 0, LONG(kWidth), LONG(kHeight)});
        textures.clear();
        renderer = std::make_unique<CDDRender>(&device, 0, false);
        renderer->setTargetSurface(target);
        makeScene();
        const std::vector<uint8_t> reference = frame(true);
        for (size_t k = 0; k < std::size(steps); ++k) {
            std::map<std::string, unsigned long> calls; // of a frame that queues again and of one that does not
            for (const bool requeue : {true, false}) {
                ddrawtest::reset();
                steps[k](requeue);
                EXPECT_LE(ddrawtest::callCount("GetClipper"), 1u);
                for (size_t i = 0; const char* op = ddrawtest::countedOperation(i); ++i)
                    calls[op] = std::max(calls[op], ddrawtest::callCount(op));
                ddrawtest::reset();
                target->Restore();
                frame(true);
            }
            for (const auto& [op, count] : calls)
                for (unsigned nth = op == calls.begin()->first ? 0 : 1; nth <= count; ++nth, ++cases) {
                    if (nth == 0) // between two frames
                        loseAll();
                    else
                        ASSERT_TRUE(ddrawtest::loseAllSurfacesOn(op.c_str(), nth, directDraw.get()));
                    steps[k](nth % 2 == 0);
                    ddrawtest::reset();
                    target->Restore(); // the host's own
                    ASSERT_EQ(frame(nth % 2 == 1), reference)
                        << "lost at " << op << " #" << nth << " of step " << k << ", variant " << variant;
                }
        }
    }
    EXPECT_EQ(failedResets, 0) << "a loss during the reset pair is not raised";
    std::printf("[ sweep ] blend mode %d, %s: %zu losses\n", device.blendMode, format().name, cases);
}

// A clipped target: what lies outside the clip list keeps the host's pixels,
// what lies inside is the unclipped frame.
TEST_P(Soak, AClippedTargetIsWrittenOnlyInsideItsClipList)
{
    renderer = std::make_unique<CDDRender>(&device, 0, false);
    renderer->setSoftEdges(std::get<0>(GetParam()) >= 10);
    renderer->setTargetSurface(target);
    makeScene();
    const std::vector<uint8_t> reference = frame(true);
    renderer->clearQueue();
    const std::vector<uint8_t> background = frame(false);
    ASSERT_NE(reference, background);

    const LONG split = 37;
    clipTarget(RECT{0, 0, split, LONG(kHeight)});
    const std::vector<uint8_t> clipped = frame(true);
    const size_t bytes = format().depth / 8;
    const size_t row = kWidth * bytes;
    ASSERT_EQ(clipped.size(), reference.size());
    for (size_t i = 0; i < clipped.size(); ++i) {
        const bool inside = (i % row) / bytes < size_t(split);
        ASSERT_EQ(clipped[i], inside ? reference[i] : background[i])
            << "pixel " << (i % row) / bytes << ", " << i / row << (inside ? " inside" : " outside");
    }
    if (format().depth != 16 || format().pixelFormat != 0)
        return;
    // 32-bit textures on the 16-bit target: the clip list is in other pixels
    // than the kernels', so nothing is blended, and the blends count as such:
    // the translucent quad, and with soft edges two more of the skin's.
    ASSERT_EQ(directDraw.get()->SetDisplayMode(640, 480, 32), DD_OK);
    hostReset();
    const std::vector<uint8_t> wider = frame(true);
    EXPECT_EQ(renderer->getFrameStatistics().skipped[ZorvUISystem::FrameStatistics::SKIP_UNSUPPORTED_MODE],
              device.blendMode == 0           ? 0u
              : std::get<0>(GetParam()) >= 10 ? 3u
                                              : 1u);
    for (size_t i = 0; i < wider.size(); ++i)
        ASSERT_TRUE((i % row) / bytes < size_t(split) || wider[i] == background[i]) << "pixel " << i / bytes;
}

INSTANTIATE_TEST_SUITE_P(BlendModesAndFormats, Soak,
                         ::testing::Combine(::testing::Values(0, 1, 2, 11, 12), ::testing::Values(0, 1, 2, 3)),
                         [](const ::testing::TestParamInfo<std::tuple<int32_t, int>>& info) {
                             const int32_t mode = std::get<0>(info.param);
                             return "mode" + std::to_string(mode % 10) + (mode >= 10 ? "_soft_" : "_") +
                                    kFormats[std::get<1>(info.param)].name;
                         });

} // namespace
