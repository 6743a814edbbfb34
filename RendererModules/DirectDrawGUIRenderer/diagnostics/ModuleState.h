// The state the module keeps for as long as it is loaded: one instance per
// loaded module, touched only from the host's thread, never guarded.
#pragma once

#include <string>

#include "PlovLogger.h"

namespace ZorvUISystem {

struct ModuleState {
    // Text of the most recent failed createRenderer; never cleared on success.
    std::string lastError;
    // The module's one logger object; created by createRenderer when the
    // plug-in's log level is above 0, destroyed by destroyRenderer.
    PlovLogger* logger = nullptr;
    // Entry points of the logger plug-in, null until bound.
    CreatePlovLoggerFn createLogger = nullptr;
    UnRecoveryErrorFn unRecoveryError = nullptr;
    GetLogLevelFromIniFileFn getLogLevel = nullptr;
    // While above 0, logError writes nothing: a caller that reports a
    // failure once itself silences the layers beneath it.
    int quietLevel = 0;
};

ModuleState& moduleState();

} // namespace ZorvUISystem
