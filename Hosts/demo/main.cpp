// ziv-demo: a host program of the ziv renderer module. It loads libziv.so at
// run time, creates a renderer around its own RenderDevice over DirectDraw,
// and drives it as a GUI library does: textures from image files, from image
// bytes and from raw pixels; quads with depth, corner colours and
// translucency; frames with renderQueue and clearQueue; a device reset with a
// new size between frames.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "BuiltinScene.h"
#include "DemoRun.h"
#include "ImageCheck.h"
#include "Options.h"
#include "Page.h"
#include "window/WindowMain.h"

// Where an installed tree keeps the module and the scene, from bin/ (the
// install rules give the real folders).
#ifndef ZIV_DEMO_BIN_TO_LIB
#define ZIV_DEMO_BIN_TO_LIB "../lib"
#endif
#ifndef ZIV_DEMO_BIN_TO_ASSETS
#define ZIV_DEMO_BIN_TO_ASSETS "../share/ziv-demo/assets"
#endif

namespace fs = std::filesystem;
using namespace zivdemo;

namespace {

// The program's own folder, or empty when it cannot be told.
fs::path programFolder()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self.parent_path();
}

// The built-in scene's pictures: in "assets" beside the program (the build
// copies them there), in share/ziv-demo/assets of an installed tree, else in
// the source tree it was built from.
std::string builtinAssetsFolder()
{
    const fs::path folder = programFolder();
    std::error_code error;
    for (const fs::path& candidate : {folder / "assets", folder / ZIV_DEMO_BIN_TO_ASSETS}) {
        if (!folder.empty() && fs::exists(candidate / "desktop.json", error)) {
            return candidate.lexically_normal().string();
        }
    }
    return ZIV_DEMO_SOURCE_ASSETS;
}

// The module: beside the program, where a Windows host finds ziv.dll first,
// in lib/ of an installed tree, else the one of the build the program comes
// from.
std::string defaultModule()
{
    const fs::path folder = programFolder();
    std::error_code error;
    for (const fs::path& candidate : {folder / "libziv.so", folder / ZIV_DEMO_BIN_TO_LIB / "libziv.so"}) {
        if (!folder.empty() && fs::exists(candidate, error)) {
            return candidate.lexically_normal().string();
        }
    }
    if (fs::exists(ZIV_DEMO_BUILD_MODULE, error)) {
        return ZIV_DEMO_BUILD_MODULE;
    }
    return "libziv.so"; // wherever the dynamic loader finds it
}

std::string commandLine(int argc, char** argv)
{
    std::string text = "ziv-demo";
    for (int i = 1; i < argc; ++i) {
        text += " ";
        text += argv[i];
    }
    return text;
}

// Writes a whole file. Throws std::runtime_error naming the file and the
// reason.
void writeText(const fs::path& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write '" + path.string() + "': " + std::strerror(errno));
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int error = written ? 0 : errno;
    if (std::fclose(file) != 0 || !written) {
        throw std::runtime_error("cannot write '" + path.string() + "': " + std::strerror(error != 0 ? error : errno));
    }
}

// Makes the output folder and checks that the page can be written there,
// before anything is rendered.
void prepareOutput(const fs::path& folder, const fs::path& index)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw std::runtime_error("cannot create the output folder '" + folder.string() + "': " + error.message());
    }
    writeText(index, "");
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::vector<std::string> args(argv + 1, argv + argc);
        std::find(args.begin(), args.end(), "--window") != args.end()) {
        return windowMain(args, builtinAssetsFolder(), defaultModule());
    }
    Options options;
    try {
        options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "ziv-demo: %s\nTry 'ziv-demo --help'.\n", e.what());
        return 2;
    }
    if (options.help) {
        std::fputs(kHelpText, stdout);
        return 0;
    }
    if (options.printScene) {
        std::fputs(kBuiltinScene, stdout);
        return 0;
    }

    const fs::path index = fs::path(options.out) / "index.html";
    Scene scene;
    SceneResources resources;
    std::unique_ptr<ModuleLibrary> module;
    try {
        scene = options.scene.empty() ? parseScene(kBuiltinScene, "built-in scene", builtinAssetsFolder())
                                      : loadSceneFile(options.scene);
        resources = loadResources(scene, whyNotDecodable);
        module = std::make_unique<ModuleLibrary>(options.module.empty() ? defaultModule() : options.module);
        checkResetSizes(scene, options.width.value_or(scene.width), options.height.value_or(scene.height));
        prepareOutput(options.out, index);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ziv-demo: %s\n", e.what());
        return 1;
    }

    PageInfo page;
    page.scene = scene.name;
    page.module = module->location();
    page.command = commandLine(argc, argv);
    bool allGood = true;
    size_t written = 0;
    for (TargetFormat format : options.formats) {
        for (int32_t blendMode : options.blendModes) {
            RunSettings settings;
            settings.format = format;
            settings.blendMode = blendMode;
            settings.width = options.width.value_or(scene.width);
            settings.height = options.height.value_or(scene.height);
            settings.repeat = options.repeat;
            settings.clipper = options.clipper;
            settings.softEdges = options.softEdges;
            PageRun run;
            run.title = std::string(formatInfo(format).label) + ", blend mode " + std::to_string(blendMode);
            try {
                const RunResult result = runScene(module->api(), scene, resources, settings);
                if (!result.error.empty()) {
                    allGood = false;
                    run.error = result.error;
                    std::fprintf(stderr, "ziv-demo: %s: %s\n", run.title.c_str(), result.error.c_str());
                }
                run.identifier = result.identifier;
                double ms = 0;
                for (const FrameResult& frame : result.frames) {
                    const std::string file = frame.name + ".png";
                    writePng((fs::path(options.out) / file).string(), frame.image, false);
                    ++written;
                    run.frames.push_back({file, frame.frame, frame.image.width, frame.image.height, frame.quads,
                                          frame.msPerFrame, frame.blendedPixels, frame.note, frame.failed});
                    page.statistics[file] = describeStatistics(frame.statistics) + describeDamage(frame);
                    ms += frame.msPerFrame;
                    if (frame.failed) {
                        allGood = false;
                        std::fprintf(stderr, "ziv-demo: %s: %s\n", frame.name.c_str(), frame.note.c_str());
                    }
                }
                std::printf("%-28s %zu frames, %.2f ms per frame\n", run.title.c_str(), result.frames.size(),
                            result.frames.empty() ? 0.0 : ms / static_cast<double>(result.frames.size()));
            } catch (const std::exception& e) {
                allGood = false;
                run.error = e.what();
                std::fprintf(stderr, "ziv-demo: %s: %s\n", run.title.c_str(), e.what());
            }
            page.runs.push_back(std::move(run));
        }
    }

    try {
        writeText(index, renderPage(page));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ziv-demo: %s\n", e.what());
        return 1;
    }
    std::error_code error;
    const fs::path absolute = fs::absolute(index, error);
    std::printf("Wrote %zu frames and the page to %s/\nOpen %s in a browser.\n", written,
                fs::path(options.out).string().c_str(), (error ? index : absolute).string().c_str());
    return allGood ? 0 : 1;
}
