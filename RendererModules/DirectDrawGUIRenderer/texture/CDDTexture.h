// The DirectDraw texture: a colour surface and, for RGBA pixels on a surface
// without alpha, a separate alpha surface.
#pragma once

#include <cstdint>

#include "pixel/RgbMode.h"
#include "ziv.h"

namespace ZorvUISystem {

class CDDRender;

class CDDTexture : public Texture {
public:
    explicit CDDTexture(CDDRender* owner);

    // Texture, in slot order.
    uint32_t getWidth() const override;
    uint32_t getImageWidth() const override;
    uint32_t getHeight() const override;
    uint32_t getImageHeight() const override;
    void loadFromFile(const char* fileName, const char* directory) override;
    void loadFromFileData(const void* data, uint32_t size) override;
    void loadFromMemory(const void* pixels, uint32_t width, uint32_t height, BufferFormat format) override;
    void reservedOperation(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f, uint32_t g) override;
    ~CDDTexture() override;

    // Appended to the slot order after the destructor.
    virtual void releaseForReset();
    virtual void recreateAfterReset();

    void createSurfaces(uint32_t width, uint32_t height);
    void releaseSurfaces();

    // After DirectDraw lost the surfaces (found by IsLost or by a failed
    // call while drawing): restores them and brings the pixels back from the
    // texture's source. Returns whether the texture can be drawn.
    bool recoverFromLoss();
    // Reloads a texture without surfaces from its source while drawing. A
    // reload that fails is tried again on later frames, first after 1 frame,
    // then after 2, 4 ... up to kMaxRetryDelay frames while it keeps failing
    // (a surface lost during the reload is tried again on the next frame);
    // each streak of failures is logged once.
    void reloadForDrawing();
    // The last reload failed because DirectDraw lost a surface under it: a
    // passing loss, not a fault of the texture's source.
    bool reloadMetLoss() const { return d_uploadResult == DDERR_SURFACELOST; }
    static constexpr uint32_t kMaxRetryDelay = 64;
    // Without surfaces after a failed reload; tried again from retryFrame().
    bool awaitingReload() const { return d_retryPending && d_ddtexture[0] == nullptr; }
    // Without surfaces, and drawing it now would load it from its source.
    bool reloadsWhenDrawn() const;
    uint32_t retryFrame() const { return d_retryFrame; }
    // The texture lost pixels that it has no source for: it draws nothing.
    bool pixelsLost() const { return d_pixelsLost; }
    // Whether DirectDraw answers that the colour or alpha surface was lost.
    bool surfacesLost() const;

    IDirectDrawSurface* colourSurface() const { return d_ddtexture[0]; }
    IDirectDrawSurface* alphaSurface() const { return d_ddtexture[1]; }
    RgbMode rgbMode() const { return d_rgbMode; }
    bool hasAlpha() const { return d_hasAlpha; }
    bool restoreOnly() const { return d_restoreOnly; }
    const std::string& filePath() const { return d_filePath; }

    // A number that changes whenever the texture's pixels may have changed
    // (a load, a reload, a restore, surfaces given back); no two textures of
    // the process share one. contentVersions is the last one handed out.
    uint64_t contentVersion() const { return d_contentVersion; }
    static uint64_t contentVersions() { return s_contentVersions; }
    void pixelsChanged() { d_contentVersion = ++s_contentVersions; }

private:
    friend class CDDRender;

    const char* buildFilePath(const char* fileName, const char* directory);
    // The upload behind loadFromMemory; keepCopy makes it keep the RGBA
    // pixels as the texture's reload source.
    void uploadPixels(const void* pixels, uint32_t width, uint32_t height, BufferFormat format, bool keepCopy);
    void dropPixelCopy();
    void decodeImage(const void* data, uint32_t size);
    void CreateSurface(uint32_t width, uint32_t height, IDirectDrawSurface** target, bool colourKey);
    // Restore of the colour surface, then of a separate alpha surface; the
    // first failure.
    HRESULT restoreSurfaces();
    // What is left of a texture without a source after its surfaces were
    // lost: cleared to the transparent value, or given back when DirectDraw
    // could not restore them.
    void forgetLostPixels(HRESULT restored);
    // Starts or continues a streak of failed reloads, and ends it.
    void noteReloadFailure();
    void endRetryStreak();
    uint32_t currentFrame() const;

    IDirectDrawSurface* d_ddtexture[2] = {nullptr, nullptr};
    bool d_restoreOnly = true;
    uint32_t d_width = 0;
    uint32_t d_height = 0;
    uint32_t d_imageWidth = 0;
    uint32_t d_imageHeight = 0;
    bool d_hasAlpha = false;
    RgbMode d_rgbMode = DDS_RGBMODE_UNSUPPORTED;
    // The kept copy (d_fileData) is a memory texture's RGBA pixels rather
    // than image file bytes.
    bool d_fileDataHoldsPixels = false;
    // The path that buildFilePath made, in UTF-16: the file is opened
    // through it, since the narrow d_filePath loses every character that the
    // ANSI code page cannot spell.
    std::basic_string<WCHAR> d_wideFilePath;
    // A streak of failed reloads: the frame from which the next attempt may
    // run, the frames waited before it, and whether the streak was reported.
    bool d_retryPending = false;
    uint32_t d_retryFrame = 0;
    uint32_t d_retryDelay = 0;
    bool d_streakReported = false;
    // The DirectDraw result that stopped the last upload, or DD_OK.
    HRESULT d_uploadResult = DD_OK;
    // The surfaces lost pixels that no source can bring back.
    bool d_pixelsLost = false;
    static inline uint64_t s_contentVersions = 0;
    uint64_t d_contentVersion = ++s_contentVersions;
};

} // namespace ZorvUISystem
