// The page of frames.
#include <gtest/gtest.h>

#include "Page.h"

using namespace zivdemo;

namespace {

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

PageInfo twoRuns()
{
    PageInfo page;
    page.scene = "desktop";
    page.module = "/build/libziv.so";
    page.command = "ziv-demo --format 565 --blend 0,1";
    PageRun a{"RGB 565, blend mode 0", "CDDRender", "", {}};
    a.frames.push_back({"desktop-565-blend0-idle.png", "idle", 640, 480, 412, 1.234, 0, "", false});
    a.frames.push_back(
        {"desktop-565-blend0-resized.png", "resized", 800, 600, 420, 0.5, 1234567, "device reset to 800x600", false});
    PageRun b{"RGB 565, blend mode 1", "", "createRenderer failed: <no DirectDraw>", {}};
    page.runs = {a, b};
    return page;
}

} // namespace

TEST(DemoPage, ShowsEveryFrameWithItsFigures)
{
    const std::string html = renderPage(twoRuns());
    EXPECT_EQ(count(html, "<img "), 2u);
    EXPECT_EQ(count(html, "<img src=\"desktop-565-blend0-idle.png\" width=\"640\" height=\"480\""), 1u);
    EXPECT_EQ(count(html, "<img src=\"desktop-565-blend0-resized.png\" width=\"800\" height=\"600\""), 1u);
    EXPECT_NE(html.find("412 quads &middot; 1.23 ms/frame &middot; 0 px blended"), std::string::npos);
    EXPECT_NE(html.find("420 quads &middot; 0.50 ms/frame &middot; 1,234,567 px blended"), std::string::npos);
    EXPECT_NE(html.find("device reset to 800x600"), std::string::npos);
    EXPECT_NE(html.find("<h2>RGB 565, blend mode 1</h2>"), std::string::npos);
    EXPECT_NE(html.find("2 frames rendered by /build/libziv.so"), std::string::npos);
}

TEST(DemoPage, EscapesTextAndMarksFailures)
{
    PageInfo page = twoRuns();
    page.runs[0].frames[1].failed = true;
    const std::string html = renderPage(page);
    EXPECT_NE(html.find("createRenderer failed: &lt;no DirectDraw&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<no DirectDraw>"), std::string::npos);
    EXPECT_EQ(count(html, "<figure class=\"failed\""), 1u);
    EXPECT_EQ(escapeHtml("a&b<c>\"d'"), "a&amp;b&lt;c&gt;&quot;d&#39;");
}
