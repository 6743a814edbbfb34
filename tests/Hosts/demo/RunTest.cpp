// A run of a scene through the real module: loading the module, failures of
// the renderer and of textures reaching the user with their reasons, the
// device reset (textures from raw pixels are given their pixels again), and
// the check that a frame equals an earlier one.
#include <gtest/gtest.h>

#include <cstring>

#include "DemoRun.h"
#include "TargetFormat.h"

using namespace zivdemo;

namespace {

std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

// A small scene over the demo's skin: a desktop, a button drawn from raw
// pixels that the module does not keep, a translucent panel, and a frame
// after a reset to a larger size that must equal the first.
const char* const kScene = R"({
  "name": "small", "size": [96, 64], "background": "#204060",
  "textures": {
    "wallpaper": {"pixels": "wallpaper.png", "rgb": true},
    "buttons": {"pixels": "buttons.png"},
    "panel": {"file": "panel.png"},
    "dot": {"fill": "#FFFF8000", "size": [2, 2], "memory": true}
  },
  "groups": {
    "desk": [{"texture": "wallpaper", "tile": "display", "z": 1}],
    "ui": [{"texture": "buttons", "src": [0, 0, 80, 26], "at": [8, 8]},
           {"texture": "panel", "nine": [40, 20, 50, 40], "border": [12, 12, 12, 12], "z": 0.3, "colour": "#C0FFFFFF"},
           {"texture": "dot", "dest": [2, 50, 10, 10], "z": 0.2, "colour": "#FF80FF80"}],
    "other": [{"texture": "buttons", "src": [0, 26, 80, 26], "at": [8, 8]}]
  },
  "frames": [
    {"name": "first", "groups": ["desk", "ui"]},
    {"name": "grown", "reset": {"grow": [32, 16]}, "sameAs": "first", "groups": ["desk", "ui"]},
    {"name": "shrunk", "reset": {"size": [90, 60]}, "sameAs": "first", "groups": ["desk", "ui"]},
    {"name": "changed", "sameAs": "first", "groups": ["desk", "other"]}
  ]
})";

class SceneRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        d_module = std::make_unique<ModuleLibrary>(ZIV_MODULE_PATH);
        d_scene = parseScene(kScene, "small.json", ZIV_DEMO_ASSETS);
        d_resources = loadResources(d_scene);
    }

    RunResult run(TargetFormat format, int32_t blend)
    {
        RunSettings settings;
        settings.format = format;
        settings.blendMode = blend;
        settings.width = d_scene.width;
        settings.height = d_scene.height;
        return runScene(d_module->api(), d_scene, d_resources, settings);
    }

    std::unique_ptr<ModuleLibrary> d_module;
    Scene d_scene;
    SceneResources d_resources;
};

} // namespace

TEST(ModuleLoading, NamesTheModuleAndTheMissingExport)
{
    const std::string missing = errorOf([] { ModuleLibrary("/nonexistent/libziv.so"); });
    EXPECT_EQ(missing.rfind("cannot load the renderer module '/nonexistent/libziv.so': ", 0), 0u) << missing;
    const std::string wrong = errorOf([] { ModuleLibrary library(ZIV_DDRAW_PATH); });
    EXPECT_EQ(wrong.rfind(std::string("the module '") + ZIV_DDRAW_PATH + "' has no export createRenderer", 0), 0u)
        << wrong;
    const ModuleLibrary module(ZIV_MODULE_PATH);
    EXPECT_NE(module.api().createRenderer, nullptr);
    EXPECT_NE(module.api().destroyRenderer, nullptr);
    EXPECT_NE(module.api().getLastErrorString, nullptr);
    EXPECT_NE(module.location().find("libziv.so"), std::string::npos);
}

TEST(RunFailures, RendererCreationFailureCarriesTheModulesReason)
{
    ModuleApi api;
    api.createRenderer = [](ZorvUISystem::RenderDevice*, uint32_t, bool, const char*, uint32_t,
                            uint32_t) -> ZorvUISystem::Renderer* { return nullptr; };
    api.destroyRenderer = [](ZorvUISystem::Renderer*) {};
    api.getLastErrorString = [] { return "CDDRender::CDDRender() --> Renderer device is NULL."; };
    const Scene scene = parseScene(kScene, "small.json", ZIV_DEMO_ASSETS);
    const SceneResources resources = loadResources(scene);
    RunSettings settings;
    settings.width = 96;
    settings.height = 64;
    EXPECT_EQ(errorOf([&] { runScene(api, scene, resources, settings); }),
              "createRenderer failed: CDDRender::CDDRender() --> Renderer device is NULL.");
    api.getLastErrorString = [] { return ""; };
    EXPECT_EQ(errorOf([&] { runScene(api, scene, resources, settings); }), "createRenderer failed: no reason given");
}

