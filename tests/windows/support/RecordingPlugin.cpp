// The recording logger plug-in on Windows: the DLL the build made in its own
// folder, copied as dll_logger.dll and loaded with LoadLibraryW.
#include "RecordingPlugin.h"

#include <windows.h>

#include <stdexcept>

#include "WinTestSupport.h"

namespace ZivTest {

std::string recordingPluginPath(PluginVariant variant)
{
    const wchar_t* folder = variant == PluginVariant::Full ? L"recording_logger\\" : L"recording_logger_no_factory\\";
    return ZivWinTest::toUtf8(ZivWinTest::programDirectory() + folder + L"dll_logger.dll");
}

RecorderState& installRecordingPlugin(const std::string& directory, PluginVariant variant)
{
    const std::wstring copy = ZivWinTest::widen(directory) + L"\\dll_logger.dll";
    ZivWinTest::copyFile(ZivWinTest::widen(recordingPluginPath(variant)), copy);
    HMODULE library = LoadLibraryW(copy.c_str());
    if (library == nullptr)
        throw std::runtime_error("cannot load the recording plug-in (error " + std::to_string(GetLastError()) + ")");
    auto state =
        reinterpret_cast<ZivRecorderStateFn>(reinterpret_cast<void (*)()>(GetProcAddress(library, "zivRecorderState")));
    if (state == nullptr)
        throw std::runtime_error("the recording plug-in lacks zivRecorderState");
    return *state();
}

} // namespace ZivTest
