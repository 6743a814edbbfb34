// A logger object that records every call it receives, argument by argument,
// and renders logFormat's values as a printf-style logger would.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "PlovLogger.h"

namespace ZivTest {

// One call into the logger plug-in or its object. Numbers are in decimal,
// texts as received, a null text as "<null>".
struct RecordedCall {
    std::string function; // "GetLogLevelFromIniFile", "CreatePlovLogger", "unRecoveryError",
                          // "logMessage", "logFormat" or "~PlovLogger"
    std::vector<std::string> args;
    const void* pointer = nullptr; // GetLogLevelFromIniFile: the directory pointer as received
    const void* object = nullptr;  // logger operations: the object called
};

struct LoggerRecord {
    std::vector<RecordedCall> calls;
    int loggersMade = 0; // numbers the logger objects: an address may be reused after a delete
    // unRecoveryError and logMessage raise a standard exception after recording the call.
    bool reportsThrow = false;

    std::vector<RecordedCall> callsTo(std::string_view function) const
    {
        std::vector<RecordedCall> found;
        for (const RecordedCall& call : calls) {
            if (call.function == function)
                found.push_back(call);
        }
        return found;
    }
    size_t count(std::string_view function) const { return callsTo(function).size(); }
};

inline std::string recordedText(const char* text)
{
    return text ? std::string(text) : std::string("<null>");
}

class RecordingPlovLogger final : public PlovLogger {
public:
    explicit RecordingPlovLogger(LoggerRecord& record) : d_record(record), d_serial(++record.loggersMade) {}
    // ~PlovLogger: args the object's serial number, 1 for the first made.
    ~RecordingPlovLogger() override
    {
        d_record.calls.push_back({"~PlovLogger", {std::to_string(d_serial)}, nullptr, this});
    }

    // logMessage: args text, level.
    int logMessage(const char* text, int32_t level) override
    {
        d_record.calls.push_back({"logMessage", {recordedText(text), std::to_string(level)}, nullptr, this});
        if (d_record.reportsThrow)
            throw std::runtime_error("logMessage failed");
        return 0;
    }

    // logFormat: args level, format, rendered text.
    int logFormat(int32_t level, const char* format, ...) override
    {
        std::string rendered;
        if (format != nullptr) {
            va_list args;
            va_start(args, format);
            va_list sizing;
            va_copy(sizing, args);
            const int length = std::vsnprintf(nullptr, 0, format, sizing);
            va_end(sizing);
            if (length > 0) {
                rendered.resize(static_cast<size_t>(length) + 1);
                std::vsnprintf(rendered.data(), rendered.size(), format, args);
                rendered.resize(static_cast<size_t>(length));
            }
            va_end(args);
        }
        d_record.calls.push_back({"logFormat", {std::to_string(level), recordedText(format), rendered}, nullptr, this});
        return 0;
    }

private:
    LoggerRecord& d_record;
    int d_serial;
};

} // namespace ZivTest
