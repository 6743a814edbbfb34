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
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <map>
#include <new>
#include <string>
#include <string_view>

#include "PlovLogger.h"

namespace {

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

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
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

std::string_view trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Like GetPrivateProfileInt: an optional sign and the leading digits; no
// digits is 0; out of range is clamped.
int32_t parseLevel(std::string_view text)
{
    size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    long long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > INT32_MAX)
            return negative ? INT32_MIN : INT32_MAX;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

struct ModuleSettings {
    bool hasLevel = false;
    int32_t level = 0;
    bool hasFile = false;
    std::string file;
};

ModuleSettings readModuleSettings(std::string_view content, std::string_view moduleName)
{
    ModuleSettings settings;
    if (content.substr(0, 3) == "\xEF\xBB\xBF")
        content.remove_prefix(3);
    bool inSection = false;
    while (!content.empty()) {
        const size_t end = content.find('\n');
        std::string_view text = trim(content.substr(0, end));
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (text.empty() || text.front() == ';' || text.front() == '#')
            continue;
        if (text.front() == '[') {
            const size_t close = text.find(']');
            if (close != std::string_view::npos)
                inSection = equalsIgnoringCase(trim(text.substr(1, close - 1)), moduleName);
            continue;
        }
        const size_t equals = text.find('=');
        if (!inSection || equals == std::string_view::npos)
            continue;
        const std::string_view key = trim(text.substr(0, equals));
        std::string_view value = trim(text.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (equalsIgnoringCase(key, "level") && !settings.hasLevel) {
            settings.hasLevel = true;
            settings.level = parseLevel(value);
        } else if (equalsIgnoringCase(key, "file") && !settings.hasFile && !value.empty()) {
            settings.hasFile = true;
            settings.file = std::string(value);
        }
    }
    return settings;
}

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

std::string levelName(int32_t level)
{
    switch (level) {
    case 1:
        return "ERROR";
    case 2:
        return "WARNING";
    case 3:
        return "INFO";
    case 4:
        return "TRACE";
    default:
        return "LEVEL " + std::to_string(level);
    }
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

class FileLogger final : public PlovLogger {
public:
    FileLogger(std::string moduleName, int32_t level, HANDLE file)
        : d_moduleName(std::move(moduleName)), d_level(level), d_file(file)
    {
    }
    ~FileLogger() override { CloseHandle(d_file); }

    FileLogger(const FileLogger&) = delete;
    FileLogger& operator=(const FileLogger&) = delete;

    // 0 when written or filtered out by level, -1 when the line could not be
    // written.
    int logMessage(const char* text, int32_t level) override
    {
        if (level > d_level)
            return 0;
        return writeLine(level, text == nullptr ? std::string_view("(null)") : std::string_view(text));
    }

    int logFormat(int32_t level, const char* format, ...) override
    {
        if (level > d_level)
            return 0;
        if (format == nullptr)
            return -1;
        va_list args;
        va_start(args, format);
        va_list again;
        va_copy(again, args);
        char small[512];
        const int length = std::vsnprintf(small, sizeof small, format, args);
        va_end(args);
        int result = -1;
        if (length >= 0 && size_t(length) < sizeof small) {
            result = writeLine(level, std::string_view(small, size_t(length)));
        } else if (length >= 0) {
            try {
                std::string text(size_t(length) + 1, '\0');
                std::vsnprintf(text.data(), text.size(), format, again);
                text.resize(size_t(length));
                result = writeLine(level, text);
            } catch (const std::bad_alloc&) {
                result = -1;
            }
        }
        va_end(again);
        return result;
    }

private:
    int writeLine(int32_t level, std::string_view text)
    {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.remove_suffix(1);
        try {
            std::string line = timestamp();
            line += " [";
            line += d_moduleName;
            line += "] ";
            line += levelName(level);
            line += ": ";
            line += text;
            line += "\r\n";
            return writeAll(d_file, line) ? 0 : -1;
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }

    std::string d_moduleName;
    int32_t d_level;
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
        const ModuleSettings settings =
            readModuleSettings(readSmallFile(widen(joinPath(directory, iniName))), moduleName);
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
        std::string line = timestamp() + " unrecoverable error: " + (text == nullptr ? "(null)" : text);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        line += "\r\n";
        return writeError(line) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}
