#include "renderer/CDDRender.h"

#include <cstdint>
#include <stdexcept>

#include "renderer/Damage.h"
#include "renderer/QuadGeometry.h"
#include "texture/CDDTexture.h"

namespace ZorvUISystem {

namespace {

const char* const kIdentifier = "CDDRender - DirectDraw  based renderer module";

// The host's preference turned into a blend mode: 0 stays 0, 1 stays 1, any
// other answer means 2; the software blending of modes 1 and 2 needs MMX.
int32_t chooseBlendMode(int32_t preference, bool hasMmx)
{
    if (preference == 0 || !hasMmx)
        return 0;
    return preference == 1 ? 1 : 2;
}

} // namespace

CDDRender::CDDRender(RenderDevice* device, uint32_t /*reserved*/, bool hostFlag) : Renderer(hostFlag), d_device(device)
{
    if (d_device == nullptr)
        throw std::runtime_error("CDDRender::CDDRender() --> Renderer device is NULL.");
    d_directDraw = d_device->getDirectDraw();
    if (d_directDraw == nullptr)
        throw std::runtime_error("CDDRender::CDDRender() --> Renderer device can't get aviliable IDirectDraw object.");
    d_targetSurface = nullptr;
    d_scratchTexture = nullptr;
    d_bufferTexture = nullptr;

    d_hasMmx = (queryProcessorFeatures() & kProcessorFeatureMmx) != 0;
    d_blendMode = chooseBlendMode(d_device->getBlendMode(), d_hasMmx);
    d_reservedFlag = false;

    float width = 0.0f;
    float height = 0.0f;
    d_device->getTargetSize(&width, &height);
    // The destructor does not run for a constructor that throws: give back
    // whatever textures the display set-up made before its failure.
    try {
        initDisplay(width, height);
    } catch (...) {
        destroyAuxiliaryTextures();
        destroyAllTextures();
        throw;
    }
}

CDDRender::~CDDRender()
{
    destroyAuxiliaryTextures();
    destroyAllTextures();
}

void CDDRender::initDisplay(float width, float height)
{
    d_queueingEnabled = true;
    d_displayWidth = truncateToPixels(width);
    d_displayHeight = truncateToPixels(height);
    d_textureSizeLimit = height < width ? truncateToPixels(height) : truncateToPixels(width);
    createScratchTexture(d_displayWidth, d_displayHeight);
    createBufferTexture();
    d_displayArea = {0, 0, saturatedEdge(d_displayWidth), saturatedEdge(d_displayHeight)};
    d_identifier = kIdentifier;
}

void CDDRender::setQueueing(bool enabled)
{
    d_queueingEnabled = enabled;
}

bool CDDRender::isQueueing() const
{
    return d_queueingEnabled;
}

float CDDRender::getDisplayWidth() const
{
    return static_cast<float>(d_displayWidth);
}

float CDDRender::getDisplayHeight() const
{
    return static_cast<float>(d_displayHeight);
}

void CDDRender::getDisplaySize(float* width, float* height) const
{
    if (width != nullptr)
        *width = getDisplayWidth();
    if (height != nullptr)
        *height = getDisplayHeight();
}

void CDDRender::getDisplayRect(float* left, float* top, float* right, float* bottom) const
{
    const float x = 0.0f;
    const float y = 0.0f;
    if (left != nullptr)
        *left = x;
    if (top != nullptr)
        *top = y;
    if (right != nullptr)
        *right = x + getDisplayWidth();
    if (bottom != nullptr)
        *bottom = y + getDisplayHeight();
}

uint32_t CDDRender::getTextureSizeLimit() const
{
    return d_textureSizeLimit;
}

uint32_t CDDRender::getDpiX() const
{
    return 96;
}

uint32_t CDDRender::getDpiY() const
{
    return 96;
}

void CDDRender::reservedOperationA(uint32_t, uint32_t) {}

void CDDRender::reservedOperationB(uint32_t, uint32_t, uint32_t) {}

void CDDRender::setTargetSurface(IDirectDrawSurface* surface)
{
    d_targetSurface = surface;
    d_clip.surface = nullptr;
}

void CDDRender::reservedOperationC() {}

void CDDRender::reservedOperationD() {}

} // namespace ZorvUISystem
