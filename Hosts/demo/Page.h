// out/index.html: every frame of every run side by side, with its name and
// figures.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zivdemo {

struct PageFrame {
    std::string file; // the PNG, relative to the page
    std::string frame;
    uint32_t width = 0;
    uint32_t height = 0;
    size_t quads = 0;
    double msPerFrame = 0;
    uint64_t blendedPixels = 0;
    std::string note;
    bool failed = false;
};

struct PageRun {
    std::string title; // "RGB 565, blend mode 1"
    std::string identifier;
    std::string error; // the run could not be made
    std::vector<PageFrame> frames;
};

struct PageInfo {
    std::string scene;
    std::string module;
    std::string command;
    std::vector<PageRun> runs;
    // The renderer's per-frame statistics as text, by frame file.
    std::map<std::string, std::string> statistics;
};

std::string renderPage(const PageInfo& page);

// Text made safe for HTML text and attribute values.
std::string escapeHtml(const std::string& text);

} // namespace zivdemo
