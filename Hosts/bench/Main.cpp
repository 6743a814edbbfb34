// ziv-bench's entry point: Google Benchmark's own flags, with defaults that
// give medians of repeated short runs, plus --json FILE, which writes every
// median and every summary (ratios, goals) for tools. The console table shows
// counters as plain numbers (Mpix/s 2916, not 2.916k/s), in colour only on a
// terminal unless --benchmark_color says otherwise.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include <unistd.h>

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

// Whether the console table is coloured: --benchmark_color=true|false|auto
// (the last one given), auto meaning when standard output is a terminal.
bool colourWanted(const std::vector<char*>& args)
{
    std::string setting = "auto";
    for (const char* arg : args)
        if (std::strncmp(arg, "--benchmark_color=", 18) == 0)
            setting = arg + 18;
    if (setting == "true" || setting == "yes" || setting == "1")
        return true;
    if (setting == "false" || setting == "no" || setting == "0")
        return false;
    return isatty(fileno(stdout)) != 0;
}

// A counter value for people: whole numbers from 100 up, three significant
// digits below.
std::string plainNumber(double value)
{
    std::ostringstream out;
    if (std::fabs(value) >= 100)
        out << std::fixed << std::setprecision(0) << value;
    else
        out << std::setprecision(3) << value;
    return out.str();
}

// Keeps the runs that the summaries need: the medians when repeated, the
// single run otherwise. Prints each run as one line of plain numbers.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    explicit CollectingReporter(bool colour) : ConsoleReporter(colour ? OO_ColorTabular : OO_Tabular), d_colour(colour)
    {
    }

    std::vector<Result> results;

    // The library's context, with its debug-build warning explained: the
    // warning is about the system's Google Benchmark library (built with
    // assertions), whose timing loop it concerns; ziv and the benchmarks are
    // built as this build says.
    bool ReportContext(const Context& context) override
    {
        std::ostringstream captured;
        std::ostream& out = GetOutputStream();
        std::ostream& err = GetErrorStream();
        SetOutputStream(&captured);
        SetErrorStream(&captured);
        const bool ok = ConsoleReporter::ReportContext(context);
        SetOutputStream(&out);
        SetErrorStream(&err);
        std::istringstream lines(captured.str());
        for (std::string line; std::getline(lines, line);) {
            if (line.find("Library was built as DEBUG") != std::string::npos)
                line = "Note: the system's Google Benchmark library was built as DEBUG (with assertions); that touches "
                       "only its timing loop.\n      ziv and these benchmarks are built " ZIV_BENCH_BUILD_TYPE ".";
            out << line << "\n";
        }
        return ok;
    }

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

protected:
    void PrintHeader(const Run& run) override
    {
        std::ostream& out = GetOutputStream();
        std::ostringstream header;
        header << std::left << std::setw(static_cast<int>(name_field_width_)) << "Benchmark" << std::right
               << std::setw(14) << "Time" << std::setw(14) << "CPU" << std::setw(12) << "Iterations";
        for (const auto& [name, counter] : run.counters)
            header << std::setw(std::max<int>(12, static_cast<int>(name.size()) + 2)) << name;
        const std::string text = header.str();
        out << std::string(text.size(), '-') << "\n" << text << "\n" << std::string(text.size(), '-') << "\n";
    }

    void PrintRunData(const Run& run) override
    {
        std::ostream& out = GetOutputStream();
        const char* green = d_colour ? "\033[32m" : "";
        const char* yellow = d_colour ? "\033[33m" : "";
        const char* reset = d_colour ? "\033[m" : "";
        out << green << std::left << std::setw(static_cast<int>(name_field_width_)) << run.benchmark_name() << reset
            << std::right;
        if (run.error_occurred) {
            out << " ERROR: " << run.error_message << "\n";
            return;
        }
        const bool percent = run.run_type == Run::RT_Aggregate && run.aggregate_unit == benchmark::kPercentage;
        const char* unit = benchmark::GetTimeUnitString(run.time_unit);
        auto time = [&](double t) {
            std::ostringstream cell;
            if (percent)
                cell << std::fixed << std::setprecision(2) << 100.0 * t << " %";
            else
                cell << plainNumber(t) << " " << unit;
            return cell.str();
        };
        // A coefficient of variation is a fraction, not a time.
        const double real = percent ? run.real_accumulated_time : run.GetAdjustedRealTime();
        const double cpu = percent ? run.cpu_accumulated_time : run.GetAdjustedCPUTime();
        out << yellow << std::setw(14) << time(real) << std::setw(14) << time(cpu) << reset << std::setw(12)
            << run.iterations;
        for (const auto& [name, counter] : run.counters) {
            const int width = std::max<int>(12, static_cast<int>(name.size()) + 2);
            if (percent)
                out << std::setw(width) << plainNumber(100.0 * counter.value) + " %";
            else
                out << std::setw(width) << plainNumber(counter.value);
        }
        if (!run.report_label.empty())
            out << " " << run.report_label;
        out << "\n";
    }

private:
    bool d_colour;
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

    CollectingReporter reporter(colourWanted(args));
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
