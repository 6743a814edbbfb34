// The software DirectDraw against Wine's: every case of the surface sequence
// runs here on Wine's DirectDraw and is compared, line by line, with the
// trace the software DirectDraw wrote for the same case on Linux (the file
// named by ZIV_DDRAW_REFERENCE; make test-windows writes it first).
//
// Where the two differ for a reason that is understood, the difference is
// listed below with the side that is right, and checked as precisely as it
// can be: any other difference fails.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SurfaceSequence.h"

namespace {

using ZivDdrawTrace::TraceFile;

// ----- reading trace lines -----------------------------------------------------

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The hexadecimal pixels after the colon of a "... row N: aa bb" line.
std::vector<uint32_t> rowPixels(const std::string& line)
{
    std::vector<uint32_t> pixels;
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return pixels;
    std::istringstream in(line.substr(colon + 1));
    std::string word;
    while (in >> word)
        pixels.push_back(static_cast<uint32_t>(std::stoul(word, nullptr, 16)));
    return pixels;
}

// The text before the " = " of a result line, and the result.
std::string callOf(const std::string& line)
{
    return line.substr(0, line.rfind(" = "));
}
std::string resultOf(const std::string& line)
{
    const size_t at = line.rfind(" = ");
    return at == std::string::npos ? std::string() : line.substr(at + 3);
}

bool sameRowLabel(const std::string& software, const std::string& wine)
{
    return software.substr(0, software.find(':')) == wine.substr(0, wine.find(':'));
}

// Pixel rows whose pixels agree where agree(software, wine) says so.
bool rowsAgree(const std::string& software, const std::string& wine,
               const std::function<bool(uint32_t, uint32_t)>& agree)
{
    const std::vector<uint32_t> a = rowPixels(software);
    const std::vector<uint32_t> b = rowPixels(wine);
    if (!sameRowLabel(software, wine) || a.size() != b.size() || a.empty())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!agree(a[i], b[i]))
            return false;
    return true;
}

bool resultsAre(const std::string& software, const std::string& wine, const char* softwareResult,
                const char* wineResult)
{
    return callOf(software) == callOf(wine) && resultOf(software) == softwareResult && resultOf(wine) == wineResult;
}

// ----- the known differences -----------------------------------------------------

struct KnownDifference {
    std::vector<std::string> cases; // case names, or prefixes ending in '/'
    std::string linePrefix;
    std::function<bool(const std::string& software, const std::string& wine)> accepts;
};

bool caseMatches(const std::vector<std::string>& patterns, const std::string& name)
{
    for (const std::string& pattern : patterns) {
        if (pattern == "*" || pattern == name || (pattern.back() == '/' && startsWith(name, pattern)))
            return true;
    }
    return false;
}

// An 8-bit channel as GDI puts it into a field of `width` bits (the top bits)
// and reads it back (the bits repeated).
uint32_t gdiChannel(uint32_t channel, unsigned width)
{
    const uint32_t field = channel >> (8 - width);
    return (field << (8 - width)) | (field >> (2 * width - 8));
}

// "SetPixel rrggbb gives rrggbb" on a 16-bit surface, as Wine's GDI answers.
bool wineGdiSetPixel16(const std::string& wine, unsigned greenBits)
{
    unsigned colour = 0;
    unsigned given = 0;
    if (std::sscanf(wine.c_str(), "SetPixel %x gives %x", &colour, &given) != 2)
        return false;
    const uint32_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    const uint32_t expected = gdiChannel(red, 5) | gdiChannel(green, greenBits) << 8 | gdiChannel(blue, 5) << 16;
    return given == expected;
}

