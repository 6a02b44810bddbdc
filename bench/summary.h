// What every benchmark program reports besides Google Benchmark's own
// table: the median CPU time of each benchmark, and ratios of two of them
// measured in the same run, each with its target. scripts/run-bench
// collects the "summary" lines of all programs into one table. Absolute
// times on shared machines vary by 40 % between runs; ratios of one run do
// not, and CPU time is steadier than real time when others use the cores.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Keeps the median CPU time per iteration, in nanoseconds, of every
// benchmark (or its only run when there are no repetitions).
class MedianReporter : public benchmark::ConsoleReporter {
public:
    // No colour: its closing code would run into the first summary line.
    MedianReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (median || (run.run_type == Run::RT_Iteration && !medians_.count(name)))
                medians_[name] = run.GetAdjustedCPUTime() * scale_to_ns(run.time_unit);
        }
    }
    bool has(const std::string& name) const { return medians_.count(name) != 0; }
    // Median CPU nanoseconds per iteration; 0 if the benchmark did not run.
    double ns(const std::string& name) const {
        auto it = medians_.find(name);
        return it == medians_.end() ? 0.0 : it->second;
    }

private:
    static double scale_to_ns(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kSecond: return 1e9;
        case benchmark::kMillisecond: return 1e6;
        case benchmark::kMicrosecond: return 1e3;
        default: return 1.0;
        }
    }
    std::map<std::string, double> medians_;
};

// One line of the summary table: "summary<TAB>measure<TAB>value<TAB>target
// <TAB>verdict". verdict is "ok", "MISSED" or "-" (no target).
inline void print_summary(const std::string& measure, const std::string& value, const std::string& target,
                          const char* verdict) {
    std::printf("summary\t%s\t%s\t%s\t%s\n", measure.c_str(), value.c_str(), target.c_str(), verdict);
    std::fflush(stdout);
}

inline std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// "ours is k times as fast as theirs": speed = their time / our time,
// checked against at_least (0 for no target).
inline void print_speed(const MedianReporter& times, const std::string& measure, const std::string& ours,
                        const std::string& theirs, double at_least) {
    if (!times.has(ours) || !times.has(theirs) || times.ns(ours) <= 0) {
        print_summary(measure, "not run", at_least > 0 ? format(">= %.1fx", at_least) : "", "MISSED");
        return;
    }
    const double speed = times.ns(theirs) / times.ns(ours);
    print_summary(measure, format("%.2fx", speed), at_least > 0 ? format(">= %.1fx", at_least) : "-",
                  at_least <= 0 ? "-" : speed >= at_least ? "ok" : "MISSED");
}

// "ours costs k of theirs": cost = our time / their time, checked against
// at_most (0 for no target).
inline void print_cost(const MedianReporter& times, const std::string& measure, const std::string& ours,
                       const std::string& theirs, double at_most) {
    if (!times.has(ours) || !times.has(theirs) || times.ns(theirs) <= 0) {
        print_summary(measure, "not run", at_most > 0 ? format("<= %.2f", at_most) : "", "MISSED");
        return;
    }
    const double cost = times.ns(ours) / times.ns(theirs);
    print_summary(measure, format("%.2f", cost), at_most > 0 ? format("<= %.2f", at_most) : "-",
                  at_most <= 0 ? "-" : cost <= at_most ? "ok" : "MISSED");
}

// Runs the registered benchmarks, each five times unless the command line
// says otherwise, so that medians exist.
inline MedianReporter& run_benchmarks(int* argc, char** argv) {
    static MedianReporter reporter;
    std::vector<char*> args(argv, argv + *argc);
    static std::string repetitions = "--benchmark_repetitions=5";
    static std::string only_aggregates = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, &only_aggregates[0]);
    args.insert(args.begin() + 1, &repetitions[0]);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter;
}
