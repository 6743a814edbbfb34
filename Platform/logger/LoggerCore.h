// The logger plug-in's platform-neutral part, shared by every platform's
// dll_logger: the ini file's settings and the format of the lines. Standard
// C++ only; each platform adds the clock, the file handling and the exports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "PlovLogger.h"

namespace dll_logger {

bool isSeparator(char c);

// What a module's section of the ini file says.
struct ModuleSettings {
    bool hasLevel = false;
    int32_t level = 0;
    bool hasFile = false;
    std::string file;
};

// The settings of section moduleName in the ini file's content. Comments
// start with ';' or '#'; section and key names match without regard to case;
// the first occurrence of a key wins; a value may be quoted.
ModuleSettings readModuleSettings(std::string_view content, std::string_view moduleName);

// "ERROR", "WARNING", "INFO", "TRACE" for 1 to 4, "LEVEL n" otherwise.
std::string levelName(int32_t level);

// "<timestamp> [<module>] <LEVEL>: <text><lineEnd>"; line breaks ending the
// text are dropped.
std::string formatLine(std::string_view timestamp, std::string_view moduleName, int32_t level, std::string_view text,
                       std::string_view lineEnd);

// "<timestamp> unrecoverable error: <text><lineEnd>"; line breaks ending the
// text are dropped.
std::string unrecoverableLine(std::string_view timestamp, const char* text, std::string_view lineEnd);

// A logger that writes each message of its level and below as one line. The
// platform supplies the clock and the writing.
class LineLogger : public PlovLogger {
public:
    LineLogger(const LineLogger&) = delete;
    LineLogger& operator=(const LineLogger&) = delete;

    // 0 when written or filtered out by level, -1 when the line could not be
    // written.
    int logMessage(const char* text, int32_t level) final;
    int logFormat(int32_t level, const char* format, ...) final;

protected:
    LineLogger(std::string moduleName, int32_t level, std::string_view lineEnd);
    ~LineLogger() override = default;

    // The local time as "YYYY-MM-DD hh:mm:ss.mmm".
    virtual std::string timestamp() const = 0;
    // The whole line, in one piece; false when it could not be written.
    virtual bool writeText(const std::string& line) = 0;

private:
    int writeLine(int32_t level, std::string_view text);

    std::string d_moduleName;
    int32_t d_level;
    std::string_view d_lineEnd;
};

} // namespace dll_logger
