// ziv: the DirectDraw renderer module of the ZorvUISystem GUI library.
//
// The one header a host includes. The host loads the module (ziv.dll on
// Windows, libziv.so elsewhere), binds the three exports below, creates a
// renderer around its own RenderDevice and drives it through Renderer.
#pragma once

#include <cstdint>
#include <string>

#include <ddraw.h>

#if defined(_WIN32)
#define ZIV_EXPORT __declspec(dllexport)
#else
#define ZIV_EXPORT __attribute__((visibility("default")))
#endif

namespace ZorvUISystem {

// A rectangle in pixels; right and bottom are exclusive.
struct FloatRect {
    float left;
    float top;
    float right;
    float bottom;
};

// Four ARGB colours (alpha in bits 24-31, red 16-23, green 8-15, blue 0-7),
// one per corner of a quad. Drawing uses only their per-channel average.
struct CornerColours {
    uint32_t topLeft;
    uint32_t topRight;
    uint32_t bottomLeft;
    uint32_t bottomRight;
};

// Layout of a raw pixel buffer: RGBA is four bytes red, green, blue, alpha;
// every other value is three bytes red, green, blue.
enum BufferFormat : uint32_t { BUFFER_RGB = 0, BUFFER_RGBA = 1 };

class CDDRender;

// An image that the GUI library draws with. Made and destroyed only by the
// renderer that owns it.
class Texture {
public:
    virtual uint32_t getWidth() const = 0;
    virtual uint32_t getImageWidth() const;
    virtual float getInverseWidth() const;
    virtual uint32_t getHeight() const = 0;
    virtual uint32_t getImageHeight() const;
    virtual float getInverseHeight() const;
    virtual void loadFromFile(const char* fileName, const char* directory) = 0;
    virtual void loadFromFileData(const void* data, uint32_t size);
    virtual void loadFromMemory(const void* pixels, uint32_t width, uint32_t height, BufferFormat format) = 0;
    virtual void reservedOperation(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f,
                                   uint32_t g) = 0;
    virtual ~Texture();

    // A memory texture keeps a copy of the RGBA pixels given to
    // loadFromMemory, reloads them after a device reset, and can be tinted.
    void setMemoryTexture(bool memoryTexture) { d_memoryTexture = memoryTexture; }
    bool isMemoryTexture() const { return d_memoryTexture; }

    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

protected:
    explicit Texture(CDDRender* owner) : d_renderer(owner) {}

    uint8_t* d_fileData = nullptr;
    uint32_t d_fileDataSize = 0;
    std::string d_fileName;
    std::string d_fileDirectory;
    bool d_memoryTexture = false;
    CDDRender* d_renderer;
    std::string d_filePath;
};

// The interface through which the GUI library drives a renderer.
class Renderer {
public:
    virtual void queueQuad(FloatRect destRect, float z, Texture* texture, FloatRect textureRect,
                           CornerColours colours, uint32_t auxValue) = 0;
    virtual void renderQueue() = 0;
    virtual void clearQueue() = 0;
    virtual void setQueueing(bool enabled) = 0;
    virtual Texture* createTexture(float size) = 0;
    virtual Texture* createTexture(const void* data, uint32_t size) = 0;
    virtual Texture* createTexture(const char* fileName, const char* directory) = 0;
    virtual Texture* createTexture() = 0;
    virtual void destroyTexture(Texture* texture) = 0;
    virtual void destroyAllTextures() = 0;
    virtual bool isQueueing() const = 0;
    virtual float getDisplayWidth() const = 0;
    virtual float getDisplayHeight() const = 0;
    virtual void getDisplaySize(float* width, float* height) const = 0;
    virtual void getDisplayRect(float* left, float* top, float* right, float* bottom) const = 0;
    virtual uint32_t getTextureSizeLimit() const = 0;
    virtual uint32_t getDpiX() const = 0;
    virtual uint32_t getDpiY() const = 0;
    virtual void prepareForReset() = 0;
    virtual void postD3DReset(bool* sizeChanged) = 0;
    virtual void reservedOperationA(uint32_t a, uint32_t b) = 0;
    virtual void reservedOperationB(uint32_t a, uint32_t b, uint32_t c) = 0;
    virtual void setTargetSurface(IDirectDrawSurface* surface) = 0;
    virtual void reservedOperationC() = 0;
    virtual void reservedOperationD() = 0;
    virtual ~Renderer() = default;

    const std::string& getIdentifier() const { return d_identifier; }

    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

protected:
    explicit Renderer(bool hostFlag) : d_hostFlag(hostFlag) {}

    float d_reservedScaleA = 1.0f;
    std::string d_identifier = "Unknown renderer (vendor did not set the ID string!)";
    bool d_hostFlag;
    uint32_t d_reservedWords[3] = {0, 0, 0};
    float d_reservedScaleB = 1.0f;
    int32_t d_blendMode = 0;
    bool d_reservedFlag = true;
    RECT d_displayArea = {0, 0, 0, 0};
};

// The host's device: the module reaches the host's DirectDraw object and the
// host's choices through it. Owned by the host.
class RenderDevice {
public:
    virtual IDirectDraw* getDirectDraw() = 0;
    virtual void reservedDeviceOperation() {}  // never called by the module
    virtual bool getTargetSize(float* width, float* height) = 0;
    virtual int32_t getBlendMode() = 0;
    virtual int32_t getTextureMemory() = 0;
    virtual int32_t getTexturePixelFormat() = 0;

protected:
    ~RenderDevice() = default;
};

}  // namespace ZorvUISystem

extern "C" {
ZIV_EXPORT ZorvUISystem::Renderer* createRenderer(ZorvUISystem::RenderDevice* device, uint32_t reserved,
                                                  bool hostFlag, const char* loggerDirectory, uint32_t loggerArg1,
                                                  uint32_t loggerArg2);
ZIV_EXPORT void destroyRenderer(ZorvUISystem::Renderer* renderer);
ZIV_EXPORT const char* getLastErrorString();
}

// The function types of the exports, for hosts that bind them at run time.
typedef ZorvUISystem::Renderer* (*ZivCreateRendererFn)(ZorvUISystem::RenderDevice*, uint32_t, bool, const char*,
                                                       uint32_t, uint32_t);
typedef void (*ZivDestroyRendererFn)(ZorvUISystem::Renderer*);
typedef const char* (*ZivGetLastErrorStringFn)();
