// ziv-demo --window on Linux: the scene in an SDL2 window, drawn by the
// module into an off-screen surface of the software DirectDraw, whose pixels
// go into a streaming texture of the window's own pixel format every frame.
// SDL's software renderer copies them to the window as they are: no
// scaling, no conversion.
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "DemoDevice.h"
#include "Options.h"
#include "WindowMain.h"
#include "WindowSession.h"

namespace zivdemo {

namespace {

// Video drivers that show nothing on a screen: SDL falls back on them when
// there is no display. They serve only a run that asks for them by name in
// SDL_VIDEODRIVER.
bool showsNothing(const char* driver)
{
    return driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

struct SdlScope {
    SdlScope()
    {
        // Without a display to name, SDL would try them all (and say so)
        // before it settles for one of those.
        const char* asked = SDL_getenv("SDL_VIDEODRIVER");
        if (asked == nullptr && SDL_getenv("DISPLAY") == nullptr && SDL_getenv("WAYLAND_DISPLAY") == nullptr) {
            throw std::runtime_error("no display to open a window on");
        }
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            throw std::runtime_error(std::string("SDL_Init: ") + SDL_GetError());
        }
        const char* driver = SDL_GetCurrentVideoDriver();
        if (showsNothing(driver) && (asked == nullptr || std::strstr(asked, driver) == nullptr)) {
            SDL_Quit();
            throw std::runtime_error("no display to open a window on");
        }
    }
    ~SdlScope() { SDL_Quit(); }
};

template <typename T, void (*Destroy)(T*)> struct SdlDeleter {
    void operator()(T* p) const { Destroy(p); }
};
using WindowPtr = std::unique_ptr<SDL_Window, SdlDeleter<SDL_Window, SDL_DestroyWindow>>;
using RendererPtr = std::unique_ptr<SDL_Renderer, SdlDeleter<SDL_Renderer, SDL_DestroyRenderer>>;
using TexturePtr = std::unique_ptr<SDL_Texture, SdlDeleter<SDL_Texture, SDL_DestroyTexture>>;

void check(const char* call, HRESULT result)
{
    if (FAILED(result)) {
        throw std::runtime_error("DirectDraw: " + describeResult(call, result));
    }
}

class SdlWindowProgram {
public:
    SdlWindowProgram(const WindowOptions& options, const Scene& scene, const SceneResources& resources,
                     const ModuleApi& module, SessionReport& report)
        : d_options(options), d_scene(scene), d_report(report), d_width(options.width.value_or(scene.width)),
          d_height(options.height.value_or(scene.height)), d_device(options.blendMode, options.videoMemory ? 1 : 0)
    {
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        d_window.reset(SDL_CreateWindow("ziv-demo", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                        static_cast<int>(d_width), static_cast<int>(d_height), SDL_WINDOW_RESIZABLE));
        if (!d_window) {
            throw std::runtime_error(std::string("SDL_CreateWindow: ") + SDL_GetError());
        }
        d_renderer.reset(SDL_CreateRenderer(d_window.get(), -1, SDL_RENDERER_SOFTWARE));
        if (!d_renderer) {
            throw std::runtime_error(std::string("SDL_CreateRenderer: ") + SDL_GetError());
        }
        // The target takes the window's depth, so its pixels need no
        // conversion on their way to the screen.
        const bool sixteen = SDL_BITSPERPIXEL(SDL_GetWindowPixelFormat(d_window.get())) == 16;
        d_bits = sixteen ? 16 : 32;
        d_textureFormat = sixteen ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
        report.line(sixteen ? "format 565" : "format 32");

        check("DirectDrawCreate", DirectDrawCreate(nullptr, &d_directDraw, nullptr));
        check("SetCooperativeLevel", d_directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
        makeTarget();
        SessionSettings settings;
        settings.blendMode = options.blendMode;
        settings.textureMemory = options.videoMemory ? 1 : 0;
        settings.softEdges = options.softEdges;
        settings.formatLabel = formatInfo(sixteen ? TargetFormat::Rgb565 : TargetFormat::Rgb32).label;
        settings.damage = !options.fullFrames;
        d_session = std::make_unique<WindowSession>(module, scene, resources, d_device, settings);
    }

    // Releases everything the window made; false when a surface was still
    // referenced elsewhere.
    bool close()
    {
        d_session.reset();
        const bool released = releaseSurface(d_target);
        if (d_directDraw != nullptr) {
            d_directDraw->Release();
            d_directDraw = nullptr;
        }
        return released;
    }

    ~SdlWindowProgram() { close(); }

    void run()
    {
        bool running = true;
        bool minimised = false;
        TitleClock clock;
        while (running) {
            SDL_Event event;
            const bool got = minimised ? SDL_WaitEvent(&event) != 0 : SDL_WaitEventTimeout(&event, 10) != 0;
            for (bool more = got; more; more = SDL_PollEvent(&event) != 0) {
                running = handle(event, minimised) && running;
            }
            if (!running || minimised) {
                continue;
            }
            frame();
            const std::string title = clock.tick(d_session->statistics());
            if (!title.empty()) {
                SDL_SetWindowTitle(d_window.get(), title.c_str());
            }
        }
    }

private:
    bool handle(const SDL_Event& event, bool& minimised)
    {
        switch (event.type) {
        case SDL_QUIT:
            return false;
        case SDL_KEYDOWN:
            return event.key.keysym.sym != SDLK_ESCAPE;
        case SDL_MOUSEMOTION:
            d_pointer =
                Pointer{static_cast<float>(event.motion.x), static_cast<float>(event.motion.y), true, d_pointer.down};
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT) {
                d_pointer = Pointer{static_cast<float>(event.button.x), static_cast<float>(event.button.y), true,
                                    event.type == SDL_MOUSEBUTTONDOWN};
            }
            break;
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
            case SDL_WINDOWEVENT_LEAVE:
                d_pointer.inside = false;
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                minimised = true;
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
                minimised = false;
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                resize(static_cast<uint32_t>(event.window.data1), static_cast<uint32_t>(event.window.data2));
                break;
            default:
                break;
            }
            break;
        default:
            break;
        }
        return true;
    }