TEST(RunFailures, MissingTextureFileNamesTheTextureAndTheModulesMessage)
{
    const ModuleLibrary module(ZIV_MODULE_PATH);
    const Scene scene = parseScene(R"({"name": "t", "textures": {"frame": {"file": "no-such.png"}},
        "groups": {"g": [{"texture": "frame", "dest": [0, 0, 8, 8]}]}, "frames": [{"name": "f", "groups": ["g"]}]})",
                                   "t.json", ZIV_DEMO_ASSETS);
    RunSettings settings;
    settings.width = 16;
    settings.height = 16;
    const std::string message = errorOf([&] { runScene(module.api(), scene, SceneResources(), settings); });
    EXPECT_EQ(message.rfind("texture 'frame' (file no-such.png): ", 0), 0u) << message;
    EXPECT_NE(message.find("load file error"), std::string::npos) << message;
    EXPECT_NE(message.find(ZIV_DEMO_ASSETS "/no-such.png"), std::string::npos) << message;
}

TEST(RunFailures, MissingResourcesAreNamedBeforeAnyRendering)
{
    const Scene scene = parseScene(R"({"name": "t", "textures": {"a": {"pixels": "no-such.png"}},
        "groups": {}, "frames": [{"name": "f", "groups": []}]})",
                                   "t.json", "/nonexistent");
    const std::string message = errorOf([&] { loadResources(scene); });
    EXPECT_EQ(message.rfind("cannot read PNG '/nonexistent/no-such.png': ", 0), 0u) << message;
}

TEST_F(SceneRun, FramesAfterResetsEqualTheFirstInEveryFormatAndBlendMode)
{
    for (TargetFormat format : kAllFormats) {
        for (int32_t blend : {0, 1, 2}) {
            SCOPED_TRACE(std::string(formatInfo(format).name) + " blend " + std::to_string(blend));
            const RunResult result = run(format, blend);
            ASSERT_EQ(result.frames.size(), 4u);
            EXPECT_EQ(result.identifier, "CDDRender - DirectDraw  based renderer module");
            const FrameResult& grown = result.frames[1];
            EXPECT_EQ(grown.name,
                      std::string("small-") + formatInfo(format).name + "-blend" + std::to_string(blend) + "-grown");
            EXPECT_EQ(grown.image.width, 128u);
            EXPECT_EQ(grown.image.height, 80u);
            EXPECT_FALSE(grown.failed) << grown.note;
            EXPECT_EQ(grown.note, "device reset to 128x80; equals 'first' in the shared 96x64");
            const FrameResult& shrunk = result.frames[2];
            EXPECT_FALSE(shrunk.failed) << shrunk.note;
            EXPECT_EQ(shrunk.note, "device reset to 90x60; equals 'first' in the shared 90x60");
            // The wallpaper reaches into the grown part of the target.
            EXPECT_EQ(grown.image.argb(127, 79), grown.image.argb(127 - 64, 79));
            EXPECT_NE(grown.image.argb(127, 79), unpackPixel(format, packColour(format, 0xFF204060u)));
            // The last frame draws another button state: the check reports it.
            const FrameResult& changed = result.frames[3];
            EXPECT_TRUE(changed.failed);
            EXPECT_EQ(changed.note.rfind("differs from 'first' in the shared 90x60: differs at ", 0), 0u)
                << changed.note;
            EXPECT_EQ(result.frames[0].quads, 2u + 9u + 1u + 1u);
        }
    }
}

TEST_F(SceneRun, BlendedPixelsAreCountedOnlyWhereSoftwareBlends)
{
    // Mode 0 blends nothing; modes 1 and 2 blend the panel (50 x 40) and the
    // tinted dot (10 x 10).
    EXPECT_EQ(run(TargetFormat::Rgb565, 0).frames[0].blendedPixels, 0u);
    EXPECT_EQ(run(TargetFormat::Rgb565, 2).frames[0].blendedPixels, 50u * 40u + 100u);
}

TEST(RunSizes, ResetSizesGrowOrReplaceAndStayInRange)
{
    uint32_t w = 640, h = 480;
    resetSize(ResetSpec{true, 160, 120}, w, h);
    EXPECT_EQ(w, 800u);
    EXPECT_EQ(h, 600u);
    resetSize(ResetSpec{false, 320, 200}, w, h);
    EXPECT_EQ(w, 320u);
    EXPECT_EQ(h, 200u);
    EXPECT_EQ(errorOf([&] {
                  resetSize(ResetSpec{true, -320, 0}, w, h);
              }),
              "a reset to 0x200 is outside 1x1 to 4096x4096");
    EXPECT_EQ(w, 320u);
}

