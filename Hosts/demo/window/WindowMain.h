// The window program from its command line to its exit status. The parts
// that differ between Windows and Linux (the window, the presentation, how
// an error reaches a person) are in Win32Window.cpp and SdlWindow.cpp.
#pragma once

#include <string>
#include <vector>

#include "DemoRun.h"
#include "WindowOptions.h"
#include "WindowSession.h"

namespace zivdemo {

// Parses the options, loads the scene and the module and runs the window
// until it is closed. 0 when it ended well, 1 after an error, 2 for a
// mistake on the command line.
int windowMain(const std::vector<std::string>& args, const std::string& builtinAssets,
               const std::string& defaultModule);

// The platform's window: shows the scene until the window is closed. The
// exit status: 0, or 1 when a surface the window made was still referenced
// at the end. Throws std::runtime_error, and UsageError for an option the
// platform cannot honour.
int runWindow(const WindowOptions& options, const Scene& scene, const SceneResources& resources,
              const ModuleApi& module, SessionReport& report);

// Shows an error to a person: on the console, and on Windows also in a
// message box unless the run is unattended (it has a report file), which
// must never wait for someone to close a box.
void showWindowError(const std::string& text, bool unattended);

} // namespace zivdemo
