#include "ImageCheck.h"

#include <cstring>

#include <corona.h>

namespace zivdemo {

namespace {

bool startsWith(const std::vector<uint8_t>& bytes, const char* signature, size_t length)
{
    return bytes.size() >= length && std::memcmp(bytes.data(), signature, length) == 0;
}

// The format that the first bytes announce, or null. TGA files announce
// nothing.
const char* announcedFormat(const std::vector<uint8_t>& bytes)
{
    if (startsWith(bytes, "\x89PNG\r\n\x1A\n", 8))
        return "PNG";
    if (startsWith(bytes, "\xFF\xD8\xFF", 3))
        return "JPEG";
    if (startsWith(bytes, "GIF87a", 6) || startsWith(bytes, "GIF89a", 6))
        return "GIF";
    if (startsWith(bytes, "BM", 2))
        return "BMP";
    return nullptr;
}

} // namespace

std::string whyNotDecodable(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return "the file is empty";
    if (bytes.size() > 0x7FFFFFFF)
        return "the file is too large for the image library";
    corona::File* file = corona::CorCreateMemoryFile(bytes.data(), static_cast<int>(bytes.size()));
    if (file == nullptr)
        return "the image library cannot take it";
    corona::Image* image = corona::CorOpenImageFromFile(file, corona::FF_AUTODETECT);
    file->destroy();
    if (image != nullptr) {
        image->destroy();
        return {};
    }
    if (const char* format = announcedFormat(bytes))
        return std::string(format) + " data that is damaged or cut short";
    return "not an image (neither PNG, JPEG, GIF, BMP nor TGA)";
}

} // namespace zivdemo