    void makeTarget()
    {
        // The display mode is the window's size and depth; a new one loses
        // every surface, as a change of the display mode does on Windows.
        check("SetDisplayMode", d_directDraw->SetDisplayMode(d_width, d_height, d_bits));
        d_target = createOffscreenSurface(d_directDraw, d_width, d_height, d_options.videoMemory);
        d_device.set(d_directDraw, d_width, d_height);
        d_texture.reset(SDL_CreateTexture(d_renderer.get(), d_textureFormat, SDL_TEXTUREACCESS_STREAMING,
                                          static_cast<int>(d_width), static_cast<int>(d_height)));
        if (!d_texture) {
            throw std::runtime_error(std::string("SDL_CreateTexture: ") + SDL_GetError());
        }
    }

    // The device reset: the renderer lets go of its surfaces, the window gets
    // a display mode and target of the new size, the renderer rebuilds.
    void resize(uint32_t width, uint32_t height)
    {
        if (width == 0 || height == 0 || (width == d_width && height == d_height && d_target != nullptr)) {
            return;
        }
        d_session->prepareForReset();
        releaseSurface(d_target);
        d_width = width;
        d_height = height;
        makeTarget();
        d_session->finishReset(d_target);
    }

    void frame()
    {
        const bool targetLost = d_target->IsLost() == DDERR_SURFACELOST;
        if (!restoreIfLost(d_target, "window target")) {
            const uint32_t width = d_width;
            d_width = 0; // forces the reset
            resize(width, d_height);
        } else if (targetLost) {
            d_session->targetChanged(d_target);
        }
        d_session->draw(d_target, d_pointer, d_width, d_height);
        // Only what the frame redrew goes into the window's texture, which
        // keeps the rest from the frames before.
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(DDSURFACEDESC);
        check("Lock (window target)", d_target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
        const size_t bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
        int updated = 0;
        uint64_t pixels = 0;
        for (const RECT& part : d_session->damaged()) {
            pixels += uint64_t(part.right - part.left) * uint64_t(part.bottom - part.top);
            const SDL_Rect rect{part.left, part.top, part.right - part.left, part.bottom - part.top};
            const auto* first =
                static_cast<const uint8_t*>(desc.lpSurface) + part.top * desc.lPitch + part.left * bytes;
            if (rect.w > 0 && rect.h > 0 && updated == 0)
                updated = SDL_UpdateTexture(d_texture.get(), &rect, first, desc.lPitch);
        }
        d_target->Unlock(nullptr);
        if (updated != 0) {
            throw std::runtime_error(std::string("SDL_UpdateTexture: ") + SDL_GetError());
        }
        const SDL_Rect whole{0, 0, static_cast<int>(d_width), static_cast<int>(d_height)};
        SDL_RenderCopy(d_renderer.get(), d_texture.get(), &whole, &whole);
        if (d_options.showDamage) {
            SDL_SetRenderDrawColor(d_renderer.get(), 255, 0, 255, 255);
            for (const RECT& part : d_session->lastRedrawn()) {
                const SDL_Rect rect{part.left, part.top, part.right - part.left, part.bottom - part.top};
                SDL_RenderDrawRect(d_renderer.get(), &rect);
            }
        }
        SDL_RenderPresent(d_renderer.get());
        int x = 0, y = 0;
        SDL_GetWindowPosition(d_window.get(), &x, &y);
        d_report.presented(d_scene.interactive->describe(d_pointer), d_width, d_height, x, y, pixels);
    }

    const WindowOptions& d_options;
    const Scene& d_scene;
    SessionReport& d_report;
    uint32_t d_width, d_height;
    uint32_t d_bits = 32;
    Uint32 d_textureFormat = SDL_PIXELFORMAT_RGB888;
    WindowDevice d_device;
    Pointer d_pointer;
    SdlScope d_sdl;
    WindowPtr d_window;
    RendererPtr d_renderer;
    TexturePtr d_texture;
    IDirectDraw* d_directDraw = nullptr;
    IDirectDrawSurface* d_target = nullptr;
    std::unique_ptr<WindowSession> d_session;
};

} // namespace

int runWindow(const WindowOptions& options, const Scene& scene, const SceneResources& resources,
              const ModuleApi& module, SessionReport& report)
{
    if (options.direct) {
        throw UsageError("--direct draws onto a DirectDraw primary surface, which only Windows has");
    }
    SdlWindowProgram program(options, scene, resources, module, report);
    program.run();
    return program.close() ? 0 : 1;
}

void showWindowError(const std::string& text, bool)
{
    std::fprintf(stderr, "ziv-demo: %s\n", text.c_str());
}

} // namespace zivdemo
