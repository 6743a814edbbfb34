// ziv-demo's command line.
#pragma once

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
};

// A mistake on the command line; main prints it with a pointer to --help.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses the arguments after the program name. Throws UsageError.
Options parseOptions(const std::vector<std::string>& args);

extern const char* const kHelpText;

} // namespace zivdemo
