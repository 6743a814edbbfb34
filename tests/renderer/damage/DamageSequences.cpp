// Runs the damage differential check on sequences made from fixed seeds, or
// replays one saved sequence: renderer_damage_sequences COUNT [FIRST] | FILE;
// or the damage region's check on COUNT byte strings: ... regions COUNT.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DamageSequence.h"

int main(int argc, char** argv)
{
    const std::string argument = argc > 1 ? argv[1] : "100";
    if (argument == "regions") {
        const unsigned long count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000;
        for (unsigned long seed = 0; seed < count; ++seed) {
            zivfuzz::Pattern pattern(uint32_t(seed) + 1);
            std::vector<uint8_t> bytes(4 + seed % 2000);
            for (uint8_t& byte : bytes)
                byte = uint8_t(pattern.next() >> 7);
            zivfuzz::damage::runRegion(bytes.data(), bytes.size());
        }
        std::printf("%lu regions passed\n", count);
        return 0;
    }
    if (argument.find_first_not_of("0123456789") != std::string::npos) {
        std::ifstream in(argument, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        zivfuzz::damage::runSequence(bytes.data(), bytes.size());
        std::printf("%s: passed\n", argument.c_str());
        return 0;
    }
    const unsigned long count = std::strtoul(argument.c_str(), nullptr, 10);
    const unsigned long first = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 0;
    for (unsigned long seed = first; seed < count; ++seed) {
        if (std::getenv("ZIV_DAMAGE_TRACE") != nullptr)
            std::fprintf(stderr, "sequence %lu\n", seed);
        zivfuzz::Pattern pattern(uint32_t(seed) + 1);
        std::vector<uint8_t> bytes(6 + 200 + seed % 400);
        for (uint8_t& byte : bytes)
            byte = uint8_t(pattern.next() >> 7);
        // Saved first: a failing check stops the program and leaves it.
        std::ofstream("damage-sequence.bin", std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        zivfuzz::damage::runSequence(bytes.data(), bytes.size());
    }
    std::remove("damage-sequence.bin");
    const zivfuzz::damage::Tally& tally = zivfuzz::damage::tally();
    std::printf("%lu sequences passed: %lu frames equal to full frames (%lu drawn into the damage only, %lu "
                "unchanged), %lu with a failed call not compared\n",
                count, tally.frames, tally.partial, tally.unchanged, tally.faulted);
    std::printf("frames by reason for a full frame (none, first, invalid, size, background, host, area, "
                "unclippable):");
    for (unsigned long frames : tally.full)
        std::printf(" %lu", frames);
    std::printf("\n");
    return 0;
}
