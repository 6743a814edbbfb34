// The module's diagnostics: its one logger object and the report of a failed
// DirectDraw call by the name of its result code.
#pragma once

#include <cstdint>

#include <windows.h>

class PlovLogger;

namespace ZorvUISystem {

// The module's logger object, or null when logging is off.
PlovLogger* moduleLogger();

// Writes text with logMessage at level 1 when a logger object exists and no
// QuietErrors scope is open.
void logError(const char* text);

// While one lives, logError writes nothing: for a caller that reports the
// failure of the calls beneath it once, in its own words.
class QuietErrors {
public:
    QuietErrors();
    ~QuietErrors();
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;
};

// Where a result code's name is printed. A code is named only where its
// entry says so; elsewhere it appears as a number alone.
enum DirectDrawResultUse : uint8_t {
    RESULT_USE_REPORT = 1,           // reportDirectDrawError
    RESULT_USE_SURFACE_CREATION = 2, // failures of a texture's CreateSurface
};

// One DirectDraw result code with its published name.
struct DirectDrawResultEntry {
    HRESULT code;
    const char* name;
    uint8_t uses; // DirectDrawResultUse bits
};

// The published name of a DirectDraw result code ("DDERR_SURFACELOST") where
// one use names it (diagnostics/DirectDrawResults.h): null when the code is unknown
// or not named there.
const char* directDrawResultName(HRESULT result, DirectDrawResultUse use);

// Logs a failed DirectDraw call at level 1 when a logger object exists:
// format "%s(%d) NAME" for a code named in reports, "%s(%d)" for any other,
// with the context text and the code as a signed 32-bit number.
void reportDirectDrawError(const char* context, HRESULT result);

} // namespace ZorvUISystem
