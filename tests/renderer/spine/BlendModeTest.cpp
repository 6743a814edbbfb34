// The blend mode a renderer settles on, from the host's preference and the
// processor's MMX flag, and the buffer texture that only mode 0 has.
#include <cstdint>
#include <limits>
#include <ostream>

#include <gtest/gtest.h>

#include "ProcessorFeaturesOverride.h"
#include "SoftwareDirectDraw.h"
#include "TestRenderDevice.h"
#include "renderer/CDDRender.h"

namespace {

using ZorvUISystem::CDDRender;

struct BlendCase {
    int32_t preference;
    uint32_t features;
    int32_t mode;
    bool hasMmx;
};

void PrintTo(const BlendCase& c, std::ostream* out)
{
    *out << "preference " << c.preference << ", features 0x" << std::hex << c.features;
}

class BlendModeTest : public ::testing::TestWithParam<BlendCase> {
protected:
    void SetUp() override { ASSERT_NE(directDraw.get(), nullptr); }
    void TearDown() override { ZorvUISystem::setProcessorFeaturesOverride(nullptr); }

    ZivTest::SoftwareDirectDraw directDraw;
};

TEST_P(BlendModeTest, PreferenceAndMmxGiveTheMode)
{
    const BlendCase& c = GetParam();
    ZorvUISystem::setProcessorFeaturesOverride(&c.features);
    ZivTest::TestRenderDevice device(directDraw.get(), 320.0f, 200.0f);
    device.blendMode = c.preference;
    CDDRender renderer(&device, 0, false);
    EXPECT_EQ(renderer.blendMode(), c.mode);
    EXPECT_EQ(renderer.hasMmx(), c.hasMmx);
    EXPECT_EQ(renderer.bufferTexture() != nullptr, c.mode == 0);
}

constexpr uint32_t kMmx = 0x00800000u;
constexpr uint32_t kAllButMmx = ~kMmx;

INSTANTIATE_TEST_SUITE_P(Preferences, BlendModeTest,
                         ::testing::Values(BlendCase{0, kMmx, 0, true}, BlendCase{1, kMmx, 1, true},
                                           BlendCase{2, kMmx, 2, true}, BlendCase{7, kMmx, 2, true},
                                           BlendCase{-1, kMmx, 2, true}, BlendCase{0, 0, 0, false},
                                           BlendCase{1, 0, 0, false}, BlendCase{2, 0, 0, false},
                                           BlendCase{7, kAllButMmx, 0, false}, BlendCase{1, ~0u, 1, true}));

TEST(RendererConstruction, DisplayStateFollowsTheTruncatedTargetSize)
{
    ZivTest::SoftwareDirectDraw directDraw;
    ASSERT_NE(directDraw.get(), nullptr);
    ZivTest::TestRenderDevice device(directDraw.get(), 800.9f, 600.2f);
    CDDRender renderer(&device, 0, true);
    const RECT& area = renderer.displayArea();
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right, 800);
    EXPECT_EQ(area.bottom, 600);
    EXPECT_EQ(renderer.directDraw(), directDraw.get());
    EXPECT_EQ(renderer.targetSurface(), nullptr);
    EXPECT_NE(renderer.scratchTexture(), nullptr);
}

} // namespace
