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

// What the last render pass did: how many quads took each way onto the
// surface, how many destination pixels each way covered, and why quads drew
// nothing. renderQueue starts a new record; quads drawn at once while
// queueing is off are added to the record of the last pass. A plain record:
// copy it freely.
struct FrameStatistics {
    // Quads, and the destination pixels they covered after clipping. A keyed
    // copy counts the texels its key leaves out too; a blend counts the
    // rectangle its kernel worked on.
    struct PathCount {
        uint32_t quads;
        uint64_t pixels;
    };

    // The software blend kernels: the first index of blend.
    enum Kernel : uint32_t {
        KERNEL_MODULATED = 0,   // colour factors and a constant alpha
        KERNEL_HALF = 1,        // half and half, portable
        KERNEL_ALPHA = 2,       // constant alpha, vector (blend mode 2)
        KERNEL_HALF_VECTOR = 3, // half and half, vector (blend mode 1)
        KERNEL_COUNT = 4
    };
    // The texture's pixel mode, the second index of blend: 0 555, 1 565,
    // 2 other 16-bit layouts, 3 24-bit, 4 32-bit.
    static constexpr uint32_t kPixelModeCount = 5;

    // Why a quad drew nothing: the index of skipped.
    enum SkipReason : uint32_t {
        SKIP_TRANSPARENT = 0,      // its corner colours average to alpha 0
        SKIP_OFF_DISPLAY = 1,      // it misses the display or the surfaces, or clips to nothing
        SKIP_NO_TEXTURE = 2,       // no texture, no surface to draw onto, or a texture without pixels
        SKIP_LOST_SURFACE = 3,     // a surface is lost (a texture's could not be restored)
        SKIP_FAILED_LOCK = 4,      // a surface could not be locked for the blend
        SKIP_FAILED_BLIT = 5,      // DirectDraw refused a copy
        SKIP_NO_SCRATCH = 6,       // the scratch texture is gone (between prepareForReset and postD3DReset)
        SKIP_UNSUPPORTED_MODE = 7, // a pixel layout the kernels do not handle
        SKIP_REASON_COUNT = 8
    };

    PathCount plainCopy;                            // DirectDraw copy of the same size, without key
    PathCount keyedCopy;                            // DirectDraw copy of the same size, black texels left out
    PathCount stretchedCopy;                        // DirectDraw copy to another size, keyed or not
    PathCount tintedCopy;                           // memory texture coloured by DirectDraw blits through the scratch
    PathCount blend[KERNEL_COUNT][kPixelModeCount]; // software blends
    PathCount stretchedBlend; // the blends that were stretched into the scratch first (also in blend)
    uint32_t skipped[SKIP_REASON_COUNT];
    PathCount bufferCopy; // blend mode 0: the buffer copied onto the target at the end of the pass
    char simdLevel[8];    // instruction set of the blend kernels: "none", "sse2", "avx2" or "avx512"
    // Soft edges (zivSetSoftEdges): the quads blended by each texel's own alpha,
    // by the texture's pixel mode; counted here and not in blend.
    PathCount texelAlphaBlend[kPixelModeCount];

    // Damage-aware frames (zivSetDamageTracking): why a pass redrew its whole
    // target instead of the damage.
    enum FullFrameReason : uint32_t {
        FULL_FRAME_NONE = 0,        // the pass redrew only the damage
        FULL_FRAME_FIRST = 1,       // nothing drawn onto this target (or this buffer of the chain) before
        FULL_FRAME_INVALID = 2,     // the last pass onto it failed somewhere, a surface was lost, a reset came
        FULL_FRAME_SIZE = 3,        // the target or the display changed size
        FULL_FRAME_BACKGROUND = 4,  // the background changed
        FULL_FRAME_HOST = 5,        // the host invalidated the whole target
        FULL_FRAME_AREA = 6,        // the damage covered most of the target
        FULL_FRAME_UNCLIPPABLE = 7, // a damaged quad that cannot be drawn in part the same as whole
        FULL_FRAME_REASON_COUNT = 8
    };
    struct DamageCount {
        uint32_t rects;           // damaged rectangles redrawn (1 for a full frame)
        uint64_t pixels;          // their pixels
        uint32_t quadsDrawn;      // quads drawn because they met the damage
        uint32_t quadsUndamaged;  // quads left alone because they met none
        uint32_t fullFrame;       // 1 when the whole target was redrawn
        uint32_t fullFrameReason; // a FullFrameReason
    };
    DamageCount damage; // all 0 when the mode is off

