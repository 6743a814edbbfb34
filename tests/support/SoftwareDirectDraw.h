// The software DirectDraw object (DirectDrawCreate from libddraw), ready for
// off-screen surfaces, released when the object goes.
#pragma once

#include <ddraw.h>

namespace ZivTest {

class SoftwareDirectDraw {
public:
    SoftwareDirectDraw()
    {
        result = DirectDrawCreate(nullptr, &d_directDraw, nullptr);
        if (result >= 0 && d_directDraw != nullptr)
            result = d_directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    }
    ~SoftwareDirectDraw()
    {
        if (d_directDraw != nullptr)
            d_directDraw->Release();
    }
    SoftwareDirectDraw(const SoftwareDirectDraw&) = delete;
    SoftwareDirectDraw& operator=(const SoftwareDirectDraw&) = delete;

    // Null when DirectDrawCreate failed.
    IDirectDraw* get() const { return d_directDraw; }
    HRESULT result = 0;

private:
    IDirectDraw* d_directDraw = nullptr;
};

} // namespace ZivTest
