#include "module/Diagnostics.h"

#include <iterator>
#include <string>

#include <ddraw.h>

#include "PlovLogger.h"
#include "module/ModuleState.h"

namespace ZorvUISystem {

namespace {

constexpr uint8_t kReport = RESULT_USE_REPORT;
constexpr uint8_t kSurface = RESULT_USE_SURFACE_CREATION;

const DirectDrawResultEntry kResultTable[] = {
    {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED", kReport},
    {DDERR_GENERIC, "DDERR_GENERIC", kReport},
    {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS", kReport | kSurface},
    {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY", kSurface},
    {DDERR_INCOMPATIBLEPRIMARY, "DDERR_INCOMPATIBLEPRIMARY", kSurface},
    {DDERR_INVALIDCAPS, "DDERR_INVALIDCAPS", kSurface},
    {DDERR_INVALIDCLIPLIST, "DDERR_INVALIDCLIPLIST", kReport},
    {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT", kReport | kSurface},
    {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT", kSurface},
    {DDERR_INVALIDRECT, "DDERR_INVALIDRECT", kReport},
    {DDERR_NOALPHAHW, "DDERR_NOALPHAHW", kReport | kSurface},
    {DDERR_NOCLIPLIST, "DDERR_NOCLIPLIST", kReport},
    {DDERR_NOCOOPERATIVELEVELSET, "DDERR_NOCOOPERATIVELEVELSET", kSurface},
    {DDERR_NOFLIPHW, "DDERR_NOFLIPHW", kSurface},
    {DDERR_NOOVERLAYHW, "DDERR_NOOVERLAYHW", kSurface},
    {DDERR_NORASTEROPHW, "DDERR_NORASTEROPHW", kReport},
    {DDERR_NOSTRETCHHW, "DDERR_NOSTRETCHHW", kReport},
    {DDERR_OUTOFVIDEOMEMORY, "DDERR_OUTOFVIDEOMEMORY", kSurface},
    {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY", kReport},
    {DDERR_SURFACELOST, "DDERR_SURFACELOST", kReport},
    {DDERR_WASSTILLDRAWING, "DDERR_WASSTILLDRAWING", kReport},
    {DDERR_PRIMARYSURFACEALREADYEXISTS, "DDERR_PRIMARYSURFACEALREADYEXISTS", kSurface},
    {DDERR_NOBLTHW, "DDERR_NOBLTHW", kReport},
};

const DirectDrawResultEntry* findResult(HRESULT result)
{
    for (const DirectDrawResultEntry& entry : kResultTable) {
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
    if (PlovLogger* logger = moduleLogger())
        logger->logMessage(text, 1);
}

std::span<const DirectDrawResultEntry> directDrawResultTable()
{
    return {kResultTable, std::size(kResultTable)};
}

const char* directDrawResultName(HRESULT result)
{
    const DirectDrawResultEntry* entry = findResult(result);
    return entry ? entry->name : nullptr;
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
