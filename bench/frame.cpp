// What a whole frame of the real program costs the frame thread, against
// what presenting it costs: one SDL_BlitSurface of the whole canvas. The
// program is set up as it starts (SDL's dummy drivers, the disk's data and
// music), sound is pulled through the engine's callback at 1470 sample
// frames per frame as it would be played, and render_frame draws.
//
// 1. The timeline: every frame of the intro and the first five seconds of
//    the player screen, in several child processes (the intro runs once per
//    process); per frame the median thread CPU time of render_frame and of
//    the blit that would present it. --timeline=<file> writes it as text
//    for the plot in docs/.
// 2. Google Benchmark: a typical player frame (scroller, stars, spectrum,
//    the next button glowing under the pointer) and the blit of its canvas.
//
// Run from anywhere: the disk folder of the build tree is compiled in.
#include "app/frame_loop.h"
#include "app/player_screen.h"
#include "app/program.h"
#include "audio/engine.h"
#include "bench/summary.h"
#include "widgets/skinned_button.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int samples_per_frame = 44100 / 30;
constexpr Uint32 timeline_frames = last_intro_frame + 1 + 150;
// The canvas fades in over the star burst in the first frames; the largest
// picture (640 x 222) fades in over the last three seconds of the intro.
constexpr Uint32 fade_in_last = 59;
constexpr Uint32 last_picture_first = 1020;
constexpr Uint32 player_first = last_intro_frame + 1;

std::int64_t thread_cpu_ns() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::vector<Sint16> sound(samples_per_frame * 2);

// The program's start-up without the frame thread and the event loop; the
// audio device's thread is kept out, the caller feeds the callback.
bool set_up() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (chdir(DISKPLAYER_DISK_DIR) != 0) {
        std::fprintf(stderr, "frame bench: no disk folder %s\n", DISKPLAYER_DISK_DIR);
        return false;
    }
    SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO);
    if (!init_screen(false))
        return false;
    set_decoder_thread(false);
    start_player();
    SDL_LockAudio();
    return true;
}

void feed_sound() {
    while (audio_service()) {
    }
    if (is_playing())
        audio_callback(nullptr, reinterpret_cast<Uint8*>(sound.data()),
                       static_cast<int>(sound.size() * sizeof(Sint16)));
}

// What present_frame blends: the canvas over the window surface.
void present_blit() {
    SDL_UpperBlit(canvas.surface, nullptr, screen.surface, nullptr);
}

struct FrameCost {
    std::int64_t render_ns, blit_ns;
};

// One run of the timeline in a child process; the costs come back through
// the pipe, all zero if the program could not start.
[[noreturn]] void timeline_child(int out) {
    std::vector<FrameCost> costs(timeline_frames, FrameCost{0, 0});
    const bool started = set_up();
    if (started) {
        for (Uint32 frame = 0; frame < timeline_frames; ++frame) {
            feed_sound();
            frame_counter.store(frame);
            const std::int64_t t0 = thread_cpu_ns();
            render_frame();
            const std::int64_t t1 = thread_cpu_ns();
            present_blit();
            const std::int64_t t2 = thread_cpu_ns();
            costs[frame] = {t1 - t0, t2 - t1};
        }
    }
    const char* data = reinterpret_cast<const char*>(costs.data());
    std::size_t left = costs.size() * sizeof(FrameCost);
    while (left > 0) {
        const ssize_t written = write(out, data, left);
        if (written <= 0)
            break;
        data += written;
        left -= std::size_t(written);
    }
    _exit(started ? 0 : 1);
}

std::vector<FrameCost> run_timeline_once() {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_ends[0]);
        timeline_child(pipe_ends[1]);
    }
    close(pipe_ends[1]);
    std::vector<FrameCost> costs(timeline_frames);
    char* data = reinterpret_cast<char*>(costs.data());
    std::size_t got = 0, want = costs.size() * sizeof(FrameCost);
    while (got < want) {
        const ssize_t n = read(pipe_ends[0], data + got, want - got);
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got < want || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return costs;
}

std::int64_t median(std::vector<std::int64_t> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Per frame, the median over the runs.
std::vector<FrameCost> run_timeline(int runs) {
    std::vector<std::vector<FrameCost>> all;
    for (int r = 0; r < runs; ++r) {
        std::vector<FrameCost> costs = run_timeline_once();
        if (!costs.empty())
            all.push_back(std::move(costs));
    }
    if (all.empty())
        return {};
    std::vector<FrameCost> medians(timeline_frames);
    for (Uint32 f = 0; f < timeline_frames; ++f) {
        std::vector<std::int64_t> render, blit;
        for (const auto& run : all) {
            render.push_back(run[f].render_ns);
            blit.push_back(run[f].blit_ns);
        }
        medians[f] = {median(render), median(blit)};
    }
    return medians;
}

// The heaviest frame of [first, last], in medians of the player screen's
// blit of the same runs.
void report_heaviest(const std::vector<FrameCost>& costs, std::int64_t reference_ns, Uint32 first, Uint32 last,
                     const std::string& what, double at_most) {
    Uint32 heaviest = first;
    for (Uint32 f = first; f <= last; ++f)
        if (costs[f].render_ns > costs[heaviest].render_ns)
            heaviest = f;
    const double cost = double(costs[heaviest].render_ns) / double(reference_ns);
    print_summary(what + " (frame " + std::to_string(heaviest) + "), in SDL full-canvas blits",
                  format("%.2f", cost), format("<= %.0f", at_most), cost <= at_most ? "ok" : "MISSED");
}

void write_timeline(const std::vector<FrameCost>& costs, const char* path) {
    FILE* out = std::fopen(path, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "frame bench: cannot write %s\n", path);
        return;
    }
    std::fprintf(out, "# frame  render_frame_us  sdl_blit_of_canvas_us  (median thread CPU time)\n");
    for (Uint32 f = 0; f < costs.size(); ++f)
        std::fprintf(out, "%u %.1f %.1f\n", f, costs[f].render_ns / 1000.0, costs[f].blit_ns / 1000.0);
    std::fclose(out);
}

