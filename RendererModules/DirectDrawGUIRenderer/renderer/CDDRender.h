// The DirectDraw renderer: display state, texture registry, auxiliary
// textures, the quad queue and the quad blit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "renderer/DepthQueue.h"
#include "ziv.h"

namespace ZorvUISystem {

class CDDTexture;
class DamageState;
struct QuadDraw;
struct SceneQuad;

class CDDRender : public Renderer {
public:
    CDDRender(RenderDevice* device, uint32_t reserved, bool hostFlag);
    ~CDDRender() override;

    // Renderer, in slot order.
    void queueQuad(FloatRect destRect, float z, Texture* texture, FloatRect textureRect, CornerColours colours,
                   uint32_t auxValue) override;
    void renderQueue() override;
    void clearQueue() override;
    void setQueueing(bool enabled) override;
    Texture* createTexture(float size) override;
    Texture* createTexture(const void* data, uint32_t size) override;
    Texture* createTexture(const char* fileName, const char* directory) override;
    Texture* createTexture() override;
    void destroyTexture(Texture* texture) override;
    void destroyAllTextures() override;
    bool isQueueing() const override;
    float getDisplayWidth() const override;
    float getDisplayHeight() const override;
    void getDisplaySize(float* width, float* height) const override;
    void getDisplayRect(float* left, float* top, float* right, float* bottom) const override;
    uint32_t getTextureSizeLimit() const override;
    uint32_t getDpiX() const override;
    uint32_t getDpiY() const override;
    void prepareForReset() override;
    void postD3DReset(bool* sizeChanged) override;
    void reservedOperationA(uint32_t a, uint32_t b) override;
    void reservedOperationB(uint32_t a, uint32_t b, uint32_t c) override;
    void setTargetSurface(IDirectDrawSurface* surface) override;
    void reservedOperationC() override;
    void reservedOperationD() override;

    // What textures need from their owner to create surfaces.
    IDirectDraw* directDraw() const { return d_directDraw; }
    RenderDevice* device() const { return d_device; }

    // Read-only views for hosts' tests and diagnostics.
    int32_t blendMode() const { return d_blendMode; }
    bool hasMmx() const { return d_hasMmx; }
    const RECT& displayArea() const { return d_displayArea; }
    CDDTexture* scratchTexture() const { return d_scratchTexture; }
    CDDTexture* bufferTexture() const { return d_bufferTexture; }
    IDirectDrawSurface* targetSurface() const { return d_targetSurface; }
    const DepthQueue& quadQueue() const { return d_quadQueue; }
    const std::list<Texture*>& textures() const { return d_textures; }
    // Frames begun so far: each render pass begins one, and so does a
    // clearQueue with no render pass since the one before it (a host that
    // draws with queueing off). Textures time their retries by it.
    uint32_t frameNumber() const { return d_frameNumber; }
    // Blend mode 0: the records from which a lost buffer is composed again.
    size_t bufferedQuadCount() const { return d_bufferedQuads.size(); }
    size_t bufferedQuadCapacity() const { return d_bufferedQuads.capacity(); }

    // Soft edges: in blend modes 1 and 2, quads of textures with per-texel
    // alpha are blended by that alpha (blendTexelAlpha). Off by default.
    void setSoftEdges(bool enabled);
    bool softEdges() const { return d_softEdges; }

