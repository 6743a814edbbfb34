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
#include "LoggerCore.h"
#include "PlovLogger.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <utility>

#define DLL_LOGGER_EXPORT __attribute__((visibility("default")))

namespace {

using dll_logger::isSeparator;

// ----- paths and the per-module file table ---------------------------------

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

class FileLogger final : public dll_logger::LineLogger {
public:
    FileLogger(std::string moduleName, int32_t level, int fd) : LineLogger(std::move(moduleName), level, "\n"), d_fd(fd)
    {
    }
    ~FileLogger() override { ::close(d_fd); }

private:
    std::string timestamp() const override { return ::timestamp(); }
    bool writeText(const std::string& line) override { return writeAll(d_fd, line); }

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
        dll_logger::ModuleSettings settings;
        std::ifstream in(joinPath(directory, iniName));
        if (in)
            settings = dll_logger::readModuleSettings(
                std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), moduleName);
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
        return writeAll(STDERR_FILENO, dll_logger::unrecoverableLine(timestamp(), text, "\n")) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}