// ---- Google Benchmark, in this process, once the intro is over ----

bool started = false;

void reach_player_screen() {
    if (started)
        return;
    started = set_up();
    if (!started)
        return;
    for (Uint32 frame = 0; frame < player_first + 60; ++frame) {
        feed_sound();
        frame_counter.store(frame);
        render_frame();
    }
    next_button->set_flag(Widget::hover, true);
}

// Runs the benchmark loop over player frames: each iteration moves the
// frame on (sound fed, counter advanced), runs untimed() and times timed().
template <typename Untimed, typename Timed>
void time_player_frames(benchmark::State& state, Untimed untimed, Timed timed) {
    reach_player_screen();
    if (!started)
        return state.SkipWithError("the program did not start (no disk folder?)");
    Uint32 frame = frame_counter.load();
    for (auto _ : state) {
        state.PauseTiming();
        feed_sound();
        frame_counter.store(++frame);
        untimed();
        state.ResumeTiming();
        timed();
    }
}

void render_player_frame(benchmark::State& state) {
    time_player_frames(state, [] {}, render_frame);
}
BENCHMARK(render_player_frame)->Unit(benchmark::kMicrosecond);

// The live program renders once every 33 ms beside the decoder and the X
// server, which push the canvas out of the core's cache in between: the same
// frames, rendered and presented after the cache was filled with other data.
std::vector<char> cache_filler(4 << 20);

void evict_caches() {
    for (std::size_t i = 0; i < cache_filler.size(); i += 64)
        cache_filler[i] = static_cast<char>(cache_filler[i] + 1);
    benchmark::ClobberMemory();
}

void render_player_frame_cold(benchmark::State& state) {
    // The previous frame is presented first, as the main thread would.
    time_player_frames(state, [] { present_frame(); evict_caches(); }, render_frame);
}
BENCHMARK(render_player_frame_cold)->Unit(benchmark::kMicrosecond);

void present_player_frame_cold(benchmark::State& state) {
    time_player_frames(state, [] { render_frame(); evict_caches(); }, present_frame);
}
BENCHMARK(present_player_frame_cold)->Unit(benchmark::kMicrosecond);

void sdl_blit_player_canvas(benchmark::State& state) {
    reach_player_screen();
    if (!started)
        return state.SkipWithError("the program did not start (no disk folder?)");
    for (auto _ : state)
        present_blit();
}
BENCHMARK(sdl_blit_player_canvas)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::string timeline_path;
    int runs = 5;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--timeline=", 11) == 0) {
            // The program runs in the disk folder: anchor the name here first.
            timeline_path = argv[i] + 11;
            char here[4096];
            if (timeline_path[0] != '/' && getcwd(here, sizeof here) != nullptr)
                timeline_path = std::string(here) + "/" + timeline_path;
        }
        else if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::max(1, std::atoi(argv[i] + 7));
        else
            rest.push_back(argv[i]);
    }
    // Before this process touches SDL: each child starts the program afresh.
    const std::vector<FrameCost> timeline = run_timeline(runs);

    int rest_count = static_cast<int>(rest.size());
    rest.push_back(nullptr);
    const MedianReporter& times = run_benchmarks(&rest_count, rest.data());
    print_cost(times, "render_frame, typical player frame, in SDL full-canvas blits", "render_player_frame",
               "sdl_blit_player_canvas", 1.0);

    if (timeline.empty()) {
        print_summary("render_frame over the intro", "not run", "", "MISSED");
    } else {
        std::vector<std::int64_t> player_blits;
        for (Uint32 f = player_first; f < timeline_frames; ++f)
            player_blits.push_back(timeline[f].blit_ns);
        const std::int64_t reference = median(player_blits);
        std::printf("timeline: %d runs; SDL blit of the player canvas %.1f us (median)\n", runs,
                    reference / 1000.0);
        report_heaviest(timeline, reference, 0, fade_in_last, "render_frame, heaviest fade-in frame", 3);
        report_heaviest(timeline, reference, last_picture_first, last_intro_frame,
                        "render_frame, heaviest frame of the last picture fading", 3);
        report_heaviest(timeline, reference, 0, last_intro_frame, "render_frame, heaviest intro frame", 3);
        if (!timeline_path.empty())
            write_timeline(timeline, timeline_path.c_str());
    }
    benchmark::Shutdown();
    if (started) {
        SDL_UnlockAudio();
        shutdown_program();
    }
    return 0;
}
