// STUB: replaced by the platform work.
#include "PlovLogger.h"
#define EXPORT __attribute__((visibility("default")))
extern "C" EXPORT PlovLogger* CreatePlovLogger(uint32_t, uint32_t, const char*, int32_t) { return nullptr; }
extern "C" EXPORT int unRecoveryError(const char*) { return 0; }
extern "C" EXPORT int32_t GetLogLevelFromIniFile(const char*, const char*, const char*) { return 0; }
