// Without a logger directory, ziv.dll loads dll_logger.dll from its own
// folder, else from the host program's folder or System32, and never from the
// current directory. The current-directory cases run the program again as a
// host of its own, copied into a folder without a plug-in, so that only the
// current directory could supply one.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "ModuleLoader.h"
#include "RecordingPlugin.h"
#include "SoftwareDirectDraw.h"
#include "TestRenderDevice.h"
#include "WinTestSupport.h"

namespace {

const wchar_t* const childVariable = L"ZIV_LOGGER_SEARCH_CHILD";

// Creates and destroys one renderer without a logger directory.
void createWithoutDirectory(ZivTest::ZivModule& module)
{
    ZivTest::SoftwareDirectDraw directDraw;
    ASSERT_NE(directDraw.get(), nullptr);
    ZivTest::TestRenderDevice device{directDraw.get()};
    ZorvUISystem::Renderer* renderer = module.createRenderer(&device, 0, false, nullptr, 1, 2);
    ASSERT_NE(renderer, nullptr);
    module.destroyRenderer(renderer);
}

// Runs the copied program in `currentDirectory`; its exit code.
DWORD runChild(const std::wstring& program, const std::wstring& currentDirectory, const wchar_t* expect)
{
    SetEnvironmentVariableW(childVariable, expect);
    std::wstring commandLine = L"\"" + program + L"\" --gtest_filter=LoggerSearch.Child";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        currentDirectory.c_str(), &startup, &process);
    SetEnvironmentVariableW(childVariable, nullptr);
    if (!started)
        return 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(LoggerSearch, APluginBesideTheModuleIsLoaded)
{
    // Copied, not loaded: a library loaded already would be found by name.
    ZivTest::ZivModule module;
    const std::wstring beside = ZivWinTest::widen(module.directory()) + L"\\dll_logger.dll";
    ZivWinTest::copyFile(ZivWinTest::widen(ZivTest::recordingPluginPath()), beside);
    createWithoutDirectory(module);
    const HMODULE loaded = GetModuleHandleW(beside.c_str());
    ASSERT_NE(loaded, nullptr);
    const auto state =
        reinterpret_cast<ZivRecorderStateFn>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, "zivRecorderState")));
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state()->record.count("GetLogLevelFromIniFile"), 1u);
}

TEST(LoggerSearch, APluginInTheCurrentDirectoryIsNotLoaded)
{
    // The host: this program, ziv.dll and the GCC support DLL where there is
    // one, but no plug-in. The current directory: a plug-in.
    ZivWinTest::WideTempDirectory host(L"-host");
    ZivWinTest::WideTempDirectory planted(L"-planted");
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring program = host.path() + L"search.exe";
    ZivWinTest::copyFile(self, program);
    ZivWinTest::copyFile(ZivWinTest::programDirectory() + L"ziv.dll", host.path() + L"ziv.dll");
    const std::wstring libgcc = ZivWinTest::programDirectory() + L"libgcc_s_dw2-1.dll";
    if (GetFileAttributesW(libgcc.c_str()) != INVALID_FILE_ATTRIBUTES)
        ZivWinTest::copyFile(libgcc, host.path() + L"libgcc_s_dw2-1.dll");
    const std::wstring plugin = ZivWinTest::widen(ZivTest::recordingPluginPath());
    ZivWinTest::copyFile(plugin, planted.path() + L"dll_logger.dll");

    EXPECT_EQ(runChild(program, planted.path(), L"absent"), 0u);
    // Beside the host program, the same plug-in is found: the child can load
    // one at all.
    ZivWinTest::copyFile(plugin, host.path() + L"dll_logger.dll");
    EXPECT_EQ(runChild(program, planted.path(), L"present"), 0u);
}

// The child's side; skipped when the program runs on its own.
TEST(LoggerSearch, Child)
{
    wchar_t expect[16] = {};
    if (GetEnvironmentVariableW(childVariable, expect, 16) == 0)
        GTEST_SKIP() << "runs only as the child of APluginInTheCurrentDirectoryIsNotLoaded";
    ZivTest::ZivModule module;
    createWithoutDirectory(module);
    const HMODULE loaded = GetModuleHandleW(L"dll_logger.dll");
    if (std::wstring(expect) == L"absent")
        EXPECT_EQ(loaded, nullptr);
    else
        EXPECT_NE(loaded, nullptr);
}

} // namespace
