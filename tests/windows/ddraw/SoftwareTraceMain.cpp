// The software DirectDraw's side of the differential test: runs every case of
// the surface sequence on libddraw and writes the trace file that the Windows
// test compares with Wine's DirectDraw. Also checks that no case wrote
// outside a surface.
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "SurfaceSequence.h"
#include "ddraw_test.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TRACE-FILE\n", argv[0]);
        return 2;
    }
    std::vector<std::pair<std::string, ZivDdrawTrace::Trace>> traces;
    int damaged = 0;
    for (const ZivDdrawTrace::Case& which : ZivDdrawTrace::allCases()) {
        traces.emplace_back(which.name, ZivDdrawTrace::runCase(which));
        if (!ddrawtest::guardsIntact() || ddrawtest::liveSurfaceCount() != 0) {
            std::fprintf(stderr, "%s: pixels written outside a surface, or surfaces left alive\n", which.name.c_str());
            ++damaged;
        }
    }
    std::ofstream out(argv[1], std::ios::binary);
    ZivDdrawTrace::writeTraceFile(out, traces);
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%zu cases written to %s\n", traces.size(), argv[1]);
    return damaged == 0 ? 0 : 1;
}
