// Binding of the logger plug-in "dll_logger.dll".
#pragma once

namespace ZorvUISystem {

// Loads the plug-in from loggerDirectory (UTF-8, joined by plain
// concatenation, so it must end in a separator; null or empty means the
// system's search order) and stores its three entry points in the module
// state, null where the library did not load or lacks an export. The library
// is never unloaded.
void bindLoggerPlugin(const char* loggerDirectory);

} // namespace ZorvUISystem
