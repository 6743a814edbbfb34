// STUB: replaced by the spine work.
#include "ziv.h"
extern "C" ZorvUISystem::Renderer* createRenderer(ZorvUISystem::RenderDevice*, uint32_t, bool, const char*, uint32_t, uint32_t) { return nullptr; }
extern "C" void destroyRenderer(ZorvUISystem::Renderer* r) { delete r; }
extern "C" const char* getLastErrorString() { return ""; }
