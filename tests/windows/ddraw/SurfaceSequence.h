// One sequence of DirectDraw surface operations, run on two DirectDraw
// implementations (the project's software DirectDraw on Linux, Wine's on
// Windows) so that their results can be compared line by line: lock
// descriptions and pitches of every format, colour fills, copies, stretches
// of many size pairs, colour keys through Blt and BltFast, key overrides,
// rectangles outside the surfaces, and 8-bit SetPixel with a palette.
//
// The file builds against either <ddraw.h>: the SDK's or the stand-in's.
#pragma once

#include <windows.h>

#include <ddraw.h>

#include <functional>
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace ZivDdrawTrace {

// What one case observed: one fact per line ("Blt = 0x00000000",
// "pitch 16", "row 0: 0001 0203 ..."), in the order observed.
class Trace {
public:
    void add(std::string line) { d_lines.push_back(std::move(line)); }
    void result(const std::string& call, HRESULT result);
    const std::vector<std::string>& lines() const { return d_lines; }

private:
    std::vector<std::string> d_lines;
};

struct Case {
    std::string name;
    std::function<void(IDirectDraw*, Trace&)> run;
};

// Every case, in a fixed order; names are unique.
const std::vector<Case>& allCases();

// Runs one case on a DirectDraw object made for it (DirectDrawCreate, normal
// cooperative level), released afterwards.
Trace runCase(const Case& which);

// A trace file: for every case a line "== name", then its lines.
using TraceFile = std::map<std::string, std::vector<std::string>>;
void writeTraceFile(std::ostream& out, const std::vector<std::pair<std::string, Trace>>& traces);
TraceFile readTraceFile(std::istream& in);

} // namespace ZivDdrawTrace