const std::vector<KnownDifference>& knownDifferences()
{
    static const std::vector<KnownDifference> list = {
        // Lock's description: Wine, like Windows, fills in the pitch and the
        // pointer without adding DDSD_LPSURFACE to dwFlags; the software
        // DirectDraw adds it. Callers read lpSurface either way (the module
        // does not test the flag).
        {{"*"},
         "flags has pitch",
         [](const std::string& software, const std::string& wine) {
             std::string expected = software;
             const size_t at = expected.find("lpsurface 1");
             if (at == std::string::npos)
                 return false;
             expected.replace(at, 11, "lpsurface 0");
             return expected == wine;
         }},
        // A stretch within one surface whose rectangles overlap: Wine walks
        // the rows in place and reads pixels it has already written; the
        // software DirectDraw copies through a temporary, giving the result
        // of reading the source first. The software DirectDraw is right.
        {{"copy/"},
         "after overlapping Blt row",
         [](const std::string& s, const std::string& w) { return sameRowLabel(s, w); }},
        // BltFast with DDBLTFAST_SRCCOLORKEY from a surface without a source
        // key: Wine draws, taking 0 as the key; the software DirectDraw
        // refuses with DDERR_INVALIDPARAMS, as both do for Blt with
        // DDBLT_KEYSRC. The software DirectDraw is right (consistent with
        // Blt, and no key is invented).
        {{"key-flag-without-key/"},
         "BltFast srccolorkey without key",
         [](const std::string& s, const std::string& w) { return resultsAre(s, w, "80070057", "00000000"); }},
        {{"key-flag-without-key/"},
         "after BltFast row",
         [](const std::string& s, const std::string& w) {
             // The refused blit left the destination's fill everywhere.
             const std::vector<uint32_t> pixels = rowPixels(s);
             return sameRowLabel(s, w) && !pixels.empty() &&
                    std::set<uint32_t>(pixels.begin(), pixels.end()).size() == 1;
         }},
        // Colour fills keep only the colour bits on Wine (the top bit of
        // 555, the top byte of XRGB are written as 0); the software
        // DirectDraw writes the fill value's low bits unchanged. DirectDraw
        // defines dwFillColor as a pixel value, so the software DirectDraw
        // follows the letter; Wine never leaves stray bits. Neither the
        // module nor the hosts fill with such bits set.
        {{"fill/555"},
         "after ",
         [](const std::string& s, const std::string& w) {
             return rowsAgree(s, w, [](uint32_t a, uint32_t b) { return b == (a & 0x7FFF); });
         }},
        {{"fill/32"},
         "after ",
         [](const std::string& s, const std::string& w) {
             return rowsAgree(s, w, [](uint32_t a, uint32_t b) { return b == (a & 0x00FFFFFF); });
         }},
        // A 555 source key with the unused top bit set (0x8007) on pixels of
        // exactly that value: Wine keeps them (it drops the bit from the key
        // but not from the pixels), the software DirectDraw leaves them out.
        // The software DirectDraw is right: a pixel equal to the key is
        // transparent. The module's keys are black, without that bit.
        {{"key-blt/555", "key-bltfast/555", "key-override/555"},
         "after ",
         [](const std::string& s, const std::string& w) {
             return rowsAgree(s, w, [](uint32_t a, uint32_t b) { return a == b || (b == 0x8007 && a != 0x8007); });
         }},
        // Colour-space keys (DDCKEY_COLORSPACE): Wine refuses them with
        // DDERR_NOCOLORKEYHW, as the Windows software emulation does; the
        // software DirectDraw supports them. Both are allowed; the module
        // uses single-colour keys only.
        {{"key-bits/32"},
         "SetColorKey 09",
         [](const std::string& s, const std::string& w) { return resultsAre(s, w, "00000000", "887600dc"); }},
        {{"key-bits/32"},
         "after colour space row",
         [](const std::string& s, const std::string& w) { return sameRowLabel(s, w); }},
        // Blits between formats: the software DirectDraw refuses them with
        // DDERR_INVALIDPIXELFORMAT; Wine answers DD_OK and converts 565 to
        // XRGB, but silently draws nothing for 565 to 555, 555 to 565, XRGB to
        // 565 and 24 to 32 bits. The software DirectDraw is right: a blit
        // that reports success must draw. The module blits only between
        // surfaces of one format.
        {{"convert/"},
         "Blt",
         [](const std::string& s, const std::string& w) { return resultsAre(s, w, "88760091", "00000000"); }},
        {{"convert/565-32"},
         "pixels row",
         [](const std::string& s, const std::string& w) { return sameRowLabel(s, w); }},
        // An 8-bit surface without a palette: Wine's GDI uses the system
        // palette (its static colours), the software DirectDraw its colour
        // cube. Wine follows Windows here. The module draws 8-bit textures
        // through GDI without attaching a palette, so on Windows their
        // colours are the system palette's.
        {{"setpixel/pal8-without-palette"}, "SetPixel", [](const std::string&, const std::string&) { return true; }},
        {{"setpixel/pal8-without-palette"},
         "pixels row",
         [](const std::string& s, const std::string& w) { return sameRowLabel(s, w); }},
        // SetPixel on 16-bit surfaces: Wine's GDI, like Windows', keeps the
        // top bits of each channel and answers the colour with the bits
        // repeated; the software DirectDraw rounds to the nearest level.
        // Wine is right. The module uses SetPixel on 8-bit surfaces only.
        {{"setpixel/555"},
         "SetPixel",
         [](const std::string&, const std::string& w) { return wineGdiSetPixel16(w, 5); }},
        {{"setpixel/565"},
         "SetPixel",
         [](const std::string&, const std::string& w) { return wineGdiSetPixel16(w, 6); }},
        {{"setpixel/555", "setpixel/565"},
         "pixels row",
         [](const std::string& s, const std::string& w) { return sameRowLabel(s, w); }},
        // A surface without a memory placement: Wine puts it in system
        // memory, the software DirectDraw reports video memory (its pixels
        // are in system memory either way).
        {{"placement/any-memory"},
         "caps system memory",
         [](const std::string& s, const std::string& w) {
             return s == "caps system memory 0 video memory 1" && w == "caps system memory 1 video memory 0";
         }},
    };
    return list;
}

