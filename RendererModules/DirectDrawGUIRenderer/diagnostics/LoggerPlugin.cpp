#include "diagnostics/LoggerPlugin.h"

#include <string>
#include <vector>

#include <windows.h>

#include "diagnostics/ModuleState.h"
#include "diagnostics/WideText.h"

namespace ZorvUISystem {

namespace {

using WideString = std::basic_string<WCHAR>;

const WCHAR* const pluginName = ZIV_WIDE("dll_logger.dll");

// An address inside this module, to find the module by.
const char moduleAnchor = 0;

// The directory in UTF-16. A directory whose converted length (terminator
// included) is not between 1 and 0xFFFE units is dropped, and the plug-in is
// then looked up as when no directory is given: beside this module first.
WideString widenDirectory(const char* directory)
{
    WideString path;
    if (directory == nullptr || directory[0] == '\0')
        return path;
    const int needed = MultiByteToWideChar(CP_UTF8, 0, directory, -1, nullptr, 0);
    if (needed <= 0 || needed >= 0xFFFF)
        return path;
    std::vector<WCHAR> buffer(static_cast<size_t>(needed) + 1, WCHAR(0));
    MultiByteToWideChar(CP_UTF8, 0, directory, -1, buffer.data(), needed + 1);
    path = buffer.data();
    return path;
}

// The folder this module was loaded from, with its trailing separator; empty
// when it cannot be had.
WideString moduleFolder()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&moduleAnchor), &self))
        return WideString();
    // Paths can be longer than MAX_PATH; a full buffer means a cut one.
    std::vector<WCHAR> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return WideString();
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        if (buffer.size() >= 0x8000)
            return WideString();
        buffer.resize(buffer.size() * 2);
    }
    WideString path(buffer.begin(), buffer.end());
    const size_t separator = path.find_last_of(ZIV_WIDE("\\/"));
    if (separator == WideString::npos)
        return WideString();
    path.resize(separator + 1);
    return path;
}

// The plug-in when no folder is given: the one beside this module, else one
// by that name in the host program's folder or the system folder. The
// current directory is never searched, so a dll_logger.dll planted there
// does not run inside the host.
HMODULE loadPluginBesideModule()
{
    const WideString folder = moduleFolder();
    if (!folder.empty()) {
        const WideString path = folder + pluginName;
        HMODULE library =
            LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        if (library != nullptr)
            return library;
    }
    return LoadLibraryExW(pluginName, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// GetProcAddress hands back a generic function pointer; going through
// void(*)() keeps the conversion to the real signature explicit.
template <typename Fn> Fn bindExport(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

} // namespace

void bindLoggerPlugin(const char* loggerDirectory)
{
    const WideString directory = widenDirectory(loggerDirectory);
    ModuleState& state = moduleState();
    HMODULE library = directory.empty() ? loadPluginBesideModule() : LoadLibraryW((directory + pluginName).c_str());
    if (library == nullptr) {
        state.createLogger = nullptr;
        state.unRecoveryError = nullptr;
        state.getLogLevel = nullptr;
        return;
    }
    state.createLogger = bindExport<CreatePlovLoggerFn>(library, "CreatePlovLogger");
    state.unRecoveryError = bindExport<UnRecoveryErrorFn>(library, "unRecoveryError");
    state.getLogLevel = bindExport<GetLogLevelFromIniFileFn>(library, "GetLogLevelFromIniFile");
}

} // namespace ZorvUISystem
