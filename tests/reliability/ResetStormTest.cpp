// The reset storm: hundreds of prepareForReset / postD3DReset cycles with
// display size changes, display depth changes, lost surfaces, failing
// reloads and a missing DirectDraw object, interleaved with frames. After the
// last reset every reloadable texture's pixels read back exactly as they did
// before the first, nothing was ever written outside a surface, and
// destroying the renderer gives back every surface.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "HostHarness.h"
#include "SurfaceAccess.h"
#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

namespace {

using ZivReliability::corners;
using ZivReliability::pngFile;
using ZivReliability::surfaceRows;
using ZivReliability::testPixels;
using ZorvUISystem::CDDRender;
using ZorvUISystem::CDDTexture;
using ZorvUISystem::Texture;

constexpr int kCyclesPerBlendMode = 200;

struct Snapshot {
    std::vector<uint8_t> colour;
    std::vector<uint8_t> alpha;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(Texture* texture)
{
    auto* t = static_cast<CDDTexture*>(texture);
    Snapshot s;
    s.colour = surfaceRows(t->colourSurface());
    if (t->alphaSurface() != t->colourSurface())
        s.alpha = surfaceRows(t->alphaSurface());
    return s;
}

class ResetStorm : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override
    {
        ddrawtest::reset();
        ASSERT_NE(directDraw.get(), nullptr);
        ZivTest::writeFile(files.path() + "/frame.png", pngFile(6, 6, true, 31));
        DDSURFACEDESC desc = ZivTest::offscreenSurfaceDesc(128, 96);
        ASSERT_EQ(directDraw.get()->CreateSurface(&desc, &target, nullptr), DD_OK);
    }
    void TearDown() override
    {
        ddrawtest::reset();
        if (target != nullptr)
            target->Release();
        directDraw.get()->RestoreDisplayMode();
    }

    // One frame: a quad of every texture, at random places and sizes, some
    // stretched, translucent or tinted. A reload that fails while drawing
    // raises with a loader's text.
    void frame(CDDRender& renderer, const std::vector<Texture*>& textures)
    {
        static const uint32_t colours[] = {0xFFFFFFFF, 0x80FFFFFF, 0xFF8040C0, 0xC0FFFFFF};
        renderer.setTargetSurface(target);
        for (Texture* texture : textures) {
            const float x = float(random() % 80) - 8.0f;
            const float y = float(random() % 60) - 8.0f;
            const float scale = (random() % 3 == 0) ? 1.0f + float(random() % 3) : 1.0f;
            const float w = float(texture->getWidth() ? texture->getWidth() : 4);
            const float h = float(texture->getHeight() ? texture->getHeight() : 4);
            renderer.queueQuad({x, y, x + w * scale, y + h * scale}, float(random() % 4), texture, {0, 0, w, h},
                               corners(colours[random() % 4]), 0);
        }
        try {
            renderer.renderQueue();
        } catch (const std::exception& e) {
            EXPECT_TRUE(ZivExpect::isLoaderText(e.what())) << e.what();
            ++failedReloads;
        }
        renderer.clearQueue();
        ASSERT_TRUE(ddrawtest::guardsIntact()) << "a surface was written outside its pixels";
    }

    // postD3DReset, tried again (without faults) until the renderer is ready.
    void reset(CDDRender& renderer)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            bool changed = false;
            try {
                renderer.postD3DReset(&changed);
            } catch (const std::exception& e) {
                const std::string text = e.what();
                EXPECT_TRUE(text == ZivExpect::kNoDirectDraw || ZivExpect::isLoaderText(text)) << text;
                ++failedResets;
            }
            ddrawtest::reset();
            device->directDraw = directDraw.get();
            if (renderer.scratchTexture() != nullptr)
                return;
        }
        FAIL() << "the renderer does not come back from a reset";
    }

    uint32_t random() { return static_cast<uint32_t>(rng()); }

    std::mt19937 rng{20240611};
    ZivTest::SoftwareDirectDraw directDraw;
    ZivTest::TempDirectory files;
    IDirectDrawSurface* target = nullptr;
    ZivTest::TestRenderDevice* device = nullptr;
    int failedReloads = 0;
    int failedResets = 0;
};

