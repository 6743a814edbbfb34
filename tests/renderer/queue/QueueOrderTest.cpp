// The render queue keeps quads by depth, largest first, equal depths in
// submission order, however the quads arrive: back to front (each quad
// belongs at the end), front to back, at random, with many equal depths,
// signed zeros, infinities and depths that are not numbers.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingDirectDraw.h"
#include "TestRenderDevice.h"
#include "renderer/CDDRender.h"

namespace ZivTest {
namespace {

using ZorvUISystem::CDDRender;
using ZorvUISystem::DepthGreater;

class QueueOrderTest : public ::testing::Test {
protected:
    // Queues one quad per depth (auxValue = submission index) and returns the
    // indices in queue order.
    std::vector<uint32_t> queueOrder(const std::vector<float>& depths)
    {
        renderer.clearQueue();
        for (size_t i = 0; i < depths.size(); ++i)
            renderer.queueQuad({0, 0, 1, 1}, depths[i], nullptr, {0, 0, 1, 1}, {0, 0, 0, 0}, uint32_t(i));
        std::vector<uint32_t> order;
        for (const auto& entry : renderer.quadQueue())
            order.push_back(entry.second.auxValue);
        return order;
    }

    // The order the queue must have: a stable sort by depth, largest first,
    // numbers before anything that is not one.
    static std::vector<uint32_t> expectedOrder(const std::vector<float>& depths)
    {
        std::vector<uint32_t> order(depths.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = uint32_t(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return DepthGreater{}(depths[a], depths[b]); });
        return order;
    }

    RecordingDirectDraw dd;
    TestRenderDevice device{&dd, 64.0f, 48.0f};
    CDDRender renderer{&device, 0, false};
};

TEST_F(QueueOrderTest, BackToFrontFrontToBackAndRandomSubmissionsSortTheSame)
{
    std::mt19937 random(11);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> palette = {1.0f, 0.75f, 0.5f, 0.5f, 0.25f, 0.0f, -0.0f, -1.0f, inf, -inf, nan};
    for (int round = 0; round < 50; ++round) {
        std::vector<float> depths(size_t(1 + round * 7));
        for (float& z : depths)
            z = palette[std::uniform_int_distribution<size_t>(0, palette.size() - 1)(random)];
        EXPECT_EQ(queueOrder(depths), expectedOrder(depths)) << "random, round " << round;
        std::stable_sort(depths.begin(), depths.end(), DepthGreater{});
        EXPECT_EQ(queueOrder(depths), expectedOrder(depths)) << "back to front, round " << round;
        std::reverse(depths.begin(), depths.end());
        EXPECT_EQ(queueOrder(depths), expectedOrder(depths)) << "front to back, round " << round;
        // Back to front with a quad now and then that belongs further back.
        std::stable_sort(depths.begin(), depths.end(), DepthGreater{});
        for (size_t i = 3; i < depths.size(); i += 5)
            std::swap(depths[i], depths[i - 3]);
        EXPECT_EQ(queueOrder(depths), expectedOrder(depths)) << "mostly back to front, round " << round;
    }
}

TEST_F(QueueOrderTest, EqualDepthsKeepSubmissionOrderAcrossSeparateSubmissions)
{
    // The same depth again after a deeper and a shallower quad: it joins the
    // end of its equals, not the end of the queue.
    EXPECT_EQ(queueOrder({0.5f, 1.0f, 0.5f, 0.25f, 0.5f, 1.0f}), (std::vector<uint32_t>{1, 5, 0, 2, 4, 3}));
}

} // namespace
} // namespace ZivTest