    // Damage-aware frames (renderer/DamageFrame.cpp); null while off.
    void setDamageTracking(bool enabled);
    DamageState* damageState() const { return d_damage.get(); }

private:
    void initDisplay(float width, float height);
    void createScratchTexture(uint32_t width, uint32_t height);
    void createBufferTexture();
    bool updateDisplaySize(float width, float height);
    void destroyAuxiliaryTextures();
    // Draws one quad; where a surface was lost meanwhile, or the scratch or
    // buffer is in a format the display has left, mends them and draws the
    // quad once more. The result of the first attempt.
    HRESULT drawQuad(IDirectDrawSurface* surface, const QueuedQuad& quad);
    // One attempt; the result of the DirectDraw call that stopped the quad,
    // or DD_OK.
    HRESULT drawQuadOnce(IDirectDrawSurface* surface, const QueuedQuad& quad);
    // Restores, reloads or rebuilds whatever of the texture, the scratch and
    // (when it is drawn into) the buffer was lost; false when nothing was.
    bool mendLostSurfaces(CDDTexture* texture, bool buffer);
    // The auxiliary texture back after a loss, rebuilt in the display's
    // format when DirectDraw cannot restore it or restores it in a format new
    // surfaces no longer have; false when it is gone.
    bool mendAuxiliaryTexture(CDDTexture* texture);
    // Whether the auxiliary texture's colour surface is in another format than
    // a surface made now would be (the display changed its depth under it).
    bool auxiliaryFormatStale(const CDDTexture* texture) const;
    // Rebuilds the scratch, and the buffer when it is drawn into, when their
    // format is stale; false when neither was.
    bool mendStaleFormats(bool buffer);
    // Blend mode 0: room for the records of the quads queued so far, taken
    // when they are queued so that the render pass allocates nothing.
    void reserveBufferedQuads();
    // queueQuad when the queue needs room first, or with queueing off.
    void queueWithRoom(FloatRect destRect, float z, Texture* texture, FloatRect textureRect, CornerColours colours,
                       uint32_t auxValue);
    // Blend mode 0: the records stop; a lost buffer can no longer be composed
    // again and is cleared instead.
    void dropBufferedQuads();
    // The buffer cleared to black, and its quads since the last clearQueue
    // drawn into it again.
    void redrawBuffer();
    // Fills the buffer's colour surface with 0.
    HRESULT clearBuffer();
    // clearQueue's clearing of the buffer, with what a failure needs.
    void emptyBuffer();
    // The buffer onto the target, black left out.
    HRESULT presentBuffer();
    // The visible rectangles of a destination with a clipper, read once per
    // pass; null when nothing clips it.
    const std::vector<RECT>* clipList(IDirectDrawSurface* surface);
    // Drops queued records that refer to a texture about to be destroyed.
    void forgetQueuedQuads(const Texture* texture);
    // Rebuilds the scratch and buffer textures after a host destroyed them,
    // except while a device reset is pending.
    void ensureAuxiliaryTextures();
    // The two ways drawQuad puts a quad on a surface.
    HRESULT blendQuad(QuadDraw& draw);
    // Soft edges: stretches the texture's alpha surface into the scratch's
    // beside its colour; false (counted, with the failed result) when it cannot.
    bool stretchTexelAlpha(QuadDraw& draw, CDDTexture* texture, HRESULT& result);
    HRESULT copyQuad(QuadDraw& draw);
    // Damage-aware frames: the pass, drawing held to the damage, and the
    // blend path's pieces of a destination.
    void renderDamaged();
    // Which pass of a frame: the queue onto the target, the queue into the
    // buffer (blend mode 0), or the buffer's composition onto the target.
    enum class DamagePass { Queue, IntoBuffer, BufferOnto };
    // One pass onto target, held to what changed since the last pass onto
    // it. succeeded false: what the pass shows is not known (it is drawn
    // whole). Returns whether every call went as planned.
    bool damagedPass(IDirectDrawSurface* target, DamagePass kind, bool succeeded);
    // Blend mode 0: the queue into the buffer. The first pass since
    // clearQueue turns the last composition into this one where they
    // differ; false when the buffer shows what no earlier pass showed.
    bool composeBuffer();
    // The damage filled with the colour, and covered from the background
    // surface where it reaches.
    bool restoreBackground(IDirectDrawSurface* target, uint32_t colour, IDirectDrawSurface* background);
    bool presentDamage(IDirectDrawSurface* target);
    // Whether the queue is the one whose scene was taken last, for the same
    // buffer, and nothing that scene depends on changed since.
    bool sameQueueAsLast(IDirectDrawSurface* target, uint32_t targetBytes, uint64_t versions,
                         const std::vector<SceneQuad>& last) const;
    static constexpr size_t kCopiedQueueLimit = size_t{1} << 12;
    bool unclippable(const std::vector<SceneQuad>& scene);
    const std::vector<RECT>* damageClip(IDirectDrawSurface* surface, const std::vector<RECT>* visible);
    // Held to the damage on destination, the texture's source is stretched
    // onto the scratch at dest from a stretched copy kept between frames,
    // only as far as the damage reaches; false where that does not serve
    // (the stretch is then made whole). result: the copy's.
    bool stretchFromCache(IDirectDrawSurface* destination, const CDDTexture& texture, const RECT& dest,
                          const RECT& source, HRESULT& result);
    // The kept stretch itself (at 0,0, the size of dest), for a copy straight
    // from it; null where it does not serve.
    IDirectDrawSurface* keptStretch(IDirectDrawSurface* destination, const CDDTexture& texture, const RECT& dest,
                                    const RECT& source);
    // An unstretched copy's rectangles cut to the damage's extent while a
    // pass is held to it on destination; false when nothing is left.
    bool cutToDamage(IDirectDrawSurface* destination, RECT& dest, RECT& source) const;
    HRESULT placeCopy(IDirectDrawSurface* destination, DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect,
                      DWORD flags);
    HRESULT placeBlt(IDirectDrawSurface* destination, RECT* dest, IDirectDrawSurface* source, RECT* sourceRect,
                     DWORD flags, DDBLTFX* effects);

