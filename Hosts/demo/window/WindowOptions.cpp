#include "WindowOptions.h"

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
  --hard-edges     blend modes 1 and 2 without soft edges (text and icons
                   with dark fringes, the module's default)
  --direct         draw straight onto the primary surface, through its
                   clipper, instead of an off-screen target (Windows only)
  --scene FILE     a scene file with an "interactive" part instead of the
                   built-in scene
  --module PATH    the renderer module to load (default: beside the program)
  --report FILE    write a line to FILE whenever a frame in a new state,
                   size or place is shown, and how the program ended
  --full-frames    redraw and present every frame whole, instead of only
                   what changed since the last frame (damage-aware frames)
  --show-damage    outline, in each frame shown, what the frame redrew
  -h, --help       show this help and exit
)";

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
            parseSize(value(), options.width, options.height);
        } else if (name == "--blend") {
            options.blendMode = static_cast<int32_t>(parseNumber(value(), "the blend mode", 0, 2));
        } else if (name == "--memory") {
            const std::string where = value();
            if (where != "system" && where != "video") {
                throw UsageError("--memory takes system or video, not '" + where + "'");
            }
            options.videoMemory = where == "video";
        } else if (name == "--direct") {
            options.direct = true;
        } else if (name == "--hard-edges") {
            options.softEdges = false;
        } else if (name == "--scene") {
            options.scene = value();
        } else if (name == "--module") {
            options.module = value();
        } else if (name == "--report") {
            options.report = value();
        } else if (name == "--full-frames") {
            options.fullFrames = true;
        } else if (name == "--show-damage") {
            options.showDamage = true;
        } else {
            throw UsageError("unknown option '" + name + "' for the window");
        }
    }
    return options;
}

} // namespace zivdemo
