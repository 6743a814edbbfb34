// ziv-demo.exe: the scene in a window of its own on Windows. DirectDraw at
// the normal cooperative level, a primary surface with a clipper bound to
// the window; the module draws into an off-screen target (system or video
// memory) that is blitted onto the window's client area every frame, or,
// with --direct, straight onto the primary surface at the client area's
// place on the screen. Drawn there, every stage of a frame is on the screen
// at once (the clear, then the quads one by one), so a direct window draws
// only when what it shows changes: its state, size or place, or a repaint.
#include <windows.h>
#include <windowsx.h>

#include <ddraw.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "DemoDevice.h"
#include "WindowMain.h"
#include "WindowSession.h"

namespace zivdemo {

namespace {

const wchar_t kClassName[] = L"ZivDemoWindow";

void check(const char* call, HRESULT result)
{
    if (FAILED(result)) {
        throw std::runtime_error("DirectDraw: " + describeResult(call, result));
    }
}

std::wstring widen(const std::string& utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
    }
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

std::string formatName(const DDPIXELFORMAT& pf)
{
    if (pf.dwRGBBitCount == 16) {
        return pf.dwGBitMask == 0x07E0 ? "565" : "555";
    }
    return std::to_string(pf.dwRGBBitCount);
}

class Win32WindowProgram {
public:
    Win32WindowProgram(const WindowOptions& options, const Scene& scene, const SceneResources& resources,
                       const ModuleApi& module, SessionReport& report)
        : d_options(options), d_scene(scene), d_report(report), d_width(options.width.value_or(scene.width)),
          d_height(options.height.value_or(scene.height)), d_device(options.blendMode, options.videoMemory ? 1 : 0)
    {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Win32WindowProgram::procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kClassName;
        RegisterClassExW(&windowClass);
        RECT frame{0, 0, static_cast<LONG>(d_width), static_cast<LONG>(d_height)};
        AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
        d_window =
            CreateWindowExW(0, kClassName, L"ziv-demo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
        if (d_window == nullptr) {
            throw std::runtime_error("CreateWindowEx failed (error " + std::to_string(GetLastError()) + ")");
        }
        check("DirectDrawCreate", DirectDrawCreate(nullptr, &d_directDraw, nullptr));
        check("SetCooperativeLevel", d_directDraw->SetCooperativeLevel(d_window, DDSCL_NORMAL));
        makeSurfaces();
        SessionSettings settings;
        settings.blendMode = options.blendMode;
        settings.textureMemory = options.videoMemory ? 1 : 0;
        // Straight onto the primary surface every blended quad locks the
        // screen, which Wine copies in and out per lock: with soft edges
        // every glyph is blended, and a frame takes seconds there. Direct
        // windows draw with hard edges.
        settings.softEdges = options.softEdges && !options.direct;
        const std::optional<TargetFormat> format = parseFormat(d_format);
        settings.formatLabel = format ? formatInfo(*format).label : d_format + "-bit";
        settings.damage = !options.fullFrames;
        d_session = std::make_unique<WindowSession>(module, scene, resources, d_device, settings);
        report.line("format " + d_format);
        ShowWindow(d_window, SW_SHOWNORMAL);
        UpdateWindow(d_window);
    }

    ~Win32WindowProgram() { close(); }

    // Releases everything the window made; false when one of its surfaces
    // was still referenced elsewhere.
    bool close()
    {
        d_session.reset();
        const bool released = releaseSurfaces();
        if (d_directDraw != nullptr) {
            d_directDraw->Release();
            d_directDraw = nullptr;
        }
        if (d_window != nullptr) {
            DestroyWindow(d_window);
        }
        UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
        return released;
    }

    void run()
    {
        MSG message;
        while (true) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    rethrow();
                    return;
                }
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            rethrow();
            if (d_minimised || d_window == nullptr) {
                WaitMessage(); // nothing to show until the window is restored
                continue;
            }
            if (d_options.direct && !d_repaint && d_shown == shownState()) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
                continue; // the screen already holds this frame
            }
            frame();
            const std::string title = d_clock.tick(d_session->statistics());
            if (!title.empty()) {
                SetWindowTextW(d_window, widen(title).c_str());
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Win32WindowProgram*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        try {
            return self->handle(window, message, wParam, lParam);
        } catch (...) {
            // An exception must not cross the system's frames: it leaves
            // through the message loop.
            self->d_error = std::current_exception();
            PostQuitMessage(1);
            return 0;
        }
    }

    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_ERASEBKGND:
            return 1; // every pixel of the client area is drawn
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            d_repaint = true;
            if (d_session && !d_minimised) {
                frame();
            }
            return 0;
        }
        case WM_SIZE:
            d_minimised = wParam == SIZE_MINIMIZED;
            if (!d_minimised && d_session) {
                resize(LOWORD(lParam), HIWORD(lParam));
            }
            return 0;
        case WM_ACTIVATEAPP:
            // Back from another program, which may have changed the display
            // mode: the frame drawn now finds lost surfaces and restores them.
            if (wParam != FALSE) {
                InvalidateRect(window, nullptr, FALSE);
            }
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{160, 120};
            return 0;
        case WM_MOUSEMOVE:
            if (!d_tracking) {
                TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
                d_tracking = TrackMouseEvent(&track) != FALSE;
            }
            point(lParam, d_pointer.down);
            return 0;
        case WM_MOUSELEAVE:
            d_tracking = false;
            d_pointer.inside = false;
            return 0;
        case WM_LBUTTONDOWN:
            SetCapture(window);
            point(lParam, true);
            return 0;
        case WM_LBUTTONUP:
            ReleaseCapture();
            point(lParam, false);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY:
            d_window = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    void point(LPARAM lParam, bool down)
    {
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        d_pointer = Pointer{
            static_cast<float>(x), static_cast<float>(y),
            x >= 0 && y >= 0 && static_cast<uint32_t>(x) < d_width && static_cast<uint32_t>(y) < d_height, down};
    }

