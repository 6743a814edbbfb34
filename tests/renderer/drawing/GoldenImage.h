// Golden frames: a stable hash of a surface image's pixels, a file of named
// hashes, and a PNG of a frame for a person to look at.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "SurfaceImage.h"

namespace ZivTest {

// FNV-1a over the size, the bit count and every row's pixel bytes (never the
// row padding), as 16 hexadecimal digits.
std::string pixelHash(const SurfaceImage& image);

// Lines "name hash"; a missing file reads as empty.
std::map<std::string, std::string> readGoldenHashes(const std::string& path);
bool writeGoldenHashes(const std::string& path, const std::map<std::string, std::string>& hashes);

// Writes the image as an 8-bit RGB PNG (each channel widened from its mask;
// palette indices as grey levels). False on failure.
bool writePng(const std::string& path, const SurfaceImage& image);

} // namespace ZivTest
