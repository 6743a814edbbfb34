// The recording logger plug-in: a test build of dll_logger.dll whose answers
// the test sets and which records every call. Each copy of the library file
// is a separate instance with its own state.
#pragma once

#include <cstdint>
#include <string>

#include "RecordingPlovLogger.h"

namespace ZivTest {

enum class LoggerCreation {
    Logger,            // CreatePlovLogger returns a recording logger object
    Null,              // it returns null
    StandardException, // it throws std::runtime_error(exceptionText)
    OtherException,    // it throws an int
};

struct RecorderState {
    int32_t logLevel = 0; // GetLogLevelFromIniFile's answer
    LoggerCreation creation = LoggerCreation::Logger;
    std::string exceptionText = "logger creation failed";
    LoggerRecord record;
};

enum class PluginVariant {
    Full,           // all three exports
    WithoutFactory, // no CreatePlovLogger
};

// Copies the plug-in, as "dll_logger.dll", into directory (which must exist)
// and returns the copy's state, for the test to set answers and read the
// record. The copy stays loaded for the rest of the process, as the module
// never unloads a plug-in either.
RecorderState& installRecordingPlugin(const std::string& directory, PluginVariant variant = PluginVariant::Full);

// The built plug-in file.
std::string recordingPluginPath(PluginVariant variant = PluginVariant::Full);

} // namespace ZivTest

// Exported by the recording plug-in.
extern "C" ZivTest::RecorderState* zivRecorderState();
typedef ZivTest::RecorderState* (*ZivRecorderStateFn)();
