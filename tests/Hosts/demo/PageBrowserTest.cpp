// The page as a person sees it: rendered by headless Chromium in a window
// 1400 pixels wide, every card of a run is shown whole, the fourth as wide as
// the first and none behind a scroll bar. Each frame is a picture of one
// colour, found again in the screenshot. Skipped only where Chromium is not
// installed (scripts/install-deps.sh installs it).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Image.h"
#include "Page.h"

namespace fs = std::filesystem;
using namespace zivdemo;

namespace {

std::string findBrowser()
{
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/snap/bin/"}) {
            const std::string path = std::string(folder) + name;
            if (access(path.c_str(), X_OK) == 0) {
                return path;
            }
        }
    }
    return {};
}

struct Box {
    uint32_t left = UINT32_MAX, top = UINT32_MAX, right = 0, bottom = 0; // right and bottom exclusive
    uint64_t pixels = 0;
    uint32_t width() const { return pixels ? right - left : 0; }
    uint32_t height() const { return pixels ? bottom - top : 0; }
};

// Where a colour is in the screenshot (colour management may move a channel
// by one step).
Box find(const Image& shot, uint32_t rgb)
{
    Box box;
    for (uint32_t y = 0; y < shot.height; ++y) {
        for (uint32_t x = 0; x < shot.width; ++x) {
            const uint32_t pixel = shot.argb(x, y);
            bool near = true;
            for (int shift : {0, 8, 16}) {
                const int a = static_cast<int>(pixel >> shift & 0xFF), b = static_cast<int>(rgb >> shift & 0xFF);
                near = near && std::abs(a - b) <= 2;
            }
            if (near) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
                ++box.pixels;
            }
        }
    }
    return box;
}

} // namespace

TEST(DemoPageInBrowser, FourCardsOfARunFitAWindow1400PixelsWide)
{
    const std::string browser = findBrowser();
    if (browser.empty()) {
        GTEST_SKIP() << "Chromium is not installed (scripts/install-deps.sh installs it)";
    }
    const fs::path work = fs::path(testing::TempDir()) / "ziv-demo-page";
    fs::remove_all(work);
    fs::create_directories(work / "profile");

    // Two runs of four frames, as the demo writes them: three 640x480 and a
    // fourth 800x600 after the reset, with long captions.
    const uint32_t colours[2][4] = {{0xD03020, 0x20A040, 0x2040D0, 0xC020C0}, {0xE0A010, 0x10C0C0, 0x805020, 0x6010A0}};
    PageInfo page;
    page.scene = "desktop";
    page.module = "/a/rather/long/path/to/the/build/RendererModules/DirectDrawGUIRenderer/libziv.so";
    page.command = "ziv-demo";
    for (int r = 0; r < 2; ++r) {
        PageRun run{
            "RGB 565, blend mode " + std::to_string(r), "CDDRender - DirectDraw  based renderer module", "", {}};
        for (int f = 0; f < 4; ++f) {
            const uint32_t w = f == 3 ? 800 : 640, h = f == 3 ? 600 : 480;
            const std::string file = "run" + std::to_string(r) + "-frame" + std::to_string(f) + ".png";
            writePng((work / file).string(), Image(w, h, 0xFF000000u | colours[r][f]), false);
            run.frames.push_back({file, "frame", w, h, 352, 16.79, 1234567,
                                  "device reset to 800x600; equals 'idle' in the shared 640x480", false});
            page.statistics[file] = "plain copy 130 (480000 px); keyed copy 76 (9337 px); stretched copy 14 "
                                    "(171040 px); tinted copy 132 (48319 px); buffer copy 1 (480000 px); kernels avx2";
        }
        page.runs.push_back(run);
    }
    std::ofstream(work / "index.html") << renderPage(page);

    const fs::path shot = work / "shot.png";
    const std::string command = "timeout 120 " + browser +
                                " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                                " --disable-background-networking --disable-component-update --disable-sync"
                                " --hide-scrollbars=false --user-data-dir=" +
                                (work / "profile").string() + " --screenshot=" + shot.string() +
                                " --window-size=1400,900 file://" + (work / "index.html").string() + " >" +
                                (work / "browser.log").string() + " 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    const Image image = readPng(shot.string());
    ASSERT_EQ(image.width, 1400u);

    // The first run's row is on screen: every card whole and as wide as the
    // first, all of them inside the window.
    const Box first = find(image, colours[0][0]);
    ASSERT_GE(first.width(), 240u) << "the first card's picture is missing or tiny";
    for (int f = 0; f < 4; ++f) {
        const Box box = find(image, colours[0][f]);
        SCOPED_TRACE("card " + std::to_string(f + 1));
        EXPECT_NEAR(box.width(), first.width(), 2.0);
        EXPECT_EQ(box.pixels, uint64_t{box.width()} * box.height()) << "part of the picture is covered";
        EXPECT_LE(box.right, 1400u - 12u) << "the card reaches under the vertical scroll bar";
        if (f > 0) {
            EXPECT_EQ(box.top, first.top) << "the cards of a run share a row";
        }
    }
}
