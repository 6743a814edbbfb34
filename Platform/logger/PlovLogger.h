// The logger plug-in's interface (dll_logger.dll). The module binds the three
// exports by name and writes through the logger object.
#pragma once

#include <cstdint>

class PlovLogger {
public:
    virtual ~PlovLogger() = default;
    virtual int logMessage(const char* text, int32_t level) = 0;
    virtual int reservedLoggerOperation() { return 0; }  // never called by the module
    virtual int logFormat(int32_t level, const char* format, ...) = 0;
};

extern "C" PlovLogger* CreatePlovLogger(uint32_t arg1, uint32_t arg2, const char* moduleName, int32_t level);
extern "C" int unRecoveryError(const char* text);
extern "C" int32_t GetLogLevelFromIniFile(const char* directory, const char* moduleName, const char* iniFileName);

typedef PlovLogger* (*CreatePlovLoggerFn)(uint32_t, uint32_t, const char*, int32_t);
typedef int (*UnRecoveryErrorFn)(const char*);
typedef int32_t (*GetLogLevelFromIniFileFn)(const char*, const char*, const char*);
