// ziv-demo.exe's entry: the window program, with the scene's pictures in
// "assets" and ziv.dll beside the program.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "WindowMain.h"

namespace {

std::string programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    path = path.substr(0, path.find_last_of(L"\\/") + 1);
    const int size = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

// A program of the Windows subsystem starts without a console, so what it
// writes to standard output and error goes nowhere unless the caller
// redirected them. Started from a console (cmd, a terminal under Wine), it
// writes there instead.
void useParentConsole()
{
    const auto unconnected = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) == FILE_TYPE_UNKNOWN;
    };
    const bool out = unconnected(STD_OUTPUT_HANDLE);
    const bool err = unconnected(STD_ERROR_HANDLE);
    if ((!out && !err) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    if (out && std::freopen("CONOUT$", "w", stdout) == nullptr) {
        return;
    }
    if (err) {
        std::freopen("CONOUT$", "w", stderr);
    }
}

} // namespace

int main(int argc, char** argv)
{
    useParentConsole();
    const std::string folder = programFolder();
    return zivdemo::windowMain(std::vector<std::string>(argv + 1, argv + argc), folder + "assets", folder + "ziv.dll");
}
