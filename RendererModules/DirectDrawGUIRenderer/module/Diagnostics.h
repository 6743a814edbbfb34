// The module's diagnostics: its one logger object and the report of a failed
// DirectDraw call by the name of its result code.
#pragma once

#include <cstdint>

#include <windows.h>

class PlovLogger;

namespace ZorvUISystem {

// The module's logger object, or null when logging is off.
PlovLogger* moduleLogger();

// Writes text with logMessage at level 1 when a logger object exists.
void logError(const char* text);

// The published name of a DirectDraw result code ("DDERR_SURFACELOST"), or
// null for a code the module does not name.
const char* directDrawResultName(HRESULT result);

// Logs "context(result) NAME" at level 1 when a logger object exists.
void reportDirectDrawError(const char* context, HRESULT result);

}  // namespace ZorvUISystem
