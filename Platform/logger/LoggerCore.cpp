// The logger plug-in's platform-neutral part: ini parsing and line format.
#include "LoggerCore.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <utility>

namespace dll_logger {

namespace {

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

std::string_view withoutLineBreaks(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

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

std::string formatLine(std::string_view timestamp, std::string_view moduleName, int32_t level, std::string_view text,
                       std::string_view lineEnd)
{
    std::string line(timestamp);
    line += " [";
    line += moduleName;
    line += "] ";
    line += levelName(level);
    line += ": ";
    line += withoutLineBreaks(text);
    line += lineEnd;
    return line;
}

std::string unrecoverableLine(std::string_view timestamp, const char* text, std::string_view lineEnd)
{
    std::string line(timestamp);
    line += " unrecoverable error: ";
    line += text == nullptr ? "(null)" : text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    line += lineEnd;
    return line;
}

LineLogger::LineLogger(std::string moduleName, int32_t level, std::string_view lineEnd)
    : d_moduleName(std::move(moduleName)), d_level(level), d_lineEnd(lineEnd)
{
}

int LineLogger::logMessage(const char* text, int32_t level)
{
    if (level > d_level)
        return 0;
    return writeLine(level, text == nullptr ? std::string_view("(null)") : std::string_view(text));
}

int LineLogger::logFormat(int32_t level, const char* format, ...)
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

int LineLogger::writeLine(int32_t level, std::string_view text)
{
    try {
        return writeText(formatLine(timestamp(), d_moduleName, level, text, d_lineEnd)) ? 0 : -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

} // namespace dll_logger
