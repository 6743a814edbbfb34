// The scene as an interactive program draws it: one renderer for the life of
// the window, the scene's textures made once, and every frame laid out for
// the pointer (the scene's "interactive" groups and regions) and the window's
// size. The platform's window code owns the DirectDraw objects and the
// presentation; this part is the same on Windows and on Linux.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "DemoRun.h"
#include "Scene.h"
#include "ziv.h"

namespace zivdemo {

// The window's RenderDevice: the DirectDraw object and the size of the
// surface the renderer draws into, which the window code changes on a reset.
class WindowDevice final : public ZorvUISystem::RenderDevice {
public:
    WindowDevice(int32_t blendMode, int32_t textureMemory) : d_blendMode(blendMode), d_textureMemory(textureMemory) {}

    IDirectDraw* getDirectDraw() override { return d_directDraw; }
    bool getTargetSize(float* width, float* height) override;
    int32_t getBlendMode() override { return d_blendMode; }
    int32_t getTextureMemory() override { return d_textureMemory; }
    int32_t getTexturePixelFormat() override { return 0; } // the display's

    void set(IDirectDraw* directDraw, uint32_t width, uint32_t height);

private:
    IDirectDraw* d_directDraw = nullptr;
    uint32_t d_width = 0, d_height = 0;
    int32_t d_blendMode;
    int32_t d_textureMemory;
};

struct SessionSettings {
    int32_t blendMode = 2;
    int32_t textureMemory = 0; // 0 system memory, 1 video memory
    std::string formatLabel;   // {format} in texts
    bool softEdges = true;     // see RunSettings
    bool damage = true;        // damage-aware frames, where the module has them
};

class WindowSession {
public:
    // Creates the renderer on the device's DirectDraw object and target size
    // and makes every texture of the scene. Throws std::runtime_error.
    WindowSession(const ModuleApi& module, const Scene& scene, const SceneResources& resources, WindowDevice& device,
                  const SessionSettings& settings);
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    // Draws the window's frame for the pointer into target: the client area
    // of layoutWidth x layoutHeight, its top-left corner at originX, originY
    // of the target (0, 0 for an off-screen target). The target is cleared
    // with the scene's background there first. A shared target (the primary
    // surface, which other windows draw on too) keeps nothing between frames:
    // it is drawn whole.
    void draw(IDirectDrawSurface* target, const Pointer& pointer, uint32_t layoutWidth, uint32_t layoutHeight,
              int32_t originX = 0, int32_t originY = 0, bool shared = false);

    // The device reset around a new target: prepare, then (with the new
    // DirectDraw object and size set on the device) finish, which rebuilds the
    // renderer's surfaces and gives raw-pixel textures their pixels again.
    void prepareForReset();
    void finishReset(IDirectDrawSurface* target);

    const ZorvUISystem::FrameStatistics& statistics() const { return d_statistics; }
    // Damage-aware frames: whether the renderer keeps to them, and the
    // rectangles of the target the last draw changed (all of it when off).
    bool damageAware() const { return d_damage; }
    const std::vector<RECT>& damaged() const { return d_damaged; }
    // What the last frame that redrew anything redrew (for --show-damage).
    const std::vector<RECT>& lastRedrawn() const { return d_lastRedrawn; }
    // The host changed the target's pixels itself (restored it after a loss).
    void targetChanged(IDirectDrawSurface* target);
    const std::string& identifier() const { return d_identifier; }

private:
    const ModuleApi& d_module;
    const Scene& d_scene;
    const SceneResources& d_resources;
    ZorvUISystem::Renderer* d_renderer = nullptr;
    std::map<std::string, ZorvUISystem::Texture*> d_textures;
    LayoutContext d_context;
    ZorvUISystem::FrameStatistics d_statistics{};
    std::string d_identifier;
    int32_t d_blendMode;
    bool d_damage = false;
    std::vector<RECT> d_damaged;
    std::vector<RECT> d_lastRedrawn;
};

// What the window tells a test (--report FILE): a line whenever it has shown
// a frame in a new state, size or place, and how it ended.
class SessionReport {
public:
    explicit SessionReport(const std::string& path);
    bool enabled() const { return d_out.is_open(); }
    // "frame 12 640x480 at 0,0 ok=hover cancel=idle list=idle status=idle"
    // A frame shown; pixels is how much of the window it put on the screen.
    void presented(const std::string& regions, uint32_t width, uint32_t height, int32_t x, int32_t y,
                   uint64_t pixels);
    void line(const std::string& text);

private:
    std::ofstream d_out;
    std::string d_last;
    uint64_t d_frames = 0;
};

// Frames per second over the last half second and the last frame's figures,
// for the title bar. text() is empty until a new title is due.
class TitleClock {
public:
    std::string tick(const ZorvUISystem::FrameStatistics& statistics);

private:
    std::chrono::steady_clock::time_point d_start = std::chrono::steady_clock::now();
    uint32_t d_frames = 0;
};

// Restores a lost surface as a DirectDraw program must. True when the
// surface is usable (it was not lost, or Restore brought it back); false
// when it must be made again (DDERR_WRONGMODE: the display mode changed).
// Other failures of Restore throw std::runtime_error.
bool restoreIfLost(IDirectDrawSurface* surface, const char* what);

// An off-screen surface in the display's pixel format, in system or video
// memory. Throws std::runtime_error naming the call.
IDirectDrawSurface* createOffscreenSurface(IDirectDraw* directDraw, uint32_t width, uint32_t height, bool video);

// Releases a surface the window made and nulls the pointer; true when that
// was its last reference.
bool releaseSurface(IDirectDrawSurface*& surface);

// An ARGB colour as a pixel of the surface's format (by its masks).
uint32_t packForSurface(IDirectDrawSurface* surface, uint32_t argb);

} // namespace zivdemo
