// The renderer factory behind the module's three exports.
#pragma once

#include <cstdint>

#include "ziv.h"

namespace ZorvUISystem {

// Binds the logger plug-in while it is not bound, creates the module's logger
// object when the plug-in's level is above 0 and none exists, and builds a
// CDDRender. Every failure is caught: its text becomes the last-error text
// and the answer is null.
Renderer* createModuleRenderer(RenderDevice* device, uint32_t reserved, bool hostFlag, const char* loggerDirectory,
                               uint32_t loggerArg1, uint32_t loggerArg2);

// Destroys the renderer (null is allowed), then the module's logger object.
void destroyModuleRenderer(Renderer* renderer);

// Switches soft edges of a renderer of this module; 1 or 0 as now set, -1 for
// null. Never throws.
int32_t setModuleSoftEdges(Renderer* renderer, bool enabled) noexcept;

// The last-error text; empty before the first failure.
const char* moduleLastError();

} // namespace ZorvUISystem