// Cases that differ as a whole. Headless Wine has no video memory: surfaces
// asked for in video memory fail with DDERR_NODIRECTDRAWHW, where the
// software DirectDraw acts as a machine with video memory. Both are right
// for what they are; a host that asks the module for video memory textures
// gets failures on a machine without.
bool knownWholeCase(const std::string& name, const std::vector<std::string>& software,
                    const std::vector<std::string>& wine)
{
    return name == "placement/video-memory" && !software.empty() && resultOf(software[0]) == "00000000" &&
           wine == std::vector<std::string>{callOf(software[0]) + " = 88760233"};
}

// ----- the reference -------------------------------------------------------------

const TraceFile* reference(std::string& problem)
{
    static TraceFile file;
    static std::string loadProblem;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        const char* path = std::getenv("ZIV_DDRAW_REFERENCE");
        if (path == nullptr || *path == '\0') {
            loadProblem = "ZIV_DDRAW_REFERENCE names no trace file of the software DirectDraw";
        } else {
            std::ifstream in(path, std::ios::binary);
            if (!in)
                loadProblem = std::string("cannot read ") + path + " (make test-windows writes it first)";
            else
                file = ZivDdrawTrace::readTraceFile(in);
        }
    }
    problem = loadProblem;
    return loadProblem.empty() ? &file : nullptr;
}

std::string testName(const std::string& caseName)
{
    std::string name;
    for (char c : caseName)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

std::vector<std::string> caseNames()
{
    std::vector<std::string> names;
    for (const ZivDdrawTrace::Case& which : ZivDdrawTrace::allCases())
        names.push_back(which.name);
    return names;
}

const ZivDdrawTrace::Case& caseNamed(const std::string& name)
{
    for (const ZivDdrawTrace::Case& which : ZivDdrawTrace::allCases())
        if (which.name == name)
            return which;
    throw std::logic_error("no case " + name);
}

class SoftwareAgainstWine : public ::testing::TestWithParam<std::string> {};

TEST_P(SoftwareAgainstWine, SameResultsAndPixels)
{
    const std::string& name = GetParam();
    std::string problem;
    const TraceFile* file = reference(problem);
    ASSERT_NE(file, nullptr) << problem;
    const auto found = file->find(name);
    ASSERT_NE(found, file->end()) << "the software DirectDraw's trace lacks this case: it is older than this test";
    const std::vector<std::string>& software = found->second;

    const ZivDdrawTrace::Trace ran = ZivDdrawTrace::runCase(caseNamed(name));
    const std::vector<std::string>& wine = ran.lines();
    if (knownWholeCase(name, software, wine))
        return;

    ASSERT_EQ(software.size(), wine.size()) << "the traces differ in length";
    for (size_t i = 0; i < software.size(); ++i) {
        if (software[i] == wine[i])
            continue;
        bool known = false;
        for (const KnownDifference& difference : knownDifferences()) {
            if (caseMatches(difference.cases, name) && startsWith(software[i], difference.linePrefix) &&
                difference.accepts(software[i], wine[i])) {
                known = true;
                break;
            }
        }
        EXPECT_TRUE(known) << "line " << i << "\n  software DirectDraw: " << software[i]
                           << "\n  Wine's DirectDraw:  " << wine[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SoftwareAgainstWine, ::testing::ValuesIn(caseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return testName(info.param); });

TEST(SoftwareTrace, HasExactlyTheCasesOfThisSequence)
{
    std::string problem;
    const TraceFile* file = reference(problem);
    ASSERT_NE(file, nullptr) << problem;
    std::set<std::string> expected;
    for (const std::string& name : caseNames())
        expected.insert(name);
    std::set<std::string> found;
    for (const auto& [name, lines] : *file)
        found.insert(name);
    EXPECT_EQ(found, expected) << "the trace comes from another version of the sequence";
}

} // namespace
