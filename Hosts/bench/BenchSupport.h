// Shared by the ziv-bench files: the results of a run as the summaries see
// them, and the registry of summaries printed (and written to --json) after
// the benchmarks have run.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zivbench {

// One benchmark's median over the repetitions (or its only run).
struct Result {
    std::string name;                       // as registered, without repetition suffixes
    double realTimeNs = 0;                  // per iteration
    std::map<std::string, double> counters; // rates already per second
};

// Looks a result up by name; null when it was not run (filtered out).
const Result* findResult(const std::vector<Result>& results, const std::string& name);

// A summary prints what it derives from the results and returns the same as
// JSON, stored under its name in the --json file.
using SummaryFn = nlohmann::json (*)(const std::vector<Result>& results, std::ostream& out);

// Registers a summary; call from a static initialiser. Returns true.
bool registerSummary(const char* name, SummaryFn summary);

// Megapixels per second of a benchmark that counts pixels with pixelCounter().
constexpr const char* kPixelRate = "Mpix/s";

} // namespace zivbench