    PathCount blended() const
    {
        PathCount sum = {0, 0};
        for (const auto& kernel : blend)
            for (const PathCount& mode : kernel) {
                sum.quads += mode.quads;
                sum.pixels += mode.pixels;
            }
        for (const PathCount& mode : texelAlphaBlend) {
            sum.quads += mode.quads;
            sum.pixels += mode.pixels;
        }
        return sum;
    }
    // Quads drawn by any way, and the destination pixels they covered.
    PathCount drawn() const
    {
        const PathCount b = blended();
        return PathCount{plainCopy.quads + keyedCopy.quads + stretchedCopy.quads + tintedCopy.quads + b.quads,
                         plainCopy.pixels + keyedCopy.pixels + stretchedCopy.pixels + tintedCopy.pixels + b.pixels};
    }
    uint32_t skippedQuads() const
    {
        uint32_t sum = 0;
        for (uint32_t count : skipped)
            sum += count;
        return sum;
    }
    // Every quad the pass looked at lands in exactly one way or one reason.
    uint32_t quads() const { return drawn().quads + skippedQuads(); }
};

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
    virtual void queueQuad(FloatRect destRect, float z, Texture* texture, FloatRect textureRect, CornerColours colours,
                           uint32_t auxValue) = 0;
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
    // The counts of the last render pass (see FrameStatistics).
    const FrameStatistics& getFrameStatistics() const { return d_frameStatistics; }

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
    FrameStatistics d_frameStatistics = {};
};

// The host's device: the module reaches the host's DirectDraw object and the
// host's choices through it. Owned by the host.
class RenderDevice {
public:
    virtual IDirectDraw* getDirectDraw() = 0;
    virtual void reservedDeviceOperation() {} // never called by the module
    virtual bool getTargetSize(float* width, float* height) = 0;
    virtual int32_t getBlendMode() = 0;
    virtual int32_t getTextureMemory() = 0;
    virtual int32_t getTexturePixelFormat() = 0;

protected:
    ~RenderDevice() = default;
};

} // namespace ZorvUISystem