TEST_P(ResetStorm, EveryTextureComesBackAsItWas)
{
    ZivTest::TestRenderDevice hostDevice(directDraw.get(), 64.0f, 48.0f);
    hostDevice.blendMode = GetParam();
    device = &hostDevice;
    {
        CDDRender renderer(&hostDevice, 0, false);

        // Every reloadable kind of texture, and one that is only restored.
        std::vector<Texture*> reloadable;
        const std::vector<uint8_t> rgba = pngFile(9, 7, true, 32);
        const std::vector<uint8_t> rgb = pngFile(5, 5, false, 33);
        reloadable.push_back(renderer.createTexture(rgba.data(), uint32_t(rgba.size())));
        reloadable.push_back(renderer.createTexture(rgb.data(), uint32_t(rgb.size())));
        reloadable.push_back(renderer.createTexture("frame.png", files.path().c_str()));
        for (uint32_t size : {7u, 1u}) {
            Texture* memory = renderer.createTexture();
            memory->setMemoryTexture(true);
            const std::vector<uint8_t> pixels = testPixels(size, size == 1 ? 1 : 3, true, 34 + size);
            memory->loadFromMemory(pixels.data(), size, size == 1 ? 1 : 3, ZorvUISystem::BUFFER_RGBA);
            reloadable.push_back(memory);
        }
        Texture* restoreOnly = renderer.createTexture(12.0f);
        const std::vector<uint8_t> pixels = testPixels(4, 4, false, 40);
        restoreOnly->loadFromMemory(pixels.data(), 4, 4, ZorvUISystem::BUFFER_RGB);
        IDirectDrawSurface* restoreOnlySurface = static_cast<CDDTexture*>(restoreOnly)->colourSurface();

        std::vector<Snapshot> before;
        for (Texture* texture : reloadable) {
            ASSERT_FALSE(static_cast<CDDTexture*>(texture)->restoreOnly());
            before.push_back(snapshot(texture));
        }
        std::vector<Texture*> all = reloadable;
        all.push_back(restoreOnly);

        static const DWORD depths[] = {16, 24, 8, 32};
        static const float sizes[][2] = {{64, 48}, {96.6f, 80.2f}, {17, 9}, {128, 96}, {1, 1}, {64, 48}};
        DWORD depth = 32;
        int cycles = 0;
        for (int cycle = 0; cycle < kCyclesPerBlendMode; ++cycle) {
            frame(renderer, all);
            // Surfaces lost on their own, or all of them by a mode change.
            if (random() % 4 == 0) {
                auto* t = static_cast<CDDTexture*>(all[random() % all.size()]);
                if (t->colourSurface() != nullptr)
                    ddrawtest::markLost(random() % 2 ? t->colourSurface() : t->alphaSurface());
            }
            if (random() % 5 == 0) {
                depth = depths[random() % 4];
                directDraw.get()->SetDisplayMode(640, 480, depth);
                target->Restore();
            }
            renderer.prepareForReset();
            if (random() % 7 == 0)
                renderer.prepareForReset();
            if (random() % 9 == 0)
                frame(renderer, all); // drawn while the reset is pending
            const auto& size = sizes[random() % 6];
            hostDevice.width = size[0];
            hostDevice.height = size[1];
            // Reloads that fail, and a device without DirectDraw.
            const uint32_t trouble = random() % 7;
            switch (trouble) {
            case 0:
                ddrawtest::failNext("CreateSurface", DDERR_OUTOFVIDEOMEMORY, 1 + random() % 12);
                break;
            case 1:
                ddrawtest::failNext("Lock", DDERR_SURFACEBUSY, 1 + random() % 6);
                break;
            case 2:
                hostDevice.directDraw = nullptr;
                break;
            default:
                break;
            }
            reset(renderer);
            if (trouble == 3 || random() % 3 == 0) // reloads that fail while drawing
                ddrawtest::failNext(random() % 2 ? "CreateSurface" : "Lock", DDERR_GENERIC, 1 + random() % 4);
            frame(renderer, all);
            ddrawtest::reset();
            EXPECT_EQ(static_cast<CDDTexture*>(restoreOnly)->colourSurface(), restoreOnlySurface)
                << "a restore-only texture keeps its surfaces";
            ++cycles;
        }

        // The last reset, in the first display mode and size, without faults.
        if (depth != 32) {
            directDraw.get()->SetDisplayMode(640, 480, 32);
            target->Restore();
        }
        hostDevice.width = 64.0f;
        hostDevice.height = 48.0f;
        renderer.prepareForReset();
        bool changed = false;
        renderer.postD3DReset(&changed);
        frame(renderer, all);
        for (size_t i = 0; i < reloadable.size(); ++i)
            EXPECT_TRUE(snapshot(reloadable[i]) == before[i]) << "texture " << i << " differs after the storm";

        std::printf("[ reset storm ] blend mode %d: %d cycles, %d failed resets, %d reloads failed while drawing\n",
                    GetParam(), cycles, failedResets, failedReloads);
        EXPECT_GT(failedResets, 0);
        EXPECT_GT(failedReloads + failedResets, kCyclesPerBlendMode / 10);
    }
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), 1u) << "only the host's target is left";
}

INSTANTIATE_TEST_SUITE_P(BlendModes, ResetStorm, ::testing::Values(0, 1, 2));

} // namespace
