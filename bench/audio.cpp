// What the audio thread spends per 1024-frame buffer (23.2 ms of sound):
// decoding, the gain ramp, the spectrum capture with its one transform, and
// the whole callback; and the Q15 fixed_fft against FFTW's float FFT of the
// same 1024 points. The summary prints medians, the share of a buffer and the
// fixed/float ratios. DISKPLAYER_FFT=plain|ssse3 forces a narrower path of
// fixed_fft.
#include "audio/engine.h"
#include "audio/playlist.h"
#include "audio/spectrum.h"
#include "audio/vorbis.h"
#include "bench/summary.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int buffer_frames = 1024;
constexpr int buffer_bytes = 4 * buffer_frames;
constexpr double buffer_ms = 1000.0 * buffer_frames / 44100;

// A 60-second stereo track: a chord with a slow sweep, so the decoder works
// on something like music. Encoded once with oggenc from a WAV we write.
std::string make_track() {
    if (const char* given = std::getenv("DISKPLAYER_BENCH_TRACK"))
        return given;
    const std::string wav = "/tmp/diskplayer_bench_audio.wav";
    const std::string ogg = "/tmp/diskplayer_bench_audio.ogg";
    const int rate = 44100, frames = rate * 60;
    FILE* out = std::fopen(wav.c_str(), "wb");
    if (out == nullptr)
        return "";
    auto put32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, out); };
    auto put16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, out); };
    std::fwrite("RIFF", 1, 4, out);
    put32(36 + frames * 4);
    std::fwrite("WAVEfmt ", 1, 8, out);
    put32(16), put16(1), put16(2), put32(rate), put32(rate * 4), put16(4), put16(16);
    std::fwrite("data", 1, 4, out);
    put32(frames * 4);
    std::vector<std::int16_t> block(2 * 4096);
    for (int start = 0; start < frames; start += 4096) {
        for (int i = 0; i < 4096; ++i) {
            const double t = double(start + i) / rate;
            const double sweep = 200 + 3000 * (0.5 + 0.5 * std::sin(0.3 * t));
            const double left = 0.3 * std::sin(2 * M_PI * 220 * t) + 0.2 * std::sin(2 * M_PI * sweep * t);
            const double right = 0.3 * std::sin(2 * M_PI * 330 * t) + 0.2 * std::sin(2 * M_PI * 1.5 * sweep * t);
            block[2 * i] = std::int16_t(left * 32767);
            block[2 * i + 1] = std::int16_t(right * 32767);
        }
        std::fwrite(block.data(), 2, block.size(), out);
    }
    std::fclose(out);
    const std::string command = "oggenc -Q -q 5 -o " + ogg + " " + wav;
    return std::system(command.c_str()) == 0 ? ogg : "";
}

const std::string& track_path() {
    static const std::string path = make_track();
    return path;
}

// Loads the track as the engine's current track, device closed: the
// benchmark calls the callback itself, and runs the decoder between buffers
// untimed (the callback only hands out what it decoded).
bool load_engine() {
    if (track_path().empty())
        return false;
    init_spectrum(39);
    playlist = {track_path()};
    set_decoder_thread(false);
    rewind_engine();
    dlib::auto_mutex lock(audio_lock);
    return track_loaded();
}

// Rewinds before the end, so no iteration times a track change, and lets
// the decoder keep ahead.
void keep_away_from_the_end(benchmark::State& state) {
    state.PauseTiming();
    bool near_end = false;
    {
        dlib::auto_mutex lock(audio_lock);
        near_end = play_position() > 55;
    }
    if (near_end)
        rewind_engine();
    while (audio_service()) {
    }
    state.ResumeTiming();
}

std::vector<std::int16_t> test_signal() {
    std::vector<std::int16_t> x(2 * buffer_frames);
    for (int i = 0; i < buffer_frames; ++i)
        x[2 * i] = x[2 * i + 1] =
            std::int16_t(8000 * std::sin(0.37 * i) + 5000 * std::sin(0.051 * i) + (i * 37) % 200);
    return x;
}

void callback_whole(benchmark::State& state) {
    if (!load_engine())
        return state.SkipWithError("no track (is oggenc installed?)");
    std::vector<Uint8> stream(buffer_bytes);
    for (auto _ : state) {
        keep_away_from_the_end(state);
        {
            dlib::auto_mutex lock(audio_lock);
            gain = 0.5f;  // a ramp in progress: the gain loop runs over every frame
            fade_step = 0;
            spectrum_state = Wanted;  // the display has fetched: one transform
        }
        audio_callback(nullptr, stream.data(), buffer_bytes);
        benchmark::DoNotOptimize(stream.data());
    }
}
BENCHMARK(callback_whole)->Unit(benchmark::kMicrosecond);

