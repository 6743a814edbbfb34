// A dll_logger.dll in the current directory is never loaded: without a logger
// directory the module looks beside itself, in the program's folder and in
// the system's, and nowhere else. Its own process, so that no plug-in is
// loaded already.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ModuleLoader.h"
#include "RecordingPlugin.h"
#include "SoftwareDirectDraw.h"
#include "TempDirectory.h"
#include "TestRenderDevice.h"

namespace {

TEST(PlantedLoggerTest, APluginInTheCurrentDirectoryIsNotLoaded)
{
    ZivTest::TempDirectory planted;
    const std::string plantedPlugin = planted.path() + "/dll_logger.dll";
    std::filesystem::copy_file(ZivTest::recordingPluginPath(), plantedPlugin);
    const std::filesystem::path before = std::filesystem::current_path();
    ASSERT_EQ(chdir(planted.path().c_str()), 0);

    ZivTest::SoftwareDirectDraw directDraw;
    ZivTest::TestRenderDevice device{directDraw.get()};
    for (const char* directory : {static_cast<const char*>(nullptr), ""}) {
        ZivTest::ZivModule module;
        ZorvUISystem::Renderer* renderer = module.createRenderer(&device, 0, false, directory, 1, 2);
        ASSERT_NE(renderer, nullptr);
        module.destroyRenderer(renderer);
        EXPECT_EQ(dlopen(plantedPlugin.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
        EXPECT_EQ(dlopen("dll_logger.dll", RTLD_NOW | RTLD_NOLOAD), nullptr) << "no plug-in at all";
    }
    std::filesystem::current_path(before);
}

} // namespace
