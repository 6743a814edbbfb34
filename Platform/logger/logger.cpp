// dll_logger: the logger plug-in that hosts ship beside the module.
//
// Configuration lives in an ini file (the module asks for "VumLogger.ini") in
// the directory the host names, one section per module:
//
//     ; comments start with ';' or '#'
//     [ziv]
//     level = 4        ; write messages of this level and below; 0 or less: off
//     file  = ziv.log  ; relative to the directory, or absolute
//
// Section and key names are matched without regard to case; the first
// occurrence of a key wins. A missing file, section or key means level 0; a
// missing file= means "<module>.log" in the directory. Levels: 1 errors,
// 2 warnings, 3 information, 4 traces.
//
// CreatePlovLogger learns only the module name, so the plug-in remembers, per
// module name, the log file that the last GetLogLevelFromIniFile for that name
// chose. A module that never asked logs to "<module>.log" in the current
// directory.
//
// Each message becomes one line, appended with a single write so that lines
// of several loggers or processes sharing a file do not interleave:
//
//     2026-12-07 08:38:41.123 [ziv] ERROR: text
//
// The two opaque arguments of CreatePlovLogger are not used by this logger.
#include "PlovLogger.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>

#define DLL_LOGGER_EXPORT __attribute__((visibility("default")))

namespace {

// ----- paths and the per-module file table ---------------------------------

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// The directory is a prefix that should end in a separator; one is added
// when it does not. An absolute name ignores the directory.
std::string joinPath(const char* directory, const std::string& name)
{
    if (!name.empty() && name.front() == '/')
        return name;
    if (directory == nullptr || directory[0] == '\0')
        return name;
    std::string path = directory;
    if (!isSeparator(path.back()))
        path += '/';
    return path + name;
}

// Absolute, so that a later change of the working directory does not move
// the log.
std::string absolutePath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

std::string defaultLogFileName(const std::string& moduleName)
{
    std::string name = moduleName.empty() ? std::string("plov") : moduleName;
    for (char& c : name)
        if (isSeparator(c))
            c = '_';
    return name + ".log";
}

std::mutex& fileTableMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, std::string>& fileTable()
{
    static std::map<std::string, std::string> table;
    return table;
}

void rememberLogFile(const std::string& moduleName, const std::string& path)
{
    const std::lock_guard<std::mutex> lock(fileTableMutex());
    fileTable()[moduleName] = path;
}

std::string logFileFor(const std::string& moduleName)
{
    {
        const std::lock_guard<std::mutex> lock(fileTableMutex());
        const auto found = fileTable().find(moduleName);
        if (found != fileTable().end())
            return found->second;
    }
    return absolutePath(defaultLogFileName(moduleName));
}

// ----- the ini file ---------------------------------------------------------

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

struct ModuleSettings {
    bool hasLevel = false;
    int32_t level = 0;
    bool hasFile = false;
    std::string file;
};

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

ModuleSettings readModuleSettings(std::istream& in, std::string_view moduleName)
{
    ModuleSettings settings;
    bool inSection = false;
    bool firstLine = true;
    std::string line;
    while (std::getline(in, line)) {
        std::string_view text = line;
        if (firstLine && text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        firstLine = false;
        text = trim(text);
        if (text.empty() || text.front() == ';' || text.front() == '#')
            continue;
        if (text.front() == '[') {
            const size_t close = text.find(']');
            if (close != std::string_view::npos)
                inSection = equalsIgnoringCase(trim(text.substr(1, close - 1)), moduleName);
            continue;
        }
        if (!inSection)
            continue;
        const size_t equals = text.find('=');
        if (equals == std::string_view::npos)
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

// ----- output ---------------------------------------------------------------

std::string timestamp()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03ld", static_cast<long>(now.tv_nsec / 1000000));
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

// The whole buffer in as few writes as the kernel allows; with O_APPEND a
// single write lands as one piece.
bool writeAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(written);
    }
    return true;
}

class FileLogger final : public PlovLogger {
public:
    FileLogger(std::string moduleName, int32_t level, int fd)
        : d_moduleName(std::move(moduleName)), d_level(level), d_fd(fd)
    {
    }
    ~FileLogger() override { ::close(d_fd); }

    FileLogger(const FileLogger&) = delete;
    FileLogger& operator=(const FileLogger&) = delete;

    // 0 when written or filtered out by level, -1 when the line could not be written.
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
        // One line per message: a trailing line break of the text is dropped.
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
            line += '\n';
            return writeAll(d_fd, line) ? 0 : -1;
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }

    std::string d_moduleName;
    int32_t d_level;
    int d_fd;
};

} // namespace

extern "C" DLL_LOGGER_EXPORT int32_t GetLogLevelFromIniFile(const char* directory, const char* moduleName,
                                                            const char* iniFileName)
{
    if (moduleName == nullptr)
        return 0;
    try {
        const std::string iniName = iniFileName == nullptr || iniFileName[0] == '\0' ? "VumLogger.ini" : iniFileName;
        ModuleSettings settings;
        std::ifstream in(joinPath(directory, iniName));
        if (in)
            settings = readModuleSettings(in, moduleName);
        const std::string file = settings.hasFile ? settings.file : defaultLogFileName(moduleName);
        rememberLogFile(moduleName, absolutePath(joinPath(directory, file)));
        return settings.hasLevel ? settings.level : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" DLL_LOGGER_EXPORT PlovLogger* CreatePlovLogger(uint32_t arg1, uint32_t arg2, const char* moduleName,
                                                          int32_t level)
{
    (void)arg1;
    (void)arg2;
    if (moduleName == nullptr)
        return nullptr;
    try {
        const std::string path = logFileFor(moduleName);
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            // Logging is optional for the host: say why there is none and go on.
            const int error = errno;
            std::string notice = timestamp() + " dll_logger: cannot open log file \"" + path + "\" for module \"" +
                                 moduleName + "\": " + std::strerror(error) + "\n";
            writeAll(STDERR_FILENO, notice);
            return nullptr;
        }
        try {
            return new FileLogger(moduleName, level, fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
    } catch (...) {
        return nullptr;
    }
}

extern "C" DLL_LOGGER_EXPORT int unRecoveryError(const char* text)
{
    try {
        std::string line = timestamp() + " unrecoverable error: " + (text == nullptr ? "(null)" : text);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        line += '\n';
        return writeAll(STDERR_FILENO, line) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}
