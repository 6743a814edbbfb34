// The device context that a surface's GetDC hands out: SetPixel writes one
// pixel, mapping the colour to the nearest palette entry on palette-indexed
// surfaces and to the channel masks otherwise.
#pragma once

#include <windows.h>

namespace zivdd {

class Surface;

class DeviceContext final : public HDC__ {
public:
    explicit DeviceContext(const Surface& surface) : d_surface(surface) {}

    // Writes the pixel and returns the colour actually set; CLR_INVALID
    // outside the surface or once the context has been released.
    COLORREF setPixel(int x, int y, COLORREF colour) override;

    void open() { d_open = true; }
    void close() { d_open = false; }
    bool isOpen() const { return d_open; }

private:
    const Surface& d_surface;
    bool d_open = false;
};

} // namespace zivdd
