// A renderer's display state as a host reads it through the loaded module.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModuleLoader.h"
#include "RecordingPlugin.h"
#include "SoftwareDirectDraw.h"
#include "TempDirectory.h"
#include "TestRenderDevice.h"
#include "ddraw_test.h"

namespace {

class DisplayStateTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(directDraw.get(), nullptr) << "DirectDrawCreate failed: " << directDraw.result; }
    void TearDown() override
    {
        if (renderer != nullptr)
            module.destroyRenderer(renderer);
    }

    ZorvUISystem::Renderer* create(float width, float height)
    {
        device.width = width;
        device.height = height;
        renderer = module.createRenderer(&device, 0, false, nullptr, 0, 0);
        EXPECT_NE(renderer, nullptr) << module.getLastErrorString();
        return renderer;
    }

    ZivTest::ZivModule module;
    ZivTest::SoftwareDirectDraw directDraw;
    ZivTest::TestRenderDevice device{directDraw.get()};
    ZorvUISystem::Renderer* renderer = nullptr;
};

TEST_F(DisplayStateTest, FractionalTargetSizeIsTruncated)
{
    ZorvUISystem::Renderer* r = create(800.9f, 600.2f);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->getDisplayWidth(), 800.0f);
    EXPECT_EQ(r->getDisplayHeight(), 600.0f);
    float width = -1, height = -1;
    r->getDisplaySize(&width, &height);
    EXPECT_EQ(width, 800.0f);
    EXPECT_EQ(height, 600.0f);
    float left = -1, top = -1, right = -1, bottom = -1;
    r->getDisplayRect(&left, &top, &right, &bottom);
    EXPECT_EQ(left, 0.0f);
    EXPECT_EQ(top, 0.0f);
    EXPECT_EQ(right, 800.0f);
    EXPECT_EQ(bottom, 600.0f);
    EXPECT_EQ(r->getTextureSizeLimit(), 600u);
}

TEST_F(DisplayStateTest, TextureSizeLimitIsTheSmallerSide)
{
    ZorvUISystem::Renderer* r = create(300.7f, 1024.5f);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->getTextureSizeLimit(), 300u);
    float left = -1, top = -1, right = -1, bottom = -1;
    r->getDisplayRect(&left, &top, &right, &bottom);
    EXPECT_EQ(right, 300.0f);
    EXPECT_EQ(bottom, 1024.0f);
}

TEST_F(DisplayStateTest, IdentifierDpiAndQueueing)
{
    ZorvUISystem::Renderer* r = create(1280.0f, 1024.0f);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->getIdentifier(), "CDDRender - DirectDraw  based renderer module");
    EXPECT_EQ(r->getDpiX(), 96u);
    EXPECT_EQ(r->getDpiY(), 96u);
    EXPECT_TRUE(r->isQueueing());
    r->setQueueing(false);
    EXPECT_FALSE(r->isQueueing());
    r->setQueueing(true);
    EXPECT_TRUE(r->isQueueing());
}

TEST_F(DisplayStateTest, ConstructionAsksTheDeviceInOrderAndOnce)
{
    device.blendMode = 1;
    ASSERT_NE(create(640.0f, 480.0f), nullptr);
    ASSERT_GE(device.calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(device.calls.begin(), device.calls.begin() + 3),
              (std::vector<std::string>{"getDirectDraw", "getBlendMode", "getTargetSize"}));
    EXPECT_EQ(device.count("getDirectDraw"), 1u);
    EXPECT_EQ(device.count("getBlendMode"), 1u);
    EXPECT_EQ(device.count("getTargetSize"), 1u);
    EXPECT_EQ(device.count("reservedDeviceOperation"), 0u);
}

TEST_F(DisplayStateTest, TargetSurfaceIsNeitherReferencedNorReleased)
{
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 64;
    desc.dwHeight = 32;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface* target = nullptr;
    ASSERT_GE(directDraw.get()->CreateSurface(&desc, &target, nullptr), 0);
    ASSERT_NE(target, nullptr);

    ZorvUISystem::Renderer* r = create(640.0f, 480.0f);
    ASSERT_NE(r, nullptr);
    r->setTargetSurface(target);
    r->setTargetSurface(nullptr);
    r->setTargetSurface(target);
    module.destroyRenderer(r);
    renderer = nullptr;
    // Only the reference from CreateSurface is left.
    EXPECT_EQ(target->AddRef(), 2u);
    EXPECT_EQ(target->Release(), 1u);
    EXPECT_EQ(target->Release(), 0u);
}

TEST_F(DisplayStateTest, FailedSurfaceCreationDuringConstructionLeavesNothingBehind)
{
    ZivTest::TempDirectory directory;
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 1;
    const std::string loggerDirectory = directory.prefix();
    const std::string failure =
        "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_OUTOFVIDEOMEMORY)";
    const size_t liveBefore = ddrawtest::liveSurfaceCount();

    // Blend mode 0 makes four surfaces: scratch colour and alpha, then buffer
    // colour and alpha. Each one in turn fails.
    device.blendMode = 0;
    for (unsigned nth = 1; nth <= 4; ++nth) {
        ddrawtest::reset();
        ASSERT_TRUE(ddrawtest::failNext("CreateSurface", DDERR_OUTOFVIDEOMEMORY, nth));
        plugin.record.calls.clear();
        EXPECT_EQ(module.createRenderer(&device, 0, false, loggerDirectory.c_str(), 0, 0), nullptr) << nth;
        EXPECT_EQ(ddrawtest::armedFaults(), 0u) << nth;
        EXPECT_EQ(ddrawtest::liveSurfaceCount(), liveBefore) << "surfaces left behind, failing call " << nth;
        EXPECT_EQ(module.getLastErrorString(), "ziv --> createRenderer() error : " + failure) << nth;
        // The factory logs the text alone, last.
        const auto messages = plugin.record.callsTo("logMessage");
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().args, (std::vector<std::string>{failure, "1"})) << nth;
    }
    ddrawtest::reset();

    // Nothing is left half-made: the next creation succeeds.
    ZorvUISystem::Renderer* r = create(640.0f, 480.0f);
    ASSERT_NE(r, nullptr);
}

} // namespace
