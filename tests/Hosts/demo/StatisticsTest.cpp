// The renderer's per-frame statistics in the demo: every quad of a frame
// rendered through the real module is counted, the counts read as text, and
// the page shows each frame's text under that frame.
#include <gtest/gtest.h>

#include "DemoRun.h"
#include "Page.h"
#include "TargetFormat.h"

using namespace zivdemo;

namespace {

// A wallpaper of opaque tiles, a translucent nine-slice panel, a tinted
// button and a quad right of the display.
const char* const kScene = R"({
  "name": "counted", "size": [96, 64],
  "textures": {
    "wallpaper": {"pixels": "wallpaper.png", "rgb": true},
    "panel": {"file": "panel.png"},
    "buttons": {"pixels": "buttons.png"}
  },
  "groups": {
    "all": [{"texture": "wallpaper", "tile": "display", "z": 1},
            {"texture": "panel", "nine": [20, 10, 50, 40], "border": [12, 12, 12, 12], "z": 0.3,
             "colour": "#C0FFFFFF"},
            {"texture": "buttons", "src": [0, 0, 40, 20], "at": [4, 30], "z": 0.2, "colour": "#FF80C0FF"},
            {"texture": "buttons", "src": [0, 0, 40, 20], "at": [200, 30], "z": 0.2}]
  },
  "frames": [{"name": "only", "groups": ["all"]}]
})";

FrameResult renderOnly(TargetFormat format, int32_t blendMode)
{
    ModuleLibrary module(ZIV_MODULE_PATH);
    const Scene scene = parseScene(kScene, "counted.json", ZIV_DEMO_ASSETS);
    RunSettings settings;
    settings.format = format;
    settings.blendMode = blendMode;
    settings.width = scene.width;
    settings.height = scene.height;
    RunResult result = runScene(module.api(), scene, loadResources(scene), settings);
    return std::move(result.frames.at(0));
}

} // namespace

TEST(DemoStatistics, EveryQuadOfAFrameIsCountedOnItsPath)
{
    using FS = ZorvUISystem::FrameStatistics;
    for (int32_t blendMode : {0, 2}) {
        const FrameResult frame = renderOnly(TargetFormat::Rgb565, blendMode);
        const FS& s = frame.statistics;
        EXPECT_EQ(s.quads(), frame.quads) << "blend mode " << blendMode;
        EXPECT_EQ(s.skipped[FS::SKIP_OFF_DISPLAY], 1u) << "blend mode " << blendMode;
        // 96 x 64 of wallpaper in 64 x 64 tiles: two copies without a key.
        EXPECT_EQ(s.plainCopy.quads, 2u);
        EXPECT_EQ(s.plainCopy.pixels, 96u * 64u);
        EXPECT_NE(s.simdLevel[0], '\0');
        if (blendMode == 0) {
            EXPECT_EQ(s.blended().quads, 0u);
            EXPECT_EQ(s.bufferCopy.pixels, 96u * 64u);
        } else {
            // With soft edges: the nine slices of the panel and the button,
            // all in 565, blended by their texels' alpha.
            EXPECT_EQ(s.texelAlphaBlend[1].quads, 10u);
            EXPECT_EQ(s.texelAlphaBlend[1].pixels, 50u * 40u + 40u * 20u);
            EXPECT_EQ(s.bufferCopy.quads, 0u);
        }
    }
}

TEST(DemoStatistics, CountsReadAsText)
{
    ZorvUISystem::FrameStatistics s{};
    EXPECT_EQ(describeStatistics(s), "nothing drawn; kernels ?");
    s.plainCopy = {2, 6144};
    s.blend[ZorvUISystem::FrameStatistics::KERNEL_ALPHA][4] = {3, 120};
    s.stretchedBlend = {1, 20};
    s.skipped[ZorvUISystem::FrameStatistics::SKIP_FAILED_LOCK] = 4;
    const char level[8] = {'a', 'v', 'x', '2', 0, 'x', 'x', 'x'};
    std::copy(std::begin(level), std::end(level), s.simdLevel);
    EXPECT_EQ(describeStatistics(s), "plain copy 2 (6144 px); blend alpha 32-bit 3 (120 px); of them stretched "
                                     "first 1 (20 px); skipped, failed lock 4; kernels avx2");
}

TEST(DemoStatistics, ThePageShowsEachFramesCountsUnderIt)
{
    PageInfo page;
    page.scene = "counted";
    PageRun run{"RGB 565, blend mode 2", "", "", {}};
    run.frames.push_back({"a.png", "a", 96, 64, 4, 0.1, 0, "", false});
    run.frames.push_back({"b.png", "b", 96, 64, 4, 0.1, 0, "", false});
    page.runs = {run};
    page.statistics["b.png"] = "keyed copy 1 (16 px) <&>";
    const std::string html = renderPage(page);
    const size_t b = html.find("data-frame=\"b.png\"");
    const size_t paths = html.find("<span class=\"paths\">keyed copy 1 (16 px) &lt;&amp;&gt;</span>");
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(paths, std::string::npos);
    EXPECT_GT(paths, b);
    EXPECT_EQ(html.find("<span class=\"paths\">", paths + 1), std::string::npos) << "frame a has no counts";
}