extern "C" {
ZIV_EXPORT ZorvUISystem::Renderer* createRenderer(ZorvUISystem::RenderDevice* device, uint32_t reserved, bool hostFlag,
                                                  const char* loggerDirectory, uint32_t loggerArg1,
                                                  uint32_t loggerArg2);
ZIV_EXPORT void destroyRenderer(ZorvUISystem::Renderer* renderer);
ZIV_EXPORT const char* getLastErrorString();

// Soft edges, off by default: with enabled non-zero, a renderer in blend mode
// 1 or 2 draws every quad whose texture has per-texel alpha (an RGBA upload)
// by blending each texel source-over by its own alpha (its colour, already
// scaled by that alpha, modulated by the quad's colour; both scaled by the
// quad's alpha), so antialiased text and icons get smooth edges and opaque
// black texels are drawn. Textures without per-texel alpha, and blend mode 0,
// are drawn as before. Answers 1 (on) or 0 (off) as now set, or -1 for a null
// renderer. Never throws.
ZIV_EXPORT int32_t zivSetSoftEdges(ZorvUISystem::Renderer* renderer, int32_t enabled);

// Damage-aware frames, off unless a host turns them on. With the mode on,
// renderQueue redraws only what changed since the last pass drawn onto the
// same target: quads added, removed, moved, re-ordered, recoloured, given
// another texture rectangle or whose texture got new pixels. Inside that
// damage the target ends up byte for byte as a full redraw over the
// background would leave it; outside, it is not touched. A pass that changed
// nothing makes no DirectDraw call on the target at all.
//
// The host's side:
// - The target keeps its pixels between passes; the host does not clear it.
//   The module restores the background inside the damage before drawing.
// - Whatever the host draws into a target itself, it says so with
//   zivInvalidateTarget (a rectangle, or all of it); so too for a target it
//   restored after a loss or made anew. A target of another size, a lost
//   target and every target after a device reset are redrawn whole anyway.
// - A flip chain: either each buffer is its own surface named with
//   setTargetSurface, or the host names the buffer now drawn into with
//   zivSetDamageBufferSlot (0 to 7, for example the frame number modulo the
//   chain length); each buffer gets what changed since it was drawn last.
// - After renderQueue, zivGetDamageRects gives the rectangles redrawn, which
//   is all a windowed host needs to present.
// The calls return 1 on success and 0 for a null renderer, one not made by
// this module, or (except zivSetDamageTracking) a renderer with the mode off.
// They never throw.

// Turns the mode on (enabled non-zero) or off. Turning it on makes the next
// pass redraw each target whole; off forgets everything it knew.
ZIV_EXPORT int zivSetDamageTracking(ZorvUISystem::Renderer* renderer, int enabled);
// The target's pixels inside rect (null: all of them) are no longer what the
// module drew; surface null means every target.
ZIV_EXPORT int zivInvalidateTarget(ZorvUISystem::Renderer* renderer, IDirectDrawSurface* surface, const RECT* rect);
// What lies under the quads: a colour fill with fillColour in the target's own
// pixel format (as DDBLTFX::dwFillColor), the default being 0.
ZIV_EXPORT int zivSetDamageBackgroundColour(ZorvUISystem::Renderer* renderer, uint32_t fillColour);
// What lies under the quads: the host's surface, of the target's format,
// copied at the same place; where it does not reach, the background colour.
// Null goes back to the colour alone. The host invalidates when it changes
// the surface's pixels.
ZIV_EXPORT int zivSetDamageBackgroundSurface(ZorvUISystem::Renderer* renderer, IDirectDrawSurface* surface);
// The buffer of a flip chain that the target surface now is.
ZIV_EXPORT int zivSetDamageBufferSlot(ZorvUISystem::Renderer* renderer, uint32_t slot);
// The rectangles the last pass redrew (none when nothing changed): up to
// capacity of them into rects; returns how many there are.
ZIV_EXPORT uint32_t zivGetDamageRects(ZorvUISystem::Renderer* renderer, RECT* rects, uint32_t capacity);
}

// The function types of the exports, for hosts that bind them at run time.
typedef ZorvUISystem::Renderer* (*ZivCreateRendererFn)(ZorvUISystem::RenderDevice*, uint32_t, bool, const char*,
                                                       uint32_t, uint32_t);
typedef void (*ZivDestroyRendererFn)(ZorvUISystem::Renderer*);
typedef const char* (*ZivGetLastErrorStringFn)();
typedef int32_t (*ZivSetSoftEdgesFn)(ZorvUISystem::Renderer*, int32_t);
typedef int (*ZivSetDamageTrackingFn)(ZorvUISystem::Renderer*, int);
typedef int (*ZivInvalidateTargetFn)(ZorvUISystem::Renderer*, IDirectDrawSurface*, const RECT*);
typedef int (*ZivSetDamageBackgroundColourFn)(ZorvUISystem::Renderer*, uint32_t);
typedef int (*ZivSetDamageBackgroundSurfaceFn)(ZorvUISystem::Renderer*, IDirectDrawSurface*);
typedef int (*ZivSetDamageBufferSlotFn)(ZorvUISystem::Renderer*, uint32_t);
typedef uint32_t (*ZivGetDamageRectsFn)(ZorvUISystem::Renderer*, RECT*, uint32_t);
