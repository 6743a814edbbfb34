// Loading textures from image files and from image file bytes: the path is
// built and converted from UTF-8, the file read whole, and the bytes decoded
// by the image library into RGBA or RGB pixels for the upload.
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include <windows.h>

#include "corona.h"
#include "texture/CDDTexture.h"

namespace ZorvUISystem {

namespace {

const char* const kEmptyName = "Texture file name should not be empty.";
const char* const kToWideFailed = "multi byte to wide char convert error when texture file name converting.";
const char* const kToNarrowFailed = "wide char to multi byte convert error when texture file name converting.";
const char* const kNameOutOfMemory = "Out of memory for texture file name converting.";
const char* const kOpenFailed = "CDDTexture::loadFromFile -- load file error.";
const char* const kReadFailed = "CDDTexture::loadFromFile -- read file error.";
const char* const kNoFileData = "CDDTexture::loadFromFileData -- Failed to load image from file data.";
const char* const kNoFileObject = "Unable to create corona::File object";
const char* const kOpenImageFailed = "Unable to load image, corona::OpenImage failed";
const char* const kUnsupportedImage = "Unable to load image, unsurpotted image format.";
const char* const kConvertFailed = "Unable to convert image to RGBA or RGB";

constexpr int kMaxConvertedLength = 65535;

} // namespace

const char* CDDTexture::buildFilePath(const char* fileName, const char* directory)
{
    std::string path;
    if (directory && *directory) {
        path = directory;
        if (path.back() != '\\' && path.back() != '/')
            path += '/';
    }
    if (fileName)
        path += fileName;
    if (path.empty())
        throw std::runtime_error(kEmptyName);

    // UTF-8 to UTF-16, then to the process's narrow code page.
    if (path.size() > static_cast<size_t>(INT_MAX))
        throw std::runtime_error(kToWideFailed);
    const int pathLength = static_cast<int>(path.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, path.data(), pathLength, nullptr, 0);
    if (wideLength < 1 || wideLength > kMaxConvertedLength)
        throw std::runtime_error(kToWideFailed);
    std::unique_ptr<WCHAR[]> wide(new (std::nothrow) WCHAR[static_cast<size_t>(wideLength) + 1]());
    if (!wide)
        throw std::runtime_error(kNameOutOfMemory);
    MultiByteToWideChar(CP_UTF8, 0, path.data(), pathLength, wide.get(), wideLength);

    const int narrowLength = WideCharToMultiByte(CP_ACP, 0, wide.get(), -1, nullptr, 0, nullptr, nullptr);
    if (narrowLength <= 0 || narrowLength > kMaxConvertedLength)
        throw std::runtime_error(kToNarrowFailed);
    std::unique_ptr<char[]> narrow(new (std::nothrow) char[static_cast<size_t>(narrowLength) + 1]());
    if (!narrow)
        throw std::runtime_error(kNameOutOfMemory);
    WideCharToMultiByte(CP_ACP, 0, wide.get(), -1, narrow.get(), narrowLength, nullptr, nullptr);

    d_filePath = narrow.get();
    d_wideFilePath.assign(wide.get(), static_cast<size_t>(wideLength));
    return d_filePath.c_str();
}

void CDDTexture::loadFromFile(const char* fileName, const char* directory)
{
    releaseSurfaces();
    d_restoreOnly = true;
    try {
        buildFilePath(fileName, directory);
        std::ifstream file(std::filesystem::path(d_wideFilePath), std::ios::in | std::ios::binary | std::ios::ate);
        if (!file)
            throw std::runtime_error(kOpenFailed);
        const std::streamoff size = file.tellg();
        // An empty file, one whose size cannot be told, or one too large to
        // hand to the decoder has nothing to load.
        if (size <= 0 || static_cast<uint64_t>(size) > std::numeric_limits<uint32_t>::max())
            throw std::runtime_error(kReadFailed);
        file.seekg(0, std::ios::beg);
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(size)]);
        if (!buffer || !file.read(buffer.get(), size))
            throw std::runtime_error(kReadFailed);
        file.close();

        decodeImage(buffer.get(), static_cast<uint32_t>(size));
        d_restoreOnly = false;
        // A newer source than a kept pixel copy; kept file bytes stay.
        dropPixelCopy();
        d_fileName = fileName ? fileName : "";
        d_fileDirectory = directory ? directory : "";
    } catch (const std::exception& e) {
        d_restoreOnly = true;
        throw std::runtime_error(e.what());
    }
}

void CDDTexture::loadFromFileData(const void* data, uint32_t size)
{
    releaseSurfaces();
    d_restoreOnly = true;
    if (!data || size == 0)
        throw std::runtime_error(kNoFileData);
    decodeImage(data, size);
    d_restoreOnly = false;
    // Given its own copy (a reload), the copy stays where it is.
    Texture::loadFromFileData(data, size);
    d_fileDataHoldsPixels = false;
}

void CDDTexture::decodeImage(const void* data, uint32_t size)
{
    corona::File* file =
        size <= static_cast<uint32_t>(INT_MAX) ? corona::CorCreateMemoryFile(data, static_cast<int>(size)) : nullptr;
    if (!file)
        throw std::runtime_error(kNoFileObject);
    corona::Image* image =
        corona::CorConvertImage(corona::CorOpenImageFromFile(file, corona::FF_AUTODETECT), corona::PF_DONTCARE);
    file->destroy();
    if (!image)
        throw std::runtime_error(kOpenImageFailed);

    BufferFormat format = BUFFER_RGB;
    switch (image->getFormat()) {
    case corona::PF_R8G8B8A8:
        format = BUFFER_RGBA;
        break;
    case corona::PF_R8G8B8:
        format = BUFFER_RGB;
        break;
    case corona::PF_B8G8R8A8:
        image = corona::CorConvertImage(image, corona::PF_R8G8B8A8);
        format = BUFFER_RGBA;
        break;
    case corona::PF_B8G8R8:
        image = corona::CorConvertImage(image, corona::PF_R8G8B8);
        format = BUFFER_RGB;
        break;
    default:
        image->destroy();
        throw std::runtime_error(kUnsupportedImage);
    }
    if (!image)
        throw std::runtime_error(kConvertFailed);

    const uint32_t height = static_cast<uint32_t>(image->getHeight());
    const uint32_t width = static_cast<uint32_t>(image->getWidth());
    const void* pixels = image->getPixels();
    try {
        // A decoded image is reloaded from its file or file bytes, never
        // from a pixel copy.
        uploadPixels(pixels, width, height, format, false);
    } catch (const std::exception& e) {
        image->destroy();
        throw std::runtime_error(e.what());
    }
    image->destroy();
}

} // namespace ZorvUISystem
