// What the fuzz targets share: typed reads from the fuzzer's bytes, a byte
// writer for the seed generator, and checks that stop the run as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zivfuzz {

// A failed check is a crash for libFuzzer: it keeps the input and stops.
[[noreturn]] inline void fail(const char* what, const std::string& detail = std::string())
{
    std::fprintf(stderr, "ziv fuzz check failed: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void check(bool condition, const char* what, const std::string& detail = std::string())
{
    if (!condition)
        fail(what, detail);
}

// Reads the input front to back. Past the end every read gives 0, so any
// byte string decodes to something.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : d_data(data), d_size(size) {}

    bool atEnd() const { return d_position >= d_size; }
    size_t remaining() const { return atEnd() ? 0 : d_size - d_position; }

    uint8_t byte() { return atEnd() ? 0 : d_data[d_position++]; }
    uint16_t u16() { return static_cast<uint16_t>(byte() | byte() << 8); }
    uint32_t u32()
    {
        const uint32_t low = u16();
        return low | static_cast<uint32_t>(u16()) << 16;
    }
    float f32()
    {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    // Up to count bytes, fewer at the end of the input.
    std::vector<uint8_t> bytes(size_t count)
    {
        const size_t n = count < remaining() ? count : remaining();
        std::vector<uint8_t> out(d_data + d_position, d_data + d_position + n);
        d_position += n;
        return out;
    }

private:
    const uint8_t* d_data;
    size_t d_size;
    size_t d_position = 0;
};

// The generator's side of Reader.
class Writer {
public:
    Writer& byte(uint32_t value)
    {
        d_bytes.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    Writer& u16(uint32_t value) { return byte(value).byte(value >> 8); }
    Writer& u32(uint32_t value) { return u16(value).u16(value >> 16); }
    Writer& f32(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        return u32(bits);
    }
    Writer& bytes(const std::vector<uint8_t>& more)
    {
        d_bytes.insert(d_bytes.end(), more.begin(), more.end());
        return *this;
    }
    const std::vector<uint8_t>& data() const { return d_bytes; }

private:
    std::vector<uint8_t> d_bytes;
};

// A small deterministic generator for pixel patterns (xorshift32).
class Pattern {
public:
    explicit Pattern(uint32_t seed) : d_state(seed * 2654435761u + 0x9E3779B9u) {}
    uint32_t next()
    {
        d_state ^= d_state << 13;
        d_state ^= d_state >> 17;
        d_state ^= d_state << 5;
        return d_state;
    }

private:
    uint32_t d_state;
};

} // namespace zivfuzz
