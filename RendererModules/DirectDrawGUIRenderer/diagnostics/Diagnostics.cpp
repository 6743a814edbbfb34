#include "diagnostics/Diagnostics.h"

#include <string>

#include "PlovLogger.h"
#include "diagnostics/DirectDrawResults.h"
#include "diagnostics/ModuleState.h"

namespace ZorvUISystem {

namespace {

const DirectDrawResultEntry* findResult(HRESULT result)
{
    for (const DirectDrawResultEntry& entry : kDirectDrawResults) {
        if (entry.code == result)
            return &entry;
    }
    return nullptr;
}

} // namespace

PlovLogger* moduleLogger()
{
    return moduleState().logger;
}

void logError(const char* text)
{
    if (moduleState().quietLevel > 0)
        return;
    if (PlovLogger* logger = moduleLogger())
        logger->logMessage(text, 1);
}

QuietErrors::QuietErrors()
{
    ++moduleState().quietLevel;
}

QuietErrors::~QuietErrors()
{
    --moduleState().quietLevel;
}

const char* directDrawResultName(HRESULT result, DirectDrawResultUse use)
{
    const DirectDrawResultEntry* entry = findResult(result);
    return entry && (entry->uses & use) != 0 ? entry->name : nullptr;
}

void reportDirectDrawError(const char* context, HRESULT result)
{
    PlovLogger* logger = moduleLogger();
    if (logger == nullptr)
        return;
    // A null context would reach the logger's %s; print it as empty instead.
    const char* text = context ? context : "";
    const int32_t code = static_cast<int32_t>(result);
    if (const char* name = directDrawResultName(result, RESULT_USE_REPORT)) {
        const std::string format = std::string("%s(%d) ") + name;
        logger->logFormat(1, format.c_str(), text, code);
    } else {
        logger->logFormat(1, "%s(%d)", text, code);
    }
}

} // namespace ZorvUISystem
