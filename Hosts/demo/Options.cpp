#include "Options.h"

#include <algorithm>

namespace zivdemo {

const char* const kHelpText =
    R"(Usage: ziv-demo [options]

Renders a small desktop GUI (a window with a title bar, buttons in their
normal, hover and pressed states, a translucent panel, tinted icons, a scroll
bar and text) through the ziv renderer module onto the software DirectDraw.
Every frame is written as a PNG file, and index.html shows them side by side
with the quads, milliseconds and blended pixels of each frame. Without
options it renders the built-in scene in blend modes 0, 1 and 2 into 565,
555, 24-bit and 32-bit targets.

Options:
  --size WxH       target size in pixels, e.g. 800x600 (default: the scene's
                   size; the built-in scene is 640x480)
  --format LIST    target pixel formats, comma-separated: 565, 555, 24, 32,
                   or all (default all)
  --blend LIST     blend modes the device asks for, comma-separated: 0, 1, 2,
                   or all (default all). 0 composes with DirectDraw blits
                   only; 1 blends translucent quads half and half; 2 blends
                   them by their alpha
  --out DIR        output folder, created if missing (default: out, relative
                   to the current folder)
  --scene FILE     render a scene file instead of the built-in scene (JSON;
                   see Hosts/demo/SCENE.md); its file names are relative to
                   its folder
  --print-scene    print the built-in scene, a starting point for your own,
                   and exit
  --module PATH    the renderer module to load (default: libziv.so beside
                   the program, else the one built with it)
  --repeat N       render each frame N times for the timing (default 5)
  --clipper        give the target a clipper that covers it, as a windowed
                   host's target has one (the frames stay the same)
  --hard-edges     blend modes 1 and 2 without soft edges: the module's
                   default, which draws a partly transparent texel opaque
                   (its colour already darkened by its alpha), so text and
                   icons get dark fringes
  --window         show the scene in a window instead, driven by the mouse
                   (ziv-demo --window --help tells more)
  -h, --help       show this help and exit

Files written: DIR/<scene>-<format>-blend<mode>-<frame>.png and
DIR/index.html. The exit status is 0 when every frame was rendered and every
check of the scene held (such as a frame after a device reset equalling the
frame before it), 1 otherwise, 2 for a mistake on the command line.
)";

namespace {

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

template <typename T> void addUnique(std::vector<T>& list, T value)
{
    if (std::find(list.begin(), list.end(), value) == list.end()) {
        list.push_back(value);
    }
}

} // namespace

Options parseOptions(const std::vector<std::string>& args)
{
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) {
                return *inlineValue;
            }
            if (i + 1 >= args.size()) {
                throw UsageError(name + " needs a value");
            }
            return args[++i];
        };
        if (name == "-h" || name == "--help") {
            options.help = true;
        } else if (name == "--print-scene") {
            options.printScene = true;
        } else if (name == "--size") {
            parseSize(value(), options.width, options.height);
        } else if (name == "--format") {
            const std::string list = value();
            options.formats.clear();
            for (const std::string& item : splitList(list)) {
                if (item == "all") {
                    for (TargetFormat format : kAllFormats) {
                        addUnique(options.formats, format);
                    }
                } else if (const std::optional<TargetFormat> format = parseFormat(item)) {
                    addUnique(options.formats, *format);
                } else {
                    throw UsageError("unknown pixel format '" + item + "' (use 565, 555, 24, 32 or all)");
                }
            }
        } else if (name == "--blend") {
            const std::string list = value();
            options.blendModes.clear();
            for (const std::string& item : splitList(list)) {
                if (item == "all") {
                    for (int32_t mode : {0, 1, 2}) {
                        addUnique(options.blendModes, mode);
                    }
                } else {
                    addUnique(options.blendModes, static_cast<int32_t>(parseNumber(item, "a blend mode", 0, 2)));
                }
            }
        } else if (name == "--out") {
            options.out = value();
            if (options.out.empty()) {
                throw UsageError("--out needs a folder");
            }
        } else if (name == "--scene") {
            options.scene = value();
            if (options.scene.empty()) {
                throw UsageError("--scene needs a file");
            }
        } else if (name == "--module") {
            options.module = value();
            if (options.module.empty()) {
                throw UsageError("--module needs a path");
            }
        } else if (name == "--repeat") {
            options.repeat = parseNumber(value(), "--repeat", 1, 100000);
        } else if (name == "--clipper") {
            options.clipper = true;
        } else if (name == "--hard-edges") {
            options.softEdges = false;
        } else {
            throw UsageError("unknown option '" + args[i] + "'");
        }
        if (inlineValue && (name == "-h" || name == "--help" || name == "--print-scene" || name == "--clipper" ||
                            name == "--hard-edges")) {
            throw UsageError(name + " takes no value");
        }
    }
    return options;
}

} // namespace zivdemo
