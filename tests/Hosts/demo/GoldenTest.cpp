// The demo as `make demo` runs it: every frame equals its golden image, a few
// pixels equal what the skin and the blend rules give, and the page shows
// every frame.
#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "Image.h"
#include "TargetFormat.h"

namespace fs = std::filesystem;
using namespace zivdemo;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

std::set<std::string> pngNames(const fs::path& folder)
{
    std::set<std::string> names;
    if (fs::exists(folder)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".png") {
                names.insert(entry.path().filename().string());
            }
        }
    }
    return names;
}

const char* const kFrames[] = {"idle", "hover", "pressed", "resized"};
const int kBlendModes[] = {0, 1, 2};

std::string frameFile(TargetFormat format, int blend, const std::string& frame)
{
    return std::string("desktop-") + formatInfo(format).name + "-blend" + std::to_string(blend) + "-" + frame + ".png";
}

// One run of the demo with its defaults, shared by every test here.
class DemoOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_out = fs::temp_directory_path() / ("ziv-demo-golden-" + std::to_string(getpid()));
        fs::remove_all(s_out);
        const std::string command = std::string("'") + ZIV_DEMO_EXE + "' --out '" + s_out.string() +
                                    "' --repeat 1 > '" + (s_out.string() + ".log") + "' 2>&1";
        s_status = std::system(command.c_str());
        s_log = readAll(s_out.string() + ".log");
        // Again on a DirectDraw as harsh as a real one can be without losing
        // surfaces (garbage in new memory, a blitter busy for three calls
        // after every blit, a video-memory budget), onto a target with a
        // clipper.
        s_harsh = s_out.string() + "-harsh";
        fs::remove_all(s_harsh);
        const std::string harsh = std::string("ZIV_DDRAW_BEHAVIOUR=garbage,busy=3,budget=67108864 '") + ZIV_DEMO_EXE +
                                  "' --clipper --format 565,24,32 --out '" + s_harsh.string() + "' --repeat 1 > '" +
                                  (s_harsh.string() + ".log") + "' 2>&1";
        s_harshStatus = std::system(harsh.c_str());
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(s_out);
        fs::remove(s_out.string() + ".log");
        fs::remove_all(s_harsh);
        fs::remove(s_harsh.string() + ".log");
    }

    static Image frame(TargetFormat format, int blend, const std::string& name)
    {
        return readPng((s_out / frameFile(format, blend, name)).string());
    }

    static fs::path s_out;
    static int s_status;
    static std::string s_log;
    static fs::path s_harsh;
    static int s_harshStatus;
};

fs::path DemoOutput::s_out;
int DemoOutput::s_status = -1;
std::string DemoOutput::s_log;
fs::path DemoOutput::s_harsh;
int DemoOutput::s_harshStatus = -1;

// The pixel a texel becomes on a target of the format when it is copied.
uint32_t copied(TargetFormat format, uint32_t texel)
{
    return unpackPixel(format, packColour(format, texel));
}

// Channel fields (shift, width) of a packed pixel of the format.
std::vector<std::pair<int, int>> fields(TargetFormat format)
{
    switch (format) {
    case TargetFormat::Rgb565:
        return {{11, 5}, {5, 6}, {0, 5}};
    case TargetFormat::Rgb555:
        return {{10, 5}, {5, 5}, {0, 5}};
    default:
        return {{16, 8}, {8, 8}, {0, 8}};
    }
}

