#include "diagnostics/LoggerPlugin.h"

#include <string>
#include <vector>

#include <windows.h>

#include "diagnostics/ModuleState.h"
#include "diagnostics/WideText.h"

namespace ZorvUISystem {

namespace {

using WideString = std::basic_string<WCHAR>;

// The directory in UTF-16. A directory whose converted length (terminator
// included) is not between 1 and 0xFFFE units is dropped, and the plug-in is
// then looked up by its bare name.
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

// GetProcAddress hands back a generic function pointer; going through
// void(*)() keeps the conversion to the real signature explicit.
template <typename Fn> Fn bindExport(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

} // namespace

void bindLoggerPlugin(const char* loggerDirectory)
{
    WideString path = widenDirectory(loggerDirectory);
    path += ZIV_WIDE("dll_logger.dll");

    ModuleState& state = moduleState();
    HMODULE library = LoadLibraryW(path.c_str());
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
