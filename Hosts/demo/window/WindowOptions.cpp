#include "WindowOptions.h"

#include <charconv>

#include "Options.h"

namespace zivdemo {

const char* const kWindowHelpText =
    R"(Usage: ziv-demo --window [options]    (ziv-demo.exe [options] on Windows)

Shows the demo's desktop in a window, drawn by the ziv renderer module every
frame. The pointer drives it: the OK and Cancel buttons and the list answer
hovering and pressing. Resizing the window resets the display device; the
title bar shows the frames per second and what the last frame cost. Escape
quits.

Options:
  --size WxH       client area in pixels (default: the scene's size)
  --blend N        blend mode the device asks for: 0, 1 or 2 (default 2)
  --memory WHERE   the target and textures in system or video memory
                   (default system)
  --direct         draw straight onto the primary surface, through its
                   clipper, instead of an off-screen target (Windows only)
  --scene FILE     a scene file with an "interactive" part instead of the
                   built-in scene
  --module PATH    the renderer module to load (default: beside the program)
  --report FILE    write a line to FILE whenever a frame in a new state,
                   size or place is shown, and how the program ended
  -h, --help       show this help and exit
)";

namespace {

uint32_t number(const std::string& text, const std::string& what, uint32_t low, uint32_t high)
{
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || value < low || value > high) {
        throw UsageError(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                         ", not '" + text + "'");
    }
    return value;
}

} // namespace

WindowOptions parseWindowOptions(const std::vector<std::string>& args)
{
    WindowOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                throw UsageError(name + " needs a value");
            }
            return args[++i];
        };
        if (name == "-h" || name == "--help") {
            options.help = true;
        } else if (name == "--window") {
        } else if (name == "--size") {
            const std::string size = value();
            const size_t x = size.find('x');
            if (x == std::string::npos) {
                throw UsageError("--size takes WIDTHxHEIGHT, such as 800x600, not '" + size + "'");
            }
            options.width = number(size.substr(0, x), "the width", 1, 4096);
            options.height = number(size.substr(x + 1), "the height", 1, 4096);
        } else if (name == "--blend") {
            options.blendMode = static_cast<int32_t>(number(value(), "the blend mode", 0, 2));
        } else if (name == "--memory") {
            const std::string where = value();
            if (where != "system" && where != "video") {
                throw UsageError("--memory takes system or video, not '" + where + "'");
            }
            options.videoMemory = where == "video";
        } else if (name == "--direct") {
            options.direct = true;
        } else if (name == "--scene") {
            options.scene = value();
        } else if (name == "--module") {
            options.module = value();
        } else if (name == "--report") {
            options.report = value();
        } else {
            throw UsageError("unknown option '" + name + "' for the window");
        }
    }
    return options;
}

} // namespace zivdemo
