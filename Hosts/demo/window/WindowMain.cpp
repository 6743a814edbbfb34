#include "WindowMain.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

#include "BuiltinScene.h"
#include "ImageCheck.h"
#include "ModuleLibrary.h"
#include "Options.h"

namespace zivdemo {

int windowMain(const std::vector<std::string>& args, const std::string& builtinAssets, const std::string& defaultModule)
{
    WindowOptions options;
    try {
        options = parseWindowOptions(args);
    } catch (const UsageError& e) {
        // A run with a report file is a script's: nothing may wait for a
        // person, even when the rest of its command line is wrong.
        const bool unattended = std::find(args.begin(), args.end(), "--report") != args.end();
        showWindowError(std::string(e.what()) + "\nTry 'ziv-demo --window --help'.", unattended);
        return 2;
    }
    if (options.help) {
        std::fputs(kWindowHelpText, stdout);
        return 0;
    }
    std::unique_ptr<SessionReport> report;
    try {
        report = std::make_unique<SessionReport>(options.report);
        const Scene scene = options.scene.empty() ? parseScene(kBuiltinScene, "built-in scene", builtinAssets)
                                                  : loadSceneFile(options.scene);
        const SceneResources resources = loadResources(scene, whyNotDecodable);
        const ModuleLibrary module(options.module.empty() ? defaultModule : options.module);
        const int status = runWindow(options, scene, resources, module.api(), *report);
        report->line(status == 0 ? "closed, every surface released" : "closed, a surface is still referenced");
        return status;
    } catch (const UsageError& e) {
        showWindowError(e.what(), !options.report.empty());
        return 2;
    } catch (const std::exception& e) {
        if (report) {
            report->line(std::string("error ") + e.what());
        }
        showWindowError(e.what(), report && report->enabled());
        return 1;
    }
}

} // namespace zivdemo
