// The window program's parts that need no window: the scene's regions and
// pointer frames, the command line, and the session over the software
// DirectDraw (its frames against the off-screen run's, the device reset of a
// resize, lost surfaces restored or remade, surfaces released at the end).
#include <gtest/gtest.h>

#include <ddraw_test.h>

#include <stdexcept>
#include <string>

#include "BuiltinScene.h"
#include "DemoDevice.h"
#include "DemoRun.h"
#include "ModuleLibrary.h"
#include "Options.h"
#include "Scene.h"
#include "SurfaceAccess.h"
#include "WindowOptions.h"
#include "WindowSession.h"

using namespace zivdemo;

namespace {

std::string sceneError(const std::string& interactive, const std::string& frames = R"({"name": "f", "groups": ["a"]})")
{
    const std::string text = R"({"textures": {"t": {"fill": "#FFFFFFFF", "size": [1, 1]}},
        "groups": {"a": [], "b": [], "c": []}, )" +
                             interactive + R"( "frames": [)" + frames + "]}";
    try {
        parseScene(text, "test.json", "");
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

std::string usageError(const std::vector<std::string>& args)
{
    try {
        parseWindowOptions(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(WindowScene, RegionsAnswerThePointerWithTheGroupsOfTheirState)
{
    const Scene s = parseScene(kBuiltinScene, "built-in scene", "/assets");
    ASSERT_TRUE(s.interactive.has_value());
    const InteractiveSpec& view = *s.interactive;
    const auto groups = [&](float x, float y, bool inside, bool down) {
        std::string text;
        for (const std::string& g : view.groupsFor(Pointer{x, y, inside, down}))
            text += (text.empty() ? "" : " ") + g;
        return text;
    };
    EXPECT_EQ(groups(290, 313, false, false),
              "desktop icons window ok-normal cancel-normal list-top thumb-top status-ready panel");
    EXPECT_EQ(groups(290, 313, true, false),
              "desktop icons window ok-hover tooltip cancel-normal list-top thumb-top status-ready panel");
    EXPECT_EQ(groups(290, 313, true, true),
              "desktop icons window ok-pressed cancel-normal list-top thumb-top status-saving panel");
    EXPECT_EQ(groups(200, 200, true, true),
              "desktop icons window ok-normal cancel-normal list-scrolled thumb-down status-ready panel");
    // The area's right and bottom edges are outside it.
    EXPECT_EQ(view.describe(Pointer{330, 313, true, false}), "ok=idle cancel=idle list=idle status=idle");
    EXPECT_EQ(view.describe(Pointer{338, 325, true, false}), "ok=idle cancel=hover list=idle status=idle");
}

TEST(WindowScene, PointerFramesTakeTheWindowsGroupsAndMistakesAreNamed)
{
    const std::string view =
        R"("interactive": {"groups": ["a", "r"], "regions": {"r": {"area": [0, 0, 10, 10], "idle": ["b"], "pressed": ["c"]}}},)";
    const Scene s = parseScene(
        R"({"textures": {}, "groups": {"a": [], "b": [], "c": []}, )" + view +
            R"( "frames": [{"name": "h", "pointer": [5, 5]}, {"name": "p", "pointer": [5, 5], "down": true}]})",
        "test.json", "");
    EXPECT_EQ(s.frames[0].groups, (std::vector<std::string>{"a", "b"})); // hover draws as idle
    EXPECT_EQ(s.frames[1].groups, (std::vector<std::string>{"a", "c"}));

    EXPECT_EQ(sceneError("", R"({"name": "f", "pointer": [1, 1]})"),
              "test.json: frames[0].pointer: a frame with a \"pointer\" needs \"interactive\"");
    EXPECT_EQ(sceneError(view, R"({"name": "f", "pointer": [1, 1], "groups": ["a"]})"),
              "test.json: frames[0]: give \"groups\" or \"pointer\", not both");
    EXPECT_EQ(sceneError(view, R"({"name": "f", "groups": ["a"], "down": true})"),
              "test.json: frames[0]: \"down\" belongs to \"pointer\"");
    EXPECT_EQ(sceneError(R"("interactive": {"groups": ["a"], "regions": {"b": {"area": [0, 0, 1, 1]}}},)"),
              "test.json: interactive.regions.b: a region cannot share its name with a group");
    EXPECT_EQ(
        sceneError(R"("interactive": {"groups": ["a"], "regions": {"r": {"area": [0, 0, 1, 1], "hover": ["x"]}}},)"),
        "test.json: interactive.regions.r.hover[0]: no group 'x' in \"groups\"");
    EXPECT_EQ(sceneError(R"("interactive": {"groups": ["a", "q"]},)"),
              "test.json: interactive.groups[1]: no group or region 'q'");
    EXPECT_EQ(sceneError(R"("interactive": {"groups": ["a"], "regions": {"r": {"idle": ["a"]}}},)"),
              "test.json: interactive.regions.r: a region needs an \"area\": [x, y, width, height]");
}

TEST(WindowOptionsParse, ReadsEveryOptionAndNamesMistakes)
{
    const WindowOptions o = parseWindowOptions(
        {"--window", "--size", "800x600", "--blend", "1", "--memory", "video", "--direct", "--report", "r.txt"});
    EXPECT_EQ(o.width, 800u);
    EXPECT_EQ(o.height, 600u);
    EXPECT_EQ(o.blendMode, 1);
    EXPECT_TRUE(o.videoMemory && o.direct);
    EXPECT_EQ(o.report, "r.txt");
    EXPECT_EQ(usageError({"--memory", "disk"}), "--memory takes system or video, not 'disk'");
    EXPECT_EQ(usageError({"--blend", "3"}), "the blend mode must be a whole number from 0 to 2, not '3'");
    EXPECT_EQ(usageError({"--report"}), "--report needs a value");
    EXPECT_EQ(usageError({"--out", "x"}), "unknown option '--out' for the window");
}

// The session over the software DirectDraw, as ziv-demo --window drives it.
class WindowSessionRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ddrawtest::reset();
        d_module = std::make_unique<ModuleLibrary>(ZIV_MODULE_PATH);
        d_scene = parseScene(kBuiltinScene, "built-in scene", ZIV_DEMO_ASSETS);
        d_resources = loadResources(d_scene);
        ASSERT_EQ(DirectDrawCreate(nullptr, &d_directDraw, nullptr), DD_OK);
        ASSERT_EQ(d_directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override
    {
        releaseSurface(d_target);
        d_directDraw->Release();
        ddrawtest::reset();
    }

    // A display mode and target of this size, as the SDL window makes them.
    void makeTarget(uint32_t width, uint32_t height)
    {
        ASSERT_EQ(d_directDraw->SetDisplayMode(width, height, 32), DD_OK);
        d_target = createOffscreenSurface(d_directDraw, width, height, false);
        d_device.set(d_directDraw, width, height);
    }

    // The off-screen demo's frame of a pointer frame at this size.
    Image offscreenFrame(const std::string& pointer, uint32_t width, uint32_t height)
    {
        std::string text = kBuiltinScene;
        text =
            text.substr(0, text.rfind("\"frames\"")) + "\"frames\": [{\"name\": \"w\", \"pointer\": " + pointer + "}]}";
        RunSettings settings;
        settings.format = TargetFormat::Rgb32;
        settings.blendMode = 2;
        settings.width = width;
        settings.height = height;
        const RunResult run =
            runScene(d_module->api(), parseScene(text, "window scene", ZIV_DEMO_ASSETS), d_resources, settings);
        return run.frames.at(0).image;
    }

    Image targetImage(uint32_t width, uint32_t height)
    {
        Image image(width, height);
        std::vector<uint8_t> rows;
        EXPECT_TRUE(ZivTest::readSurfaceRows(d_target, rows));
        for (uint32_t y = 0; y < height; ++y)
            unpackRow(TargetFormat::Rgb32, &rows[size_t(y) * width * 4], width, image.pixel(0, y));
        return image;
    }

    std::unique_ptr<ModuleLibrary> d_module;
    Scene d_scene;
    SceneResources d_resources;
    IDirectDraw* d_directDraw = nullptr;
    IDirectDrawSurface* d_target = nullptr;
    WindowDevice d_device{2, 0};
};

TEST_F(WindowSessionRun, FramesEqualTheOffscreenOnesBeforeAndAfterTheResetOfAResize)
{
    makeTarget(640, 480);
    WindowSession session(d_module->api(), d_scene, d_resources, d_device, SessionSettings{2, 0, "32-bit XRGB"});
    session.draw(d_target, Pointer{290, 313, true, true}, 640, 480);
    EXPECT_EQ(compareImages(offscreenFrame("[290, 313], \"down\": true", 640, 480), targetImage(640, 480)).pixels, 0u);

    session.prepareForReset();
    releaseSurface(d_target);
    makeTarget(800, 600); // the new mode loses every texture surface
    session.finishReset(d_target);
    session.draw(d_target, Pointer{200, 200, true, false}, 800, 600);
    EXPECT_EQ(compareImages(offscreenFrame("[200, 200]", 800, 600), targetImage(800, 600)).pixels, 0u);
    EXPECT_GT(session.statistics().plainCopy.quads, 0u);
}

TEST_F(WindowSessionRun, LostSurfacesAreRestoredOrReportedForRemakingAndAllAreReleased)
{
    makeTarget(64, 48);
    EXPECT_TRUE(restoreIfLost(d_target, "target"));
    ASSERT_TRUE(ddrawtest::markLost(d_target));
    EXPECT_TRUE(restoreIfLost(d_target, "target"));
    EXPECT_EQ(d_target->IsLost(), DD_OK);

    ASSERT_TRUE(ddrawtest::markLost(d_target));
    ddrawtest::failNext("Restore", DDERR_WRONGMODE);
    EXPECT_FALSE(restoreIfLost(d_target, "target"));
    ddrawtest::failNext("Restore", DDERR_OUTOFMEMORY);
    try {
        restoreIfLost(d_target, "target");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "DirectDraw: Restore (target) failed (DDERR_OUTOFMEMORY, 0x8007000e)");
    }

    {
        const size_t before = ddrawtest::liveSurfaceCount();
        WindowSession session(d_module->api(), d_scene, d_resources, d_device, SessionSettings{});
        EXPECT_GT(ddrawtest::liveSurfaceCount(), before);
    }
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), 1u); // the target alone
    IDirectDrawSurface* kept = d_target;
    kept->AddRef();
    EXPECT_FALSE(releaseSurface(d_target)); // still referenced
    EXPECT_EQ(d_target, nullptr);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), 1u);
    EXPECT_EQ(kept->Release(), 0u);
}

TEST(WindowSurfaces, TheBackgroundIsPackedByTheSurfacesMasks)
{
    IDirectDraw* dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    for (uint32_t bits : {16u, 24u, 32u}) {
        dd->SetDisplayMode(8, 8, bits);
        IDirectDrawSurface* s = createOffscreenSurface(dd, 8, 8, bits == 24);
        const TargetFormat format = bits == 16 ? TargetFormat::Rgb565 : TargetFormat::Rgb32;
        for (uint32_t argb : {0xFF1F4F6Fu, 0x80FFFFFFu, 0xFF000000u, 0xFF0818F8u})
            EXPECT_EQ(packForSurface(s, argb), packColour(format, argb)) << bits << " " << std::hex << argb;
        EXPECT_TRUE(releaseSurface(s));
    }
    // Red in the top byte: its mask ends at bit 31.
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = desc.dwHeight = 8;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat = {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {32}, {0xFF000000}, {0xFF0000}, {0xFF00}, {0}};
    IDirectDrawSurface* top = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &top, nullptr), DD_OK);
    EXPECT_EQ(packForSurface(top, 0xFF1F4F6Fu), 0x1F4F6F00u);
    EXPECT_TRUE(releaseSurface(top));
    dd->Release();
}