// A translucent source pixel over a target pixel, field by field. The demo
// draws blend modes 1 and 2 with soft edges: the texel, its colour scaled by
// its own alpha b when uploaded, goes over the target by b and the quad's
// alpha, r = min(v, round(s A / 255) + round(t (255 - round(b A / 255)) / 255)).
uint32_t blended(TargetFormat format, int, uint32_t sourceArgb, uint32_t targetArgb, int alpha)
{
    const uint32_t b = sourceArgb >> 24;
    uint32_t premultiplied = sourceArgb & 0xFF000000u;
    for (int shift : {0, 8, 16}) {
        const uint32_t c = (sourceArgb >> shift) & 0xFF;
        premultiplied |= (b == 255 ? c : c * (b + 1) >> 8) << shift;
    }
    const auto round255 = [](int x) { return (2 * x + 255) / 510; };
    const int beta = round255(static_cast<int>(b) * alpha);
    const uint32_t s = packColour(format, premultiplied);
    const uint32_t t = packColour(format, targetArgb);
    uint32_t out = 0;
    for (const auto& [shift, width] : fields(format)) {
        const int mask = (1 << width) - 1;
        const int sv = static_cast<int>(s >> shift) & mask;
        const int tv = static_cast<int>(t >> shift) & mask;
        out |= static_cast<uint32_t>(std::min(mask, round255(sv * alpha) + round255(tv * (255 - beta)))) << shift;
    }
    return unpackPixel(format, out);
}

} // namespace

TEST_F(DemoOutput, RunsCleanlyAndSaysWhereItsOutputIs)
{
    EXPECT_EQ(s_status, 0) << s_log;
    EXPECT_NE(s_log.find("Wrote 48 frames and the page to " + s_out.string() + "/"), std::string::npos) << s_log;
    EXPECT_NE(s_log.find("index.html in a browser."), std::string::npos) << s_log;
    // The frame after the device reset equalled the frame before it.
    EXPECT_EQ(s_log.find("differs"), std::string::npos) << s_log;
}

TEST_F(DemoOutput, FramesEqualTheGoldenImages)
{
    const fs::path golden = ZIV_GOLDEN_DIR;
    const std::set<std::string> made = pngNames(s_out);
    ASSERT_EQ(made.size(), 48u) << s_log;
    if (const char* update = std::getenv("ZIV_UPDATE_GOLDEN"); update != nullptr && std::string(update) == "1") {
        fs::create_directories(golden);
        for (const std::string& stale : pngNames(golden)) {
            fs::remove(golden / stale);
        }
        for (const std::string& name : made) {
            fs::copy_file(s_out / name, golden / name);
        }
        GTEST_SKIP() << "stored " << made.size() << " golden images in " << golden;
    }
    EXPECT_EQ(pngNames(golden), made) << "the demo's frames and the golden images have different names";
    const fs::path diffs = ZIV_GOLDEN_DIFF_DIR;
    fs::remove_all(diffs);
    for (const std::string& name : made) {
        if (!fs::exists(golden / name)) {
            continue;
        }
        const Image expected = readPng((golden / name).string());
        const Image actual = readPng((s_out / name).string());
        const ImageDifference d = compareImages(expected, actual);
        if (d.pixels != 0) {
            fs::create_directories(diffs);
            const std::string stem = fs::path(name).stem().string();
            writePng((diffs / (stem + ".diff.png")).string(), differenceImage(expected, actual), false);
            fs::copy_file(s_out / name, diffs / (stem + ".actual.png"), fs::copy_options::overwrite_existing);
            ADD_FAILURE() << name << ": " << d.pixels << " pixels differ, the first at " << d.firstX << "," << d.firstY
                          << "; see " << (diffs / (stem + ".diff.png")).string();
        }
    }
}

TEST_F(DemoOutput, AHarshDirectDrawAndAClippedTargetChangeNoFrame)
{
    ASSERT_EQ(s_harshStatus, 0) << readAll(s_harsh.string() + ".log");
    const std::set<std::string> made = pngNames(s_harsh);
    ASSERT_EQ(made.size(), 36u);
    for (const std::string& name : made) {
        const ImageDifference d = compareImages(readPng((s_out / name).string()), readPng((s_harsh / name).string()));
        EXPECT_EQ(d.pixels, 0u) << name << ": the first difference at " << d.firstX << "," << d.firstY;
    }
}

