// The recording logger plug-in (built as dll_logger.dll): answers as its
// state says and records every call.
#include <stdexcept>

#include "RecordingPlugin.h"

#define RECORDER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

ZivTest::RecorderState g_state;

} // namespace

RECORDER_EXPORT ZivTest::RecorderState* zivRecorderState()
{
    return &g_state;
}

RECORDER_EXPORT int32_t GetLogLevelFromIniFile(const char* directory, const char* moduleName, const char* iniFileName)
{
    g_state.record.calls.push_back(
        {"GetLogLevelFromIniFile",
         {ZivTest::recordedText(directory), ZivTest::recordedText(moduleName), ZivTest::recordedText(iniFileName)},
         directory,
         nullptr});
    return g_state.logLevel;
}

RECORDER_EXPORT int unRecoveryError(const char* text)
{
    g_state.record.calls.push_back({"unRecoveryError", {ZivTest::recordedText(text)}, nullptr, nullptr});
    if (g_state.record.reportsThrow)
        throw std::runtime_error("unRecoveryError failed");
    return 0;
}

#ifndef ZIV_RECORDER_WITHOUT_FACTORY
RECORDER_EXPORT PlovLogger* CreatePlovLogger(uint32_t arg1, uint32_t arg2, const char* moduleName, int32_t level)
{
    g_state.record.calls.push_back(
        {"CreatePlovLogger",
         {std::to_string(arg1), std::to_string(arg2), ZivTest::recordedText(moduleName), std::to_string(level)},
         nullptr,
         nullptr});
    switch (g_state.creation) {
    case ZivTest::LoggerCreation::Logger:
        return new ZivTest::RecordingPlovLogger(g_state.record);
    case ZivTest::LoggerCreation::Null:
        return nullptr;
    case ZivTest::LoggerCreation::StandardException:
        throw std::runtime_error(g_state.exceptionText);
    case ZivTest::LoggerCreation::OtherException:
        throw 42;
    }
    return nullptr;
}
#endif