    void rethrow()
    {
        if (d_error) {
            std::rethrow_exception(std::exchange(d_error, nullptr));
        }
    }

    // The primary surface with a clipper bound to the window, and the target
    // the module draws into.
    void makeSurfaces()
    {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(DDSURFACEDESC);
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        check("CreateSurface (primary)", d_directDraw->CreateSurface(&desc, &d_primary, nullptr));
        check("CreateClipper", d_directDraw->CreateClipper(0, &d_clipper, nullptr));
        check("SetHWnd", d_clipper->SetHWnd(0, d_window));
        check("SetClipper", d_primary->SetClipper(d_clipper));
        check("GetSurfaceDesc (primary)", d_primary->GetSurfaceDesc(&desc));
        d_format = formatName(desc.ddpfPixelFormat);
        if (d_options.direct) {
            d_device.set(d_directDraw, desc.dwWidth, desc.dwHeight);
        } else {
            d_target = createOffscreenSurface(d_directDraw, d_width, d_height, d_options.videoMemory);
            d_device.set(d_directDraw, d_width, d_height);
        }
    }

    bool releaseSurfaces()
    {
        bool released = releaseSurface(d_target);
        released = releaseSurface(d_primary) && released;
        if (d_clipper != nullptr) {
            released = d_clipper->Release() == 0 && released;
            d_clipper = nullptr;
        }
        return released;
    }

    // What a frame depends on besides the scene: the pointer's groups, the
    // client area's size and its place on the screen; and the regions' states
    // the report tells, which may change while the groups stay.
    struct Shown {
        std::string regions;
        std::vector<std::string> groups;
        uint32_t width = 0, height = 0;
        LONG x = 0, y = 0;
        bool operator==(const Shown& other) const
        {
            return regions == other.regions && groups == other.groups && width == other.width &&
                   height == other.height && x == other.x && y == other.y;
        }
    };

    Shown shownState() const
    {
        POINT origin{0, 0};
        ClientToScreen(d_window, &origin);
        return Shown{d_scene.interactive->describe(d_pointer),
                     d_scene.interactive->groupsFor(d_pointer),
                     d_width,
                     d_height,
                     origin.x,
                     origin.y};
    }

    IDirectDrawSurface* drawnSurface() const { return d_options.direct ? d_primary : d_target; }

    // The device reset: the renderer lets go of its surfaces, the window
    // makes new ones (all of them when the display mode changed under it),
    // the renderer rebuilds.
    void rebuild(bool everything)
    {
        d_session->prepareForReset();
        if (everything) {
            releaseSurfaces();
            makeSurfaces();
        } else if (!d_options.direct) {
            releaseSurface(d_target);
            d_target = createOffscreenSurface(d_directDraw, d_width, d_height, d_options.videoMemory);
            d_device.set(d_directDraw, d_width, d_height);
        }
        d_session->finishReset(drawnSurface());
        d_repaint = true;
    }

    void resize(uint32_t width, uint32_t height)
    {
        if (width == 0 || height == 0 || (width == d_width && height == d_height)) {
            return;
        }
        d_width = width;
        d_height = height;
        rebuild(false);
    }

