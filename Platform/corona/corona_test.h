// Test controls of the image library stand-in. Not part of the library's
// interface: only tests include this header.
#pragma once

#include "corona.h"

namespace corona::test {

// A decoder that runs before the built-in ones. It returns an image (made
// with makeImage) or null to let the built-in decoders try the data.
using DecoderHook = Image* (*)(const void* data, int size);
void setDecoderHook(DecoderHook hook);

// An image object of any format code with a copy of the given pixels
// (width x height x bytes per pixel of the code: 4, 3 or 1; 1 for codes the
// library does not know). Null when the size is refused.
Image* makeImage(int width, int height, int format, const void* pixels);

// While set, CorCreateMemoryFile answers null.
void setMemoryFileFailure(bool fail);

// While set, every conversion that would change the pixel format fails.
void setConversionFailure(bool fail);

// File and image objects alive right now.
int liveObjects();

} // namespace corona::test
