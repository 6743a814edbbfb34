// dll_logger.dll for Windows: the logger plug-in that hosts ship beside the
// module, with the same configuration and output as on other platforms.
//
// The ini file (the module asks for "VumLogger.ini") in the directory the
// host names has one section per module:
//
//     [ziv]
//     level = 4        ; write messages of this level and below; 0 or less: off
//     file  = ziv.log  ; relative to the directory, or absolute
//
// Section and key names match without regard to case, the first occurrence
// of a key wins, a missing file, section or key means level 0 and a missing
// file= means "<module>.log" in the directory. Directory and file names are
// UTF-8 and are opened through their UTF-16 form, so any name works whatever
// the system's ANSI code page.
//
// Each message becomes one line, appended with a single WriteFile on a handle
// opened for appending only, so lines of several loggers or processes sharing
// a file do not interleave:
//
//     2026-12-07 08:38:41.123 [ziv] ERROR: text
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "LoggerCore.h"
#include "PlovLogger.h"

namespace {

using dll_logger::isSeparator;

// ----- text and paths -------------------------------------------------------

std::wstring widen(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// "C:\...", "C:/...", "\\server\..." and "\..." do not take the directory.
bool isAbsolute(const std::string& name)
{
    if (!name.empty() && isSeparator(name.front()))
        return true;
    return name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' &&
           isSeparator(name[2]);
}

std::string joinPath(const char* directory, const std::string& name)
{
    if (isAbsolute(name) || directory == nullptr || directory[0] == '\0')
        return name;
    std::string path = directory;
    if (!isSeparator(path.back()))
        path += '\\';
    return path + name;
}

// Absolute, so that a later change of the working directory does not move
// the log.
std::wstring absolutePath(const std::wstring& path)
{
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length)
        return path;
    full.resize(written);
    return full;
}

std::string defaultLogFileName(const std::string& moduleName)
{
    std::string name = moduleName.empty() ? std::string("plov") : moduleName;
    for (char& c : name)
        if (isSeparator(c) || c == ':')
            c = '_';
    return name + ".log";
}

// ----- the per-module file table ---------------------------------------------

class Guard {
public:
    Guard() { EnterCriticalSection(&section()); }
    ~Guard() { LeaveCriticalSection(&section()); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    static CRITICAL_SECTION& section()
    {
        static CRITICAL_SECTION s = [] {
            CRITICAL_SECTION made;
            InitializeCriticalSection(&made);
            return made;
        }();
        return s;
    }
};

std::map<std::string, std::wstring>& fileTable()
{
    static std::map<std::string, std::wstring> table;
    return table;
}

void rememberLogFile(const std::string& moduleName, const std::wstring& path)
{
    const Guard guard;
    fileTable()[moduleName] = path;
}

std::wstring logFileFor(const std::string& moduleName)
{
    {
        const Guard guard;
        const auto found = fileTable().find(moduleName);
        if (found != fileTable().end())
            return found->second;
    }
    return absolutePath(widen(defaultLogFileName(moduleName)));
}

// ----- the ini file ------------------------------------------------------------

// The whole file, or nothing when it cannot be read (at most 1 MiB).
std::string readSmallFile(const std::wstring& path)
{
    std::string content;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= (1 << 20)) {
        content.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr))
            read = 0;
        content.resize(read);
    }
    CloseHandle(file);
    return content;
}

// ----- output -------------------------------------------------------------------

std::string timestamp()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

bool writeAll(HANDLE handle, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
        if (!WriteFile(handle, data.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

class FileLogger final : public dll_logger::LineLogger {
public:
    FileLogger(std::string moduleName, int32_t level, HANDLE file)
        : LineLogger(std::move(moduleName), level, "\r\n"), d_file(file)
    {
    }
    ~FileLogger() override { CloseHandle(d_file); }

private:
    std::string timestamp() const override { return ::timestamp(); }
    bool writeText(const std::string& line) override { return writeAll(d_file, line); }

    HANDLE d_file;
};

// Standard error, when the process has one.
bool writeError(const std::string& text)
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    return error != nullptr && error != INVALID_HANDLE_VALUE && writeAll(error, text);
}

} // namespace

extern "C" int32_t GetLogLevelFromIniFile(const char* directory, const char* moduleName, const char* iniFileName)
{
    if (moduleName == nullptr)
        return 0;
    try {
        const std::string iniName = iniFileName == nullptr || iniFileName[0] == '\0' ? "VumLogger.ini" : iniFileName;
        const dll_logger::ModuleSettings settings =
            dll_logger::readModuleSettings(readSmallFile(widen(joinPath(directory, iniName))), moduleName);
        const std::string file = settings.hasFile ? settings.file : defaultLogFileName(moduleName);
        rememberLogFile(moduleName, absolutePath(widen(joinPath(directory, file))));
        return settings.hasLevel ? settings.level : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" PlovLogger* CreatePlovLogger(uint32_t arg1, uint32_t arg2, const char* moduleName, int32_t level)
{
    (void)arg1;
    (void)arg2;
    if (moduleName == nullptr)
        return nullptr;
    try {
        const std::wstring path = logFileFor(moduleName);
        const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            // Logging is optional for the host: say why there is none and go on.
            writeError(timestamp() + " dll_logger: cannot open the log file for module \"" + moduleName + "\" (error " +
                       std::to_string(GetLastError()) + ")\r\n");
            return nullptr;
        }
        try {
            return new FileLogger(moduleName, level, file);
        } catch (...) {
            CloseHandle(file);
            throw;
        }
    } catch (...) {
        return nullptr;
    }
}

extern "C" int unRecoveryError(const char* text)
{
    try {
        return writeError(dll_logger::unrecoverableLine(timestamp(), text, "\r\n")) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}
