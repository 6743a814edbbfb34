// STUB: replaced by the spine work.
#include "module/Diagnostics.h"
namespace ZorvUISystem {
PlovLogger* moduleLogger() { return nullptr; }
void logError(const char*) {}
const char* directDrawResultName(HRESULT) { return nullptr; }
void reportDirectDrawError(const char*, HRESULT) {}
}  // namespace ZorvUISystem