    uint32_t d_displayHeight = 0;
    uint32_t d_displayWidth = 0;
    DepthQueue d_quadQueue;
    bool d_queueingEnabled = true;
    RenderDevice* d_device = nullptr;
    IDirectDraw* d_directDraw = nullptr;
    IDirectDrawSurface* d_targetSurface = nullptr;
    std::list<Texture*> d_textures;
    uint32_t d_textureSizeLimit = 0;
    CDDTexture* d_scratchTexture = nullptr;
    CDDTexture* d_bufferTexture = nullptr;
    bool d_hasMmx = false;
    bool d_softEdges = false;
    // Soft edges: one row of opaque texel alpha (all bytes 255), for stretched
    // quads whose texels are all opaque.
    std::vector<uint8_t> d_opaqueAlphaRow;
    // Between prepareForReset and postD3DReset: the auxiliary textures are
    // gone on purpose and are not rebuilt by drawing.
    bool d_resetPending = false;
    // Blend mode 0: the quads drawn into the buffer since the last
    // clearQueue, so that a buffer that lost its pixels gets its picture
    // back. A host that never clears the queue does not grow them without
    // end: past kMaxBufferedQuads the records are dropped, and a buffer lost
    // before the next clearQueue is cleared as a device reset clears it.
    static constexpr size_t kMaxBufferedQuads = size_t{1} << 18;
    std::vector<QueuedQuad> d_bufferedQuads;
    bool d_bufferUnrecoverable = false;
    // Quads the last render pass drew: what the records' storage is kept for
    // after a clearQueue.
    size_t d_lastPassQuads = 0;
    uint32_t d_frameNumber = 0;
    bool d_passSinceClear = false;
    // The buffer is new and does not show d_bufferedQuads yet.
    bool d_bufferStale = false;
    // Damage-aware frames in blend mode 0: clearQueue leaves the buffer as
    // it is, and the next pass composes it where the queue changed.
    bool d_bufferClearPending = false;
    // The texture versions when the buffer was last composed from its
    // records: while they hold, the records describe its pixels.
    uint64_t d_bufferComposedVersions = 0;
    // A quad of the buffer waits for its texture to reload: the pass of
    // d_bufferRetryFrame composes the buffer again.
    bool d_bufferRetryPending = false;
    uint32_t d_bufferRetryFrame = 0;
    bool d_redrawingBuffer = false;
    // The target's clip list as read in this pass.
    struct ClipState {
        IDirectDrawSurface* surface = nullptr; // null: not read in this pass
        bool clipped = false;
        std::vector<RECT> visible;
        std::vector<uint8_t> region;
    } d_clip;
    std::unique_ptr<DamageState> d_damage;
};

// The processor's feature word, laid out as EDX of CPUID leaf 1; bit 23 is MMX.
// 0 on processors that cannot report features.
uint32_t queryProcessorFeatures();

constexpr uint32_t kProcessorFeatureMmx = 0x00800000u;

} // namespace ZorvUISystem
