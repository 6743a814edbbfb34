// Image files that the module will decode, checked by the host before it
// renders: the same image library, asked once per file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zivdemo {

// Why the image library cannot decode the bytes of an image file, for
// people ("PNG data that is damaged or cut short", "not an image: ..."), or
// empty when it decodes them.
std::string whyNotDecodable(const std::vector<uint8_t>& bytes);

} // namespace zivdemo
