// The demo's RenderDevice: the host side of the renderer, over DirectDraw.
// It owns the DirectDraw object and the target surface, answers the
// renderer's questions (target size, blend mode, texture memory and pixel
// format) and reads the target back as an image.
#pragma once

#include <cstdint>
#include <string>

#include "Image.h"
#include "TargetFormat.h"
#include "ziv.h"

namespace zivdemo {

class DemoDevice final : public ZorvUISystem::RenderDevice {
public:
    // Creates the DirectDraw object, sets the display mode for the format and
    // makes a width x height target surface, with a clipper that covers it
    // when asked (as a windowed host's target has one). Throws
    // std::runtime_error naming the DirectDraw call that failed.
    DemoDevice(TargetFormat format, uint32_t width, uint32_t height, int32_t blendMode, bool clipper = false);
    ~DemoDevice();
    DemoDevice(const DemoDevice&) = delete;
    DemoDevice& operator=(const DemoDevice&) = delete;

    IDirectDraw* getDirectDraw() override { return d_directDraw; }
    bool getTargetSize(float* width, float* height) override;
    int32_t getBlendMode() override { return d_blendMode; }
    int32_t getTextureMemory() override { return 0; } // system memory
    int32_t getTexturePixelFormat() override;

    TargetFormat format() const { return d_format; }
    uint32_t width() const { return d_width; }
    uint32_t height() const { return d_height; }
    IDirectDrawSurface* target() const { return d_target; }

    // Fills the whole target with a colour.
    void clear(uint32_t argb);

    // The target's pixels.
    Image capture() const;

    // The display device's reset: a new display mode of the new size, which
    // loses every surface, and a new target surface in place of the old one.
    // The renderer must be between prepareForReset and postD3DReset.
    void changeSize(uint32_t width, uint32_t height);

private:
    void createTarget();
    void attachClipper();
    void releaseTarget();

    TargetFormat d_format;
    uint32_t d_width;
    uint32_t d_height;
    int32_t d_blendMode;
    bool d_clipper;
    IDirectDraw* d_directDraw = nullptr;
    IDirectDrawSurface* d_target = nullptr;
};

// "CreateSurface failed (DDERR_OUTOFMEMORY, 0x8007000e)".
std::string describeResult(const std::string& call, HRESULT result);

} // namespace zivdemo