    // A magenta frame one pixel wide around a rectangle of the screen, drawn
    // onto the primary surface through its clipper.
    void outline(const RECT& r)
    {
        DDBLTFX fx{};
        fx.dwSize = sizeof(DDBLTFX);
        fx.dwFillColor = packForSurface(d_primary, 0xFFFF00FFu);
        const RECT edges[] = {{r.left, r.top, r.right, r.top + 1},
                              {r.left, r.bottom - 1, r.right, r.bottom},
                              {r.left, r.top, r.left + 1, r.bottom},
                              {r.right - 1, r.top, r.right, r.bottom}};
        for (RECT edge : edges) {
            d_primary->Blt(&edge, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        }
    }

    void frame()
    {
        const bool targetLost = d_target != nullptr && d_target->IsLost() == DDERR_SURFACELOST;
        if (!restoreIfLost(d_primary, "primary surface") ||
            (d_target != nullptr && !restoreIfLost(d_target, "window target"))) {
            rebuild(true); // DDERR_WRONGMODE: made for a display mode that is gone
        } else if (targetLost) {
            d_session->targetChanged(d_target);
        }
        POINT origin{0, 0};
        ClientToScreen(d_window, &origin);
        // Straight onto the primary surface, the whole frame is drawn there.
        uint64_t pixels = uint64_t(d_width) * d_height;
        if (d_options.direct) {
            d_shown = shownState();
            d_repaint = false;
            d_session->draw(d_primary, d_pointer, d_width, d_height, origin.x, origin.y, true);
        } else {
            d_session->draw(d_target, d_pointer, d_width, d_height);
            // Only what the frame redrew goes onto the screen, unless the
            // window was uncovered or moved since the last frame.
            // (The outlines of --show-damage are wiped by a whole copy.)
            const bool whole =
                d_repaint || d_options.showDamage || origin.x != d_presentedAt.x || origin.y != d_presentedAt.y;
            const RECT all{0, 0, static_cast<LONG>(d_width), static_cast<LONG>(d_height)};
            const std::vector<RECT> parts = whole ? std::vector<RECT>{all} : d_session->damaged();
            d_repaint = false;
            d_presentedAt = origin;
            pixels = 0;
            for (RECT part : parts) {
                pixels += uint64_t(part.right - part.left) * uint64_t(part.bottom - part.top);
                RECT onScreen{origin.x + part.left, origin.y + part.top, origin.x + part.right, origin.y + part.bottom};
                const HRESULT shown = d_primary->Blt(&onScreen, d_target, &part, DDBLT_WAIT, nullptr);
                if (shown == DDERR_SURFACELOST) {
                    d_repaint = true;
                    return; // restored at the next frame
                }
                check("Blt (onto the window)", shown);
            }
            if (d_options.showDamage) {
                for (const RECT& part : d_session->lastRedrawn()) {
                    outline(
                        RECT{origin.x + part.left, origin.y + part.top, origin.x + part.right, origin.y + part.bottom});
                }
            }
        }
        d_report.presented(d_scene.interactive->describe(d_pointer), d_width, d_height, origin.x, origin.y, pixels);
    }

    const WindowOptions& d_options;
    const Scene& d_scene;
    SessionReport& d_report;
    uint32_t d_width, d_height;
    WindowDevice d_device;
    HWND d_window = nullptr;
    IDirectDraw* d_directDraw = nullptr;
    IDirectDrawSurface* d_primary = nullptr;
    IDirectDrawClipper* d_clipper = nullptr;
    IDirectDrawSurface* d_target = nullptr;
    std::string d_format;
    std::unique_ptr<WindowSession> d_session;
    Pointer d_pointer;
    TitleClock d_clock;
    bool d_minimised = false;
    bool d_tracking = false;
    bool d_repaint = true; // the direct window's frame must be drawn again
    POINT d_presentedAt{0, 0};
    Shown d_shown;
    std::exception_ptr d_error;
};

} // namespace

int runWindow(const WindowOptions& options, const Scene& scene, const SceneResources& resources,
              const ModuleApi& module, SessionReport& report)
{
    Win32WindowProgram program(options, scene, resources, module, report);
    program.run();
    return program.close() ? 0 : 1;
}

void showWindowError(const std::string& text, bool unattended)
{
    std::fprintf(stderr, "ziv-demo: %s\n", text.c_str());
    std::fflush(stderr);
    if (!unattended) {
        MessageBoxW(nullptr, widen(text).c_str(), L"ziv-demo", MB_OK | MB_ICONERROR);
    }
}

} // namespace zivdemo
