// Binding of the logger plug-in "dll_logger.dll".
#pragma once

namespace ZorvUISystem {

// Loads the plug-in from loggerDirectory (UTF-8, joined by plain
// concatenation, so it must end in a separator) and stores its three entry
// points in the module state, null where the library did not load or lacks
// an export. Without a directory (null, empty or too long to convert) the
// plug-in beside this module is loaded, else one in the host program's
// folder or the system folder, never one from the current directory. The
// library is never unloaded.
void bindLoggerPlugin(const char* loggerDirectory);

} // namespace ZorvUISystem
