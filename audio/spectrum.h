// The spectrum analyser: turns the played sound into one byte level per band
// for the spectrum display. The audio callback captures under audio_lock; the
// frame thread fetches once per frame of the player phase. A capture runs
// only after the display has taken the previous levels (the handshake), so at
// most one 1024-point transform runs per fetch. All transform arithmetic is
// 16-bit fixed point (Q15) with fixed rounding: the levels are exact.
#pragma once

#include <SDL.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The spectrum display holds this many bars; a fetch never writes past them.
constexpr std::size_t display_band_limit = 39;

// Sets band_count, clears the levels and the capture block and builds the
// tables; audio_init calls it before the device is opened.
void init_spectrum(unsigned int bands);
// Builds level_table and band_widths for band_count bands.
void build_spectrum_tables();
// Mixes the stream (interleaved int16 stereo, length in bytes) into the
// capture block and analyses every block it completes; the callback calls it
// with audio_lock held.
void capture_spectrum(const Uint8* stream, int length);
// Lets the display's bars (*levels, the address of its level pointer) jump up
// to the analysed levels or sink by 15 at most; takes audio_lock.
void fetch_spectrum(Uint8** levels);

// ---- the analysis steps and state, for tests and the benchmark ----

enum SpectrumState : int { Wanted = 1, Ready = 2 };

// 32767 sin(2 pi i / 1024) truncated, three quarters of a period; entry i + 256
// is the cosine of the angle of entry i.
extern const std::array<std::int16_t, 768> sine_table;

extern std::uint64_t band_count;
extern std::vector<Uint8> spectrum_levels;
extern int spectrum_state;
extern std::array<std::int16_t, 1024> mono_block;
extern std::uint64_t block_fill;
extern std::array<std::int16_t, 1024> imag_block;
extern std::array<Uint8, 256> level_table;
extern std::vector<std::uint32_t> band_widths;

// Q15 product rounded half up.
std::int16_t fixed_mul(std::int16_t a, std::int16_t b);
// Averages count stereo frames into destination, truncating toward zero.
void mix_to_mono(const std::int16_t* frames, std::size_t count, std::int16_t* destination);
// Weights 1024 samples with the Hann window from sine_table.
void hann_window(std::int16_t* x);
// In-place forward FFT of 2^m points, halving in every stage; -1 when 2^m is
// more than 1024 points.
int fixed_fft(std::int16_t* re, std::int16_t* im, int m);

// The ways fixed_fft can run, all giving the same bits: plain is the
// reference loop, ssse3 and avx2 do 8 or 16 butterflies per instruction.
enum class FftPath { plain, ssse3, avx2 };
// "plain", "ssse3" or "avx2".
const char* fft_path_name(FftPath path);
// True when the processor running the program can take path.
bool fft_path_supported(FftPath path);
// The path fixed_fft takes, chosen once: the one named by the environment
// variable DISKPLAYER_FFT if supported, else the widest supported.
FftPath fft_path();
// fixed_fft through path, which must be supported.
int fixed_fft_on(FftPath path, std::int16_t* re, std::int16_t* im, int m);
// Replaces the first 512 entries of mono_block by (re^2 + im^2) >> 8, low 16 bits.
void power_spectrum();
// Window, transform and power of mono_block.
void analyse_block();
// Sums the power values into the bands and maps the sums through level_table.
void bucket_bands();
