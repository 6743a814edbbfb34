// The render queue keeps quads by depth, largest first, equal depths in
// submission order, however the quads arrive: back to front (each quad
// belongs at the end), front to back, at random, with many equal depths,
// signed zeros, infinities and depths that are not numbers; queues of many
// blocks whose depths use every bit of the float; quads added after a walk;
// and quads removed with their texture.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingDirectDraw.h"
#include "TestRenderDevice.h"
#include "renderer/CDDRender.h"

namespace ZivTest {
namespace {

using ZorvUISystem::CDDRender;
using ZorvUISystem::DepthQueue;
using ZorvUISystem::QueuedQuad;

// The order the queue keeps: largest depth first, what is not a number last.
const auto depthGreater = [](float a, float b) { return !std::isnan(a) && (std::isnan(b) || a > b); };

std::vector<uint32_t> auxValues(const DepthQueue& queue)
{
    std::vector<uint32_t> order;
    for (const QueuedQuad& quad : queue)
        order.push_back(quad.auxValue);
    return order;
}

class QueueOrderTest : public ::testing::Test {
protected:
    // Queues one quad per depth (auxValue = submission index) and returns the
    // indices in queue order.
    std::vector<uint32_t> queueOrder(const std::vector<float>& depths)
    {
        renderer.clearQueue();
        for (size_t i = 0; i < depths.size(); ++i)
            renderer.queueQuad({0, 0, 1, 1}, depths[i], nullptr, {0, 0, 1, 1}, {0, 0, 0, 0}, uint32_t(i));
        EXPECT_TRUE(renderer.quadQueue().orderedWithoutAllocating()) << depths.size() << " quads";
        return auxValues(renderer.quadQueue());
    }

    // The order the queue must have: a stable sort by depth, largest first,
    // numbers before anything that is not one.
    static std::vector<uint32_t> expectedOrder(const std::vector<float>& depths)
    {
        std::vector<uint32_t> order(depths.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = uint32_t(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return depthGreater(depths[a], depths[b]); });
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
        std::stable_sort(depths.begin(), depths.end(), depthGreater);
        EXPECT_EQ(queueOrder(depths), expectedOrder(depths)) << "back to front, round " << round;
        std::reverse(depths.begin(), depths.end());
        EXPECT_EQ(queueOrder(depths), expectedOrder(depths)) << "front to back, round " << round;
        // Back to front with a quad now and then that belongs further back.
        std::stable_sort(depths.begin(), depths.end(), depthGreater);
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

TEST_F(QueueOrderTest, LargeQueuesOfArbitraryDepthBitsSortStably)
{
    // Every bit pattern a float can have (subnormals, both zeros, NaNs of
    // either sign), few distinct high bytes, and sizes across the sorting
    // strategies and block boundaries.
    std::mt19937 random(5);
    for (size_t n : {255u, 1023u, 1024u, 1025u, 4099u, 20000u}) {
        std::vector<float> depths(n);
        for (size_t i = 0; i < n; ++i) {
            const uint32_t bits = random();
            depths[i] = std::bit_cast<float>(i % 3 == 0 ? bits : (bits & 0x800000FFu) | 0x3F000000u);
        }
        EXPECT_EQ(queueOrder(depths), expectedOrder(depths)) << n << " quads";
    }
}

TEST(DepthQueue, QuadsAddedOrRemovedAfterAWalkTakeTheirPlace)
{
    DepthQueue queue;
    std::vector<float> depths;
    std::mt19937 random(3);
    auto add = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const float z = float(random() % 64) / 8.0f;
            QueuedQuad quad{};
            quad.z = z;
            quad.auxValue = uint32_t(depths.size());
            // Every third quad draws from "texture" 1.
            quad.texture = reinterpret_cast<ZorvUISystem::Texture*>(uintptr_t(quad.auxValue % 3 == 1 ? 1 : 2));
            depths.push_back(z);
            queue.push(quad);
        }
    };
    auto expected = [&] {
        std::vector<uint32_t> order;
        for (uint32_t i = 0; i < depths.size(); ++i)
            if (!std::isnan(depths[i]))
                order.push_back(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return depthGreater(depths[a], depths[b]); });
        return order;
    };
    add(1500);
    EXPECT_EQ(auxValues(queue), expected());
    EXPECT_EQ(auxValues(queue), expected()) << "a second walk";
    add(300);
    EXPECT_EQ(auxValues(queue), expected()) << "quads added after a walk";
    queue.eraseIf([](const QueuedQuad& q) { return q.texture == reinterpret_cast<ZorvUISystem::Texture*>(1); });
    for (uint32_t i = 1; i < depths.size(); i += 3)
        depths[i] = std::numeric_limits<float>::quiet_NaN(); // marks the removed ones
    EXPECT_EQ(queue.size(), 1800u - 600u);
    EXPECT_EQ(auxValues(queue), expected()) << "after removing a texture's quads";
    queue.clear();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.begin(), queue.end());
    depths.clear();
    add(40);
    EXPECT_EQ(auxValues(queue), expected()) << "refilled after clearing";
    // Frames that queue the same depths again (the last order serves), one
    // with a single depth moved (it does not), going back and forth between
    // the two (each kept order serves in turn), and a third.
    const std::vector<float> first = depths;
    for (int frame = 0; frame < 7; ++frame) {
        std::vector<float> next = first;
        if (frame == 2 || frame == 4)
            next[7] = -1.0f;
        if (frame == 6)
            next[9] = 9.0f;
        queue.clear();
        depths.clear();
        for (const float z : next) {
            QueuedQuad quad{};
            quad.z = z;
            quad.auxValue = uint32_t(depths.size());
            depths.push_back(z);
            queue.push(quad);
        }
        EXPECT_EQ(auxValues(queue), expected()) << "frame " << frame;
    }
}

} // namespace
} // namespace ZivTest
