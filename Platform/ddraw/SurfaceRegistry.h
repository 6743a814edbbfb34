// Every live surface and DirectDraw object of the library, for the test
// controls: loss on demand, guard checks and leak counts.
#pragma once

namespace zivdd {

class DirectDraw;
class Surface;

// Registration can run out of memory: false then, nothing registered.
bool registerSurface(Surface* surface);
void unregisterSurface(Surface* surface);
bool registerDirectDraw(DirectDraw* directDraw);
void unregisterDirectDraw(DirectDraw* directDraw);

} // namespace zivdd
