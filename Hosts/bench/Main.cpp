// ziv-bench's entry point: Google Benchmark's own flags, with defaults that
// give medians of repeated short runs, plus --json FILE, which writes every
// median and every summary (ratios, goals) for tools.

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "BenchSupport.h"
#include "pixel/BlendKernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zivbench {

namespace {

struct Summaries {
    std::vector<std::pair<std::string, SummaryFn>> list;
    static Summaries& get()
    {
        static Summaries s;
        return s;
    }
};

// Keeps the runs that the summaries need: the medians when repeated, the
// single run otherwise.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    std::vector<Result> results;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (run.error_occurred || !(median || single))
                continue;
            Result r;
            r.name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                r.name += "/" + run.run_name.args;
            r.realTimeNs = run.GetAdjustedRealTime(); // ns: the benchmarks keep the default unit
            for (const auto& [key, counter] : run.counters)
                r.counters[key] = counter.value;
            results.push_back(r);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string cpuModel()
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned regs[12] = {};
    if (__get_cpuid(0x80000000u, &regs[0], &regs[1], &regs[2], &regs[3]) && regs[0] >= 0x80000004u) {
        char brand[49] = {};
        for (unsigned i = 0; i < 3; ++i) {
            unsigned a = 0, b = 0, c = 0, d = 0;
            __get_cpuid(0x80000002u + i, &a, &b, &c, &d);
            const unsigned part[4] = {a, b, c, d};
            std::memcpy(brand + 16 * i, part, 16);
        }
        std::string s(brand);
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s.substr(s.find_first_not_of(' ') == std::string::npos ? 0 : s.find_first_not_of(' '));
    }
#endif
    return "unknown";
}

} // namespace

const Result* findResult(const std::vector<Result>& results, const std::string& name)
{
    for (const Result& r : results)
        if (r.name == name)
            return &r;
    return nullptr;
}

bool registerSummary(const char* name, SummaryFn summary)
{
    Summaries::get().list.emplace_back(name, summary);
    return true;
}

} // namespace zivbench

int main(int argc, char** argv)
{
    using namespace zivbench;
    // Our own option first; everything else goes to Google Benchmark, after
    // the defaults so that the command line overrides them.
    std::string jsonPath;
    std::vector<char*> args = {argv[0]};
    std::string defaults[] = {"--benchmark_repetitions=5", "--benchmark_min_time=0.05",
                              "--benchmark_report_aggregates_only=true"};
    for (std::string& d : defaults)
        args.push_back(d.data());
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0 && i + 1 < argc) {
            jsonPath = argv[++i];
        } else if (std::strncmp(argv[i], "--json=", 7) == 0) {
            jsonPath = argv[i] + 7;
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;

    const std::string cpu = cpuModel();
    std::cout << "CPU: " << cpu << "\nziv kernels in use: " << ZorvUISystem::activeKernelLevelName() << "\n";

    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    nlohmann::json json;
    json["cpu"] = cpu;
    json["active_kernel_level"] = ZorvUISystem::activeKernelLevelName();
    json["results"] = nlohmann::json::array();
    for (const Result& r : reporter.results)
        json["results"].push_back({{"name", r.name}, {"real_time_ns", r.realTimeNs}, {"counters", r.counters}});
    for (const auto& [name, summary] : Summaries::get().list) {
        std::cout << "\n";
        json["summaries"][name] = summary(reporter.results, std::cout);
    }
    benchmark::Shutdown();

    if (!jsonPath.empty()) {
        const std::filesystem::path path(jsonPath);
        if (path.has_parent_path())
            std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path);
        out << json.dump(2) << "\n";
        if (!out) {
            std::cerr << "ziv-bench: cannot write " << jsonPath << "\n";
            return 1;
        }
        std::cout << "\nresults written to " << jsonPath << "\n";
    }
    return 0;
}
