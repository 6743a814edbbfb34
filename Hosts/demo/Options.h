// ziv-demo's command line.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "TargetFormat.h"

namespace zivdemo {

struct Options {
    bool help = false;
    bool printScene = false;
    std::optional<uint32_t> width; // both or neither
    std::optional<uint32_t> height;
    std::vector<TargetFormat> formats{std::begin(kAllFormats), std::end(kAllFormats)};
    std::vector<int32_t> blendModes{0, 1, 2};
    std::string out = "out";
    std::string scene;  // empty: the built-in scene
    std::string module; // empty: libziv.so beside the program, else the build's
    uint32_t repeat = 5;
    bool clipper = false;  // the target carries a clipper, as a windowed host's does
    bool softEdges = true; // blend modes 1 and 2 blend text and icons by each texel's alpha
};

// A mistake on the command line; main prints it with a pointer to --help.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The parsers that ziv-demo and its window program share; inline, since the
// Windows window program is built without this header's source file.

// A whole number from low to high, what naming it in the UsageError.
inline uint32_t parseNumber(const std::string& text, const std::string& what, uint32_t low, uint32_t high)
{
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || value < low || value > high) {
        throw UsageError(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                         ", not '" + text + "'");
    }
    return value;
}

// The value of --size, WIDTHxHEIGHT with each side from 1 to 4096.
inline void parseSize(const std::string& size, std::optional<uint32_t>& width, std::optional<uint32_t>& height)
{
    const size_t x = size.find('x');
    if (x == std::string::npos) {
        throw UsageError("--size takes WIDTHxHEIGHT, such as 800x600, not '" + size + "'");
    }
    width = parseNumber(size.substr(0, x), "the width", 1, 4096);
    height = parseNumber(size.substr(x + 1), "the height", 1, 4096);
}

// Parses the arguments after the program name. Throws UsageError.
Options parseOptions(const std::vector<std::string>& args);

extern const char* const kHelpText;

} // namespace zivdemo
