// The switchable behaviours of a real DirectDraw that the software DirectDraw
// can put on (see ddraw_test.h for the control side), and the library-wide
// state they need: the video memory in use and the client rectangles of
// windows that clippers follow. Every behaviour is off until a test sets it.
#pragma once

#include <cstddef>
#include <cstdint>

#include <ddraw.h>

namespace zivdd {

struct Behaviour {
    bool lostSurfacesUsable = false;         // Blt, BltFast, fills, GetDC and Lock work on lost surfaces
    bool wrongModeOnRestore = false;         // video memory made in another depth does not restore
    bool garbageMemory = false;              // new and restored pixels hold garbage, not zeros
    unsigned busyCalls = 0;                  // calls without the wait flag refused after a blit
    size_t videoMemoryBudget = 0;            // bytes of video memory; 0: unlimited
    bool clipListRefusedWhileLocked = false; // GetClipList fails while a surface is locked
};

// The behaviours in force. Tests set them from the thread that makes the
// DirectDraw calls.
Behaviour& behaviour();

// Takes `bytes` of video memory for a surface: false, taking nothing, when
// the budget has not that much left.
bool takeVideoMemory(size_t bytes);
void giveBackVideoMemory(size_t bytes);
size_t videoMemoryInUse();

// Surfaces of the library locked right now.
void countLock(int change);
unsigned lockedSurfaces();

// A new seed for the garbage of one surface's memory: every fill differs.
uint32_t nextGarbageSeed();

// The client rectangle of a window, as a clipper that follows the window
// clips to it: the one a test set, or the default display mode's size.
RECT clientRect(HWND window);

} // namespace zivdd