// Sizes are checked before anything is rendered: the small scene grows by
// 32x16, then shrinks to 90x60.
TEST_F(SceneRun, ResetSizesAreCheckedBeforeRendering)
{
    EXPECT_NO_THROW(checkResetSizes(d_scene, 4096 - 32, 4096 - 16));
    EXPECT_EQ(errorOf([&] { checkResetSizes(d_scene, 4096, 4000); }),
              "the size 4096x4000 does not suit the scene 'small': in frame 'grown', a reset to 4128x4016 is outside "
              "1x1 to 4096x4096");
}

// A run that fails at a frame keeps the frames rendered before it.
TEST_F(SceneRun, AFailedFrameKeepsTheFramesBeforeIt)
{
    RunSettings settings;
    settings.format = TargetFormat::Rgb565;
    settings.width = 4090;
    settings.height = 30;
    const RunResult result = runScene(d_module->api(), d_scene, d_resources, settings);
    ASSERT_EQ(result.frames.size(), 1u);
    EXPECT_EQ(result.frames[0].image.width, 4090u);
    EXPECT_EQ(result.error, "frame 'grown': a reset to 4122x46 is outside 1x1 to 4096x4096");
}

// Blend mode 0 ignores alpha and tints only pure white texels of a memory
// texture, so text there is drawn from a hard-edged atlas: every pixel is the
// ink or the background, none a grey edge. The other modes keep the
// antialiased atlas.
TEST(RunText, BlendModeZeroDrawsTextInTheInkColourOnly)
{
    const Scene scene = parseScene(R"({
      "name": "text", "size": [80, 24], "background": "#FFE0E4E8",
      "textures": {"glyphs": {"pixels": "glyphs.png", "memory": true}},
      "fonts": {"sans": {"texture": "glyphs", "metrics": "glyphs.json", "face": "sans"}},
      "groups": {"t": [{"text": "Renderer", "font": "sans", "at": [4, 4], "colour": "#FF1D2733"}]},
      "frames": [{"name": "only", "groups": ["t"]}]
    })",
                                   "text.json", ZIV_DEMO_ASSETS);
    const SceneResources resources = loadResources(scene);
    const Image& soft = resources.pixels.at("glyphs");
    const Image& hard = resources.hardEdged.at("glyphs");
    ASSERT_EQ(hard.rgba.size(), soft.rgba.size());
    for (size_t i = 0; i < soft.rgba.size(); i += 4) {
        const uint32_t expected = soft.rgba[i + 3] >= 128 ? 0xFFFFFFFFu : 0u;
        uint32_t texel = 0;
        std::memcpy(&texel, &hard.rgba[i], 4);
        ASSERT_EQ(texel, expected) << "texel " << i / 4;
    }

    const ModuleLibrary module(ZIV_MODULE_PATH);
    for (int32_t blend : {0, 2}) {
        RunSettings settings;
        settings.format = TargetFormat::Rgb32;
        settings.blendMode = blend;
        settings.width = 80;
        settings.height = 24;
        const Image image = runScene(module.api(), scene, resources, settings).frames.at(0).image;
        size_t ink = 0, other = 0;
        for (uint32_t y = 0; y < image.height; ++y) {
            for (uint32_t x = 0; x < image.width; ++x) {
                const uint32_t pixel = image.argb(x, y) & 0xFFFFFFu;
                ink += pixel == 0x1D2733u;
                other += pixel != 0x1D2733u && pixel != 0xE0E4E8u;
            }
        }
        if (blend == 0) {
            EXPECT_GT(ink, 100u);
            EXPECT_EQ(other, 0u) << "blend mode 0 leaves grey edges";
        } else {
            EXPECT_GT(other, 0u) << "blend mode 2 blends the edges";
        }
    }
}

TEST(RunCompare, OverlapComparisonFindsTheFirstDifference)
{
    Image a(4, 3, 0xFF102030u), b(6, 2, 0xFF102030u);
    EXPECT_EQ(compareOverlap(a, b), "");
    b.setArgb(5, 1, 0xFFFFFFFFu); // outside the overlap
    EXPECT_EQ(compareOverlap(a, b), "");
    b.setArgb(2, 1, 0xFFFFFFFFu);
    EXPECT_EQ(compareOverlap(a, b), "differs at 2,1");
    // Passed over where an anchored group was or went, and only there.
    EXPECT_EQ(compareOverlap(a, b, {Rect{2, 1, 3, 2}}), "");
    EXPECT_EQ(compareOverlap(a, b, {Rect{0, 0, 2, 3}, Rect{3, 0, 4, 3}}), "differs at 2,1");
}
