#include "RecordingPlugin.h"

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>

namespace ZivTest {

std::string recordingPluginPath(PluginVariant variant)
{
    return variant == PluginVariant::Full ? ZIV_TEST_RECORDING_LOGGER : ZIV_TEST_RECORDING_LOGGER_NO_FACTORY;
}

RecorderState& installRecordingPlugin(const std::string& directory, PluginVariant variant)
{
    const std::filesystem::path copy = std::filesystem::path(directory) / "dll_logger.dll";
    std::filesystem::copy_file(recordingPluginPath(variant), copy, std::filesystem::copy_options::overwrite_existing);
    void* library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        throw std::runtime_error(std::string("cannot load the recording plug-in: ") + dlerror());
    auto state = reinterpret_cast<ZivRecorderStateFn>(dlsym(library, "zivRecorderState"));
    if (state == nullptr)
        throw std::runtime_error("the recording plug-in lacks zivRecorderState");
    return *state();
}

} // namespace ZivTest
