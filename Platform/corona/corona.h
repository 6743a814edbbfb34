// The image library the renderer module imports: it decodes image files held
// in memory and hands back 8-bit-per-channel pixels.
//
// Only what the module uses is offered: a file object over memory, opening an
// image from it with the format detected from the data, converting an image's
// pixel format, and the image's size, format code and pixels. Objects are
// destroyed through their own destroy operation, never with delete.
#pragma once

namespace corona {

// File formats. The module only ever asks for detection from the data.
enum FileFormat : int {
    FF_AUTODETECT = 0x0100,
};

// Pixel formats: bytes per pixel in memory order.
enum PixelFormat : int {
    PF_DONTCARE = 0x0200, // keep whatever the decoder produced
    PF_R8G8B8A8 = 0x0201, // red, green, blue, alpha
    PF_R8G8B8 = 0x0202,   // red, green, blue
    PF_I8 = 0x0203,       // palette indices
    PF_B8G8R8A8 = 0x0204, // blue, green, red, alpha
    PF_B8G8R8 = 0x0205,   // blue, green, red
};

// A source of image file bytes.
class File {
public:
    virtual void destroy() = 0;

protected:
    ~File() = default;
};

// A decoded image. Rows are packed without padding, top row first, in the
// format that getFormat reports.
class Image {
public:
    virtual void destroy() = 0;
    virtual int getWidth() = 0;
    virtual int getHeight() = 0;
    virtual PixelFormat getFormat() = 0;
    virtual void* getPixels() = 0;

protected:
    ~Image() = default;
};

// A file object reading from size bytes at buffer, or null. The bytes must
// stay valid while the file object is used.
File* CorCreateMemoryFile(const void* buffer, int size);

// The image decoded from file, or null when the data is not an image this
// library reads (PNG, JPEG, GIF, BMP, TGA), is damaged, or is too large (more
// than 16384 pixels on a side, or a pixel buffer above 256 MiB). The file
// object stays the caller's.
Image* CorOpenImageFromFile(File* file, FileFormat format);

// The image in the requested pixel format, or null. From this call on the
// input belongs to the library: it comes back unchanged (PF_DONTCARE, or the
// format it already has), is replaced by a converted image, or is destroyed
// when the conversion fails. Null gives null.
Image* CorConvertImage(Image* image, PixelFormat format);

} // namespace corona