// The decoder's share of a buffer, decoded ahead as the decoder does.
void callback_decode(benchmark::State& state) {
    Vorbis track;
    if (track_path().empty() || !track.open(track_path()))
        return state.SkipWithError("no track (is oggenc installed?)");
    std::vector<Sint16> stream(2 * buffer_frames);
    for (auto _ : state) {
        if (track.tell() > 55) {
            state.PauseTiming();
            track.seek(0);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(track.read(stream.data(), buffer_bytes));
    }
}
BENCHMARK(callback_decode)->Unit(benchmark::kMicrosecond);

void callback_fade(benchmark::State& state) {
    std::vector<std::int16_t> stream = test_signal();
    for (auto _ : state) {
        gain = 0.9f;
        fade_step = -FADE_INCREMENT;
        apply_fade(reinterpret_cast<Uint8*>(stream.data()), buffer_bytes);
        benchmark::DoNotOptimize(stream.data());
    }
}
BENCHMARK(callback_fade)->Unit(benchmark::kMicrosecond);

void callback_capture(benchmark::State& state) {
    init_spectrum(39);
    const std::vector<std::int16_t> stream = test_signal();
    for (auto _ : state) {
        spectrum_state = Wanted;
        capture_spectrum(reinterpret_cast<const Uint8*>(stream.data()), buffer_bytes);
        benchmark::DoNotOptimize(spectrum_levels.data());
    }
}
BENCHMARK(callback_capture)->Unit(benchmark::kMicrosecond);

void fft_fixed_1024(benchmark::State& state) {
    const std::vector<std::int16_t> signal = test_signal();
    std::vector<std::int16_t> re(1024), im(1024);
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i)
            re[i] = signal[2 * i], im[i] = 0;
        fixed_fft(re.data(), im.data(), 10);
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
    }
}
BENCHMARK(fft_fixed_1024)->Unit(benchmark::kMicrosecond);

// The same transform in float: a complex 1024-point FFT, including the copy
// of the input in, as fixed_fft pays for its reordering.
void fft_fftwf_complex_1024(benchmark::State& state) {
    const std::vector<std::int16_t> signal = test_signal();
    fftwf_complex* data = fftwf_alloc_complex(1024);
    fftwf_plan plan = fftwf_plan_dft_1d(1024, data, data, FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i)
            data[i][0] = signal[2 * i], data[i][1] = 0;
        fftwf_execute(plan);
        benchmark::DoNotOptimize(data);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}
BENCHMARK(fft_fftwf_complex_1024)->Unit(benchmark::kMicrosecond);

// What a float analyser would really use for a real signal.
void fft_fftwf_real_1024(benchmark::State& state) {
    const std::vector<std::int16_t> signal = test_signal();
    float* in = fftwf_alloc_real(1024);
    fftwf_complex* out = fftwf_alloc_complex(513);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(1024, in, out, FFTW_MEASURE);
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i)
            in[i] = signal[2 * i];
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
}
BENCHMARK(fft_fftwf_real_1024)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    const MedianReporter& times = run_benchmarks(&argc, argv);
    std::printf("\nper 1024-frame buffer (%.1f ms of sound), median CPU time:\n", buffer_ms);
    for (const char* name : {"callback_whole", "callback_decode", "callback_fade", "callback_capture"})
        if (times.has(name))
            std::printf("  %-18s %8.2f us  %6.3f %% of a buffer\n", name, times.ns(name) / 1000,
                        100 * times.ns(name) / (1e6 * buffer_ms));
    std::printf("fixed_fft takes the %s path\n", fft_path_name(fft_path()));
    print_speed(times, "fixed_fft 1024 vs FFTW complex float 1024", "fft_fixed_1024", "fft_fftwf_complex_1024", 1.0);
    print_speed(times, "fixed_fft 1024 vs FFTW real float 1024", "fft_fixed_1024", "fft_fftwf_real_1024", 1.0);
    print_cost(times, "one capture_spectrum block, in FFTW complex 1024s", "callback_capture",
               "fft_fftwf_complex_1024", 0);
    benchmark::Shutdown();
    return 0;
}
