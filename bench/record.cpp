// What recording the disk costs, per kind of file: seconds of video per
// second of real time (encoder threads included, so the wall clock is what
// counts), CPU seconds per second of video, and the size of a minute.
// Each run is a whole recording by the recorder's own code in a child
// process (the program's state is process-wide, the intro runs once per
// process): 20 seconds from second 30, the intro's heaviest fades and the
// player screen, the 900 frames before it rendered and counted too. The
// file goes to /dev/shm where there is one, so the disk's speed stays out.
//
// Run from anywhere: the disk folder of the build tree is compiled in.
#include "bench/summary.h"
#include "tools/capture/recorder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double from_seconds = 30;
constexpr double stretch_seconds = 20;

struct Run {
    double wall = 0, cpu = 0, bytes = 0;
};
// Every run of each benchmark, for the medians of the summary.
std::map<std::string, std::vector<Run>> runs;

std::string scratch_file(const char* extension) {
    const std::string folder = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    return folder + "/diskplayer-bench-record-" + std::to_string(getpid()) + extension;
}

// One recording in a child; false if it failed.
bool record_once(const char* extension, int scale, double seconds, Run& run) {
    const std::string out = scratch_file(extension);
    const auto began = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        RecordOptions options;
        options.disk = DISKPLAYER_DISK_DIR;
        options.out = out;
        options.from = from_seconds;
        options.seconds = seconds;
        options.scale = scale;
        options.progress = false;
        RecordResult result;
        std::string error;
        const bool ok = record_disk(options, result, error);
        if (!ok) std::fprintf(stderr, "record bench: %s\n", error.c_str());
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    run.cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::error_code ignored;
    run.bytes = double(std::filesystem::file_size(out, ignored));
    std::filesystem::remove(out, ignored);
    return true;
}

void record(benchmark::State& state, const char* key, const char* extension, int scale, double seconds) {
    for (auto _ : state) {
        Run run;
        if (!record_once(extension, scale, seconds, run)) return state.SkipWithError("the recording failed");
        state.SetIterationTime(run.wall);
        runs[key].push_back(run);
        state.counters["x_real_time"] = seconds / run.wall;
        state.counters["cpu_s_per_s"] = run.cpu / seconds;
        state.counters["MB_per_min"] = run.bytes / 1e6 * 60 / seconds;
    }
}

// Whole recordings are long: a few each, one iteration per repetition.
#define RECORDING(name, extension, scale, seconds, repetitions)                                       \
    BENCHMARK_CAPTURE(record, name, #name, extension, scale, seconds)                                 \
        ->UseManualTime()                                                                             \
        ->Iterations(1)                                                                               \
        ->Repetitions(repetitions)
RECORDING(mkv, ".mkv", 1, stretch_seconds, 3);
RECORDING(mp4, ".mp4", 1, stretch_seconds, 3);
RECORDING(webm, ".webm", 1, stretch_seconds, 3);
RECORDING(mkv_scale3, ".mkv", 3, stretch_seconds / 2, 1);
RECORDING(mp4_scale3, ".mp4", 3, stretch_seconds / 2, 1);

double median_of(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

void summarise(const std::string& name, const std::string& what, double seconds, double at_least) {
    std::vector<Run>* found = runs.count(name) ? &runs[name] : nullptr;
    if (!found || found->empty()) {
        print_summary("recording " + what + ", in real time", "not run",
                      at_least > 0 ? format(">= %.1fx", at_least) : "", "MISSED");
        return;
    }
    std::vector<double> speed, cpu, size;
    for (const Run& r : *found) {
        speed.push_back(seconds / r.wall);
        cpu.push_back(r.cpu / seconds);
        size.push_back(r.bytes / 1e6 * 60 / seconds);
    }
    const double x = median_of(speed);
    print_summary("recording " + what + ", in real time", format("%.2fx", x),
                  at_least > 0 ? format(">= %.1fx", at_least) : "-",
                  at_least <= 0 ? "-" : x >= at_least ? "ok" : "MISSED");
    print_summary("recording " + what + ", CPU seconds per second of video", format("%.2f", median_of(cpu)), "-",
                  "-");
    print_summary("recording " + what + ", MB per minute", format("%.1f", median_of(size)), "-", "-");
}

}  // namespace

int main(int argc, char** argv) {
    run_benchmarks(&argc, argv);
    summarise("mkv", ".mkv (FFV1 + FLAC, lossless)", stretch_seconds, 1.0);
    summarise("mp4", ".mp4 (H.264 + AAC)", stretch_seconds, 0);
    summarise("webm", ".webm (VP9 + Opus)", stretch_seconds, 0);
    summarise("mkv_scale3", ".mkv at --scale 3 (1920 x 1200)", stretch_seconds / 2, 0);
    summarise("mp4_scale3", ".mp4 at --scale 3 (1920 x 1200)", stretch_seconds / 2, 0);
    benchmark::Shutdown();
    return 0;
}
