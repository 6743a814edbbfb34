// The window program's command line: ziv-demo --window on Linux, ziv-demo.exe
// on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zivdemo {

struct WindowOptions {
    bool help = false;
    std::optional<uint32_t> width; // the client area; the scene's size when absent
    std::optional<uint32_t> height;
    int32_t blendMode = 2;
    bool videoMemory = false; // the target and textures in video memory
    bool direct = false;      // draw straight onto the primary surface (Windows)
    bool softEdges = true;    // see RunSettings
    std::string scene;        // empty: the built-in scene
    std::string module;       // empty: the module beside the program
    std::string report;       // a file the window writes its states into
    bool fullFrames = false;  // redraw and present every frame whole
    bool showDamage = false;  // outline what each frame redrew
};

// Parses the arguments after the program name; "--window" itself is
// accepted and ignored. Throws UsageError.
WindowOptions parseWindowOptions(const std::vector<std::string>& args);

extern const char* const kWindowHelpText;

} // namespace zivdemo