TEST_F(DemoOutput, OpaqueSkinPixelsArriveAsTheSkinHasThem)
{
    const Image wallpaper = readPng(std::string(ZIV_DEMO_ASSETS) + "/wallpaper.png");
    const Image buttons = readPng(std::string(ZIV_DEMO_ASSETS) + "/buttons.png");
    // The OK button's state in each frame: its row in the button strip.
    const std::pair<const char*, uint32_t> states[] = {{"idle", 0}, {"hover", 26}, {"pressed", 52}, {"resized", 0}};
    for (TargetFormat format : kAllFormats) {
        for (int blend : kBlendModes) {
            for (const auto& [name, row] : states) {
                SCOPED_TRACE(frameFile(format, blend, name));
                const Image image = frame(format, blend, name);
                // Desktop, away from every window: the wallpaper tile.
                EXPECT_EQ(image.argb(600, 450), copied(format, wallpaper.argb(600 % 64, 450 % 64)));
                EXPECT_EQ(image.argb(3, 470), copied(format, wallpaper.argb(3, 470 % 64)));
                // Inside the OK button at (250, 300), clear of its label.
                EXPECT_EQ(image.argb(260, 302), copied(format, buttons.argb(10, row + 2)));
            }
        }
    }
}

TEST_F(DemoOutput, TranslucentPanelMixesWithTheWallpaperByBlendMode)
{
    const Image wallpaper = readPng(std::string(ZIV_DEMO_ASSETS) + "/wallpaper.png");
    const Image panel = readPng(std::string(ZIV_DEMO_ASSETS) + "/panel.png");
    // A pixel of the panel's stretched centre over the desktop; the panel is
    // drawn with alpha 0xC0 (192).
    const uint32_t source = panel.argb(24, 24);
    const uint32_t target = wallpaper.argb(610 % 64, 348 % 64);
    for (TargetFormat format : kAllFormats) {
        for (int blend : kBlendModes) {
            SCOPED_TRACE(frameFile(format, blend, "idle"));
            const Image image = frame(format, blend, "idle");
            const uint32_t expected = blend == 0 ? copied(format, source) : blended(format, blend, source, target, 192);
            EXPECT_EQ(image.argb(610, 348), expected);
        }
    }
}

TEST_F(DemoOutput, PageShowsEveryFrame)
{
    const std::string html = readAll(s_out / "index.html");
    const std::set<std::string> made = pngNames(s_out);
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(count(html, "<img "), made.size());
    EXPECT_EQ(count(html, "<figure"), made.size());
    for (const std::string& name : made) {
        EXPECT_EQ(count(html, "<img src=\"" + name + "\""), 1u) << name;
    }
    for (TargetFormat format : kAllFormats) {
        for (int blend : kBlendModes) {
            const std::string title = std::string(formatInfo(format).label) + ", blend mode " + std::to_string(blend);
            EXPECT_EQ(count(html, "<h2>" + title + "</h2>"), 1u) << title;
            for (const char* name : kFrames) {
                EXPECT_EQ(made.count(frameFile(format, blend, name)), 1u) << frameFile(format, blend, name);
            }
        }
    }
    EXPECT_EQ(count(html, " quads &middot; "), made.size());
    EXPECT_EQ(count(html, " ms/frame &middot; "), made.size());
    EXPECT_EQ(count(html, " px blended"), made.size());
    EXPECT_EQ(count(html, "class=\"failed\""), 0u);
    EXPECT_EQ(count(html, "class=\"error\""), 0u);
}

TEST_F(DemoOutput, HeadlessChromiumLoadsEveryFrame)
{
    std::string browser;
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        if (std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0) {
            browser = name;
            break;
        }
    }
    if (browser.empty()) {
        GTEST_SKIP() << "no Chromium installed; the page's structure is checked by PageShowsEveryFrame";
    }
    const fs::path dom = s_out / "dom.html";
    const std::string command = browser + " --headless --no-sandbox --disable-gpu --virtual-time-budget=20000 " +
                                "--dump-dom 'file://" + fs::absolute(s_out / "index.html").string() + "' > '" +
                                dom.string() + "' 2> /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string text = readAll(dom);
    EXPECT_NE(text.find("data-ready=\"yes\""), std::string::npos);
    EXPECT_EQ(count(text, "data-loaded=\"yes\""), pngNames(s_out).size());
    EXPECT_EQ(count(text, "data-loaded=\"no\""), 0u);
}
