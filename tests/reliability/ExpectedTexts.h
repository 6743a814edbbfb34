// The texts that failures must reach a host with, written out here rather
// than taken from the module, so that the reliability tests and the fuzz
// targets hold the module to them: texture creation messages per DirectDraw
// result, the names reportDirectDrawError prints, the loaders' and the
// renderer's own messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <ddraw.h>

namespace ZivExpect {

// A DirectDraw failure the module names nowhere.
constexpr HRESULT kUnnamedResult = DDERR_INVALIDMODE;

struct NamedResult {
    HRESULT code;
    const char* name;
    const char* creationMessage; // null: not named by surface creation
    bool reported;               // named by reportDirectDrawError
};

inline const std::vector<NamedResult>& namedResults()
{
    static const std::vector<NamedResult> results = {
        {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED", nullptr, true},
        {DDERR_GENERIC, "DDERR_GENERIC", nullptr, true},
        {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS",
         "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INVALIDPARAMS) ", true},
        {DDERR_INVALIDCLIPLIST, "DDERR_INVALIDCLIPLIST", nullptr, true},
        {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT",
         "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_INVALIDOBJECT)", true},
        {DDERR_INVALIDRECT, "DDERR_INVALIDRECT", nullptr, true},
        {DDERR_NOALPHAHW, "DDERR_NOALPHAHW",
         "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_NOALPHAHW)", true},
        {DDERR_NOCLIPLIST, "DDERR_NOCLIPLIST", nullptr, true},
        {DDERR_NORASTEROPHW, "DDERR_NORASTEROPHW", nullptr, true},
        {DDERR_NOSTRETCHHW, "DDERR_NOSTRETCHHW", nullptr, true},
        {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY", nullptr, true},
        {DDERR_SURFACELOST, "DDERR_SURFACELOST", nullptr, true},
        {DDERR_WASSTILLDRAWING, "DDERR_WASSTILLDRAWING", nullptr, true},
        {DDERR_NOBLTHW, "DDERR_NOBLTHW", nullptr, true},
        {DDERR_INCOMPATIBLEPRIMARY, "DDERR_INCOMPATIBLEPRIMARY",
         "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INCOMPATIBLEPRIMARY) ", false},
        {DDERR_INVALIDCAPS, "DDERR_INVALIDCAPS",
         "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INVALIDCAPS) ", false},
        {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT",
         "CDDTexture::CreateSurface -- Failed to create Texture object.(DDERR_INVALIDPIXELFORMAT)", false},
        {DDERR_NOCOOPERATIVELEVELSET, "DDERR_NOCOOPERATIVELEVELSET",
         "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_NOCOOPERATIVELEVELSET)", false},
        {DDERR_NOFLIPHW, "DDERR_NOFLIPHW",
         "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_NOFLIPHW)", false},
        {DDERR_NOOVERLAYHW, "DDERR_NOOVERLAYHW",
         "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_NOOVERLAYHW)", false},
        {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY",
         "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_OUTOFMEMORY)", false},
        {DDERR_OUTOFVIDEOMEMORY, "DDERR_OUTOFVIDEOMEMORY",
         "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_OUTOFVIDEOMEMORY)", false},
        {DDERR_PRIMARYSURFACEALREADYEXISTS, "DDERR_PRIMARYSURFACEALREADYEXISTS",
         "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_PRIMARYSURFACEALREADYEXISTS)", false},
    };
    return results;
}

inline const NamedResult* findResult(HRESULT code)
{
    for (const NamedResult& result : namedResults()) {
        if (result.code == code)
            return &result;
    }
    return nullptr;
}

// The message a failed CreateSurface of a texture raises and logs.
inline std::string creationMessage(HRESULT code)
{
    const NamedResult* result = findResult(code);
    if (result != nullptr && result->creationMessage != nullptr)
        return result->creationMessage;
    return "CDDTexture::CreateSurface -- Failed to create Texture object. (UNKNOWN)";
}

// The line reportDirectDrawError writes, as a printf-style logger renders it.
inline std::string reportLine(const std::string& context, HRESULT code)
{
    std::string line = context + "(" + std::to_string(static_cast<int32_t>(code)) + ")";
    const NamedResult* result = findResult(code);
    if (result != nullptr && result->reported)
        line += std::string(" ") + result->name;
    return line;
}

// Every result code the module names, and one it does not.
inline std::vector<HRESULT> faultCodes()
{
    std::vector<HRESULT> codes;
    for (const NamedResult& result : namedResults())
        codes.push_back(result.code);
    codes.push_back(kUnnamedResult);
    return codes;
}

// Texts of the texture loaders.
constexpr const char* kLockFailed = "CDDTexture::loadFromMemory  -- Failed to lock the surface for data filling.";
constexpr const char* kUnsupportedFormat = "CDDTexture::loadFromMemory  -- Unsupported pixelformat of the texture.";
constexpr const char* kGetDcFailed =
    "CDD7Texture::loadFromMemory  -- FAILED(d_ddtexture[0]->GetDC(&hdc) for 8bit texture create.";
constexpr const char* kNoPixels = "CDDTexture::loadFromMemory  -- No pixels given.";
constexpr const char* kBadCopySize =
    "CDDTexture::loadFromMemory  -- Texture size out of range for keeping a copy of its pixels.";
constexpr const char* kEmptyName = "Texture file name should not be empty.";
constexpr const char* kOpenFailed = "CDDTexture::loadFromFile -- load file error.";
constexpr const char* kReadFailed = "CDDTexture::loadFromFile -- read file error.";
constexpr const char* kNoFileData = "CDDTexture::loadFromFileData -- Failed to load image from file data.";
constexpr const char* kNoFileObject = "Unable to create corona::File object";
constexpr const char* kOpenImageFailed = "Unable to load image, corona::OpenImage failed";
constexpr const char* kUnsupportedImage = "Unable to load image, unsurpotted image format.";
constexpr const char* kConvertFailed = "Unable to convert image to RGBA or RGB";

// Texts of the renderer.
constexpr const char* kNoDirectDraw = "CDDRender can't get the IDirectDraw device.";
constexpr const char* kNoDevice = "CDDRender::CDDRender() --> Renderer device is NULL.";
constexpr const char* kDeviceWithoutDirectDraw =
    "CDDRender::CDDRender() --> Renderer device can't get aviliable IDirectDraw object.";
constexpr const char* kFactoryPrefix = "ziv --> createRenderer() error : ";
constexpr const char* kFileDataPrefix = "CDDRender::createTexture failed from file data : ";
constexpr const char* kFilePrefix = "CDDRender::createTexture failed from file : ";
constexpr const char* kSizedPrefix = "CDDRender::createTexture failed form sized texture : ";
constexpr const char* kPixelsLost =
    "CDDTexture::recreateAfterReset -- Texture surface lost, no source to reload it from: drawn transparent.";
// Blend mode 0: a host that never clears the queue outgrows the buffer's records.
constexpr const char* kBufferUnrecoverable = "CDDRender::renderQueue -- More than 262144 quads since the last "
                                             "clearQueue: a lost buffer is cleared until then, not composed again.";
constexpr const char* kBlendStretchContext = "with alpha blend strecth blt source surface error";
constexpr const char* kCopyStretchContext = "with out alpha blend strecth blt source surface error";

// Whether text is one a texture load can fail with.
inline bool isLoaderText(const std::string& text)
{
    for (const char* known :
         {kLockFailed, kUnsupportedFormat, kGetDcFailed, kNoPixels, kBadCopySize, kEmptyName, kOpenFailed, kReadFailed,
          kNoFileData, kNoFileObject, kOpenImageFailed, kUnsupportedImage, kConvertFailed}) {
        if (text == known)
            return true;
    }
    for (const NamedResult& result : namedResults()) {
        if (result.creationMessage != nullptr && text == result.creationMessage)
            return true;
    }
    return text == creationMessage(kUnnamedResult);
}

} // namespace ZivExpect
