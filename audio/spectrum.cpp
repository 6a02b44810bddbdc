#include "audio/spectrum.h"

#include "audio/engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// sin(x) for 0 <= x <= pi/2 by its Taylor series in long double; the error is
// far below what the truncation to int16 could notice.
constexpr long double quarter_sine(long double x) {
    long double term = x, sum = x;
    for (int n = 1; n < 30; ++n) {
        term = -term * x * x / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr std::array<std::int16_t, 768> make_sine_table() {
    constexpr long double pi = 3.141592653589793238462643383279502884L;
    std::array<std::int16_t, 768> table{};
    for (int i = 0; i < 768; ++i) {
        // Fold onto the first quarter by index, so 0, pi/2 and pi come out
        // exact instead of a hair under an integer.
        const int k = i <= 256 ? i : i <= 512 ? 512 - i : i - 512;
        const int sign = i > 512 ? -1 : 1;
        const long double s = k == 256 ? 1.0L : quarter_sine(2 * pi * k / 1024);
        table[i] = static_cast<std::int16_t>(sign * static_cast<int>(32767 * s));
    }
    return table;
}

constexpr std::array<std::int16_t, 768> sine_values = make_sine_table();
static_assert(sine_values[0] == 0 && sine_values[1] == 201 && sine_values[7] == 1406);
static_assert(sine_values[256] == 32767 && sine_values[512] == 0 && sine_values[767] == -32766);

// The twiddle factors of every stage, laid out so that a stage's butterflies
// read them in order: the stage of half-size l keeps its l factors (angle
// index q << k, k = 9 - log2 l) from offset l - 1.
struct Twiddles {
    std::array<std::int16_t, 1023> real{};
    std::array<std::int16_t, 1023> imag{};
};

constexpr Twiddles make_twiddles() {
    Twiddles twiddles;
    for (int l = 1, k = 9; l < 1024; l *= 2, --k) {
        for (int q = 0; q < l; ++q) {
            const int j = q << k;
            twiddles.real[l - 1 + q] = static_cast<std::int16_t>(sine_values[j + 256] >> 1);
            // negated first, then halved, in 16 bits
            twiddles.imag[l - 1 + q] = static_cast<std::int16_t>(static_cast<std::int16_t>(-sine_values[j]) >> 1);
        }
    }
    return twiddles;
}

constexpr Twiddles twiddles = make_twiddles();

constexpr std::uint64_t power_values = 512;

inline std::int16_t low16(std::int32_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}

}  // namespace

const std::array<std::int16_t, 768> sine_table = sine_values;

std::uint64_t band_count = 0;
std::vector<Uint8> spectrum_levels;
int spectrum_state = Wanted;
std::array<std::int16_t, 1024> mono_block{};
std::uint64_t block_fill = 0;
std::array<std::int16_t, 1024> imag_block{};
std::array<Uint8, 256> level_table{};
std::vector<std::uint32_t> band_widths;

void init_spectrum(unsigned int bands) {
    band_count = bands;
    if (bands != 0) {
        spectrum_levels.assign(bands, 0);
        mono_block.fill(0);
    }
    build_spectrum_tables();
    block_fill = 0;
}

namespace {

void build_level_table() {
    const float k = static_cast<float>(255.0 / std::log(255.0));
    level_table[0] = 0;
    for (int i = 1; i < 256; ++i) {
        const float level = static_cast<float>(std::log(static_cast<double>(i)) * k);
        level_table[i] = static_cast<Uint8>(static_cast<int>(level));
    }
}

// Widths c^b truncated, for b = 0 .. count - 1; sums in 64 bits and saturates
// each width, so a large c cannot overflow the conversion.
std::uint64_t fill_widths(double c) {
    double r = 1.0;
    std::uint64_t sum = 0;
    for (std::uint32_t& width : band_widths) {
        width = r < 4294967295.0 ? static_cast<std::uint32_t>(r) : 4294967295u;
        sum += width;
        r *= c;
    }
    return sum;
}

// Searches the growth factor whose truncated powers add up to the 512 power
// values. Width 0 is always 1, so a single band could never reach 512 and
// gets all of them; no bands means no search; and the iterations are capped,
// so no band count can hang start-up.
void build_band_widths() {
    band_widths.assign(band_count, 0);
    if (band_count == 0)
        return;
    if (band_count == 1) {
        band_widths[0] = power_values;
        return;
    }
    double c = 1.0, d = 0.1;
    int refinements = 1;
    for (int iteration = 0; iteration < 100000; ++iteration) {
        const std::uint64_t sum = fill_widths(c);
        if (sum == power_values)
            return;
        if (sum > power_values) {
            c -= d;
            d /= 10;
            c += d;
            if (++refinements > 9)
                return;
        } else {
            c += d;
            if (refinements > 9)
                return;
        }
    }
}

}  // namespace

void build_spectrum_tables() {
    build_level_table();
    build_band_widths();
}

std::int16_t fixed_mul(std::int16_t a, std::int16_t b) {
    const std::int32_t p = std::int32_t(a) * std::int32_t(b);
    const std::int32_t r = p >> 14;
    return low16((r >> 1) + (r & 1));
}

void mix_to_mono(const std::int16_t* frames, std::size_t count, std::int16_t* destination) {
    for (std::size_t i = 0; i < count; ++i)
        destination[i] = static_cast<std::int16_t>((frames[2 * i] + frames[2 * i + 1]) / 2);
}

void hann_window(std::int16_t* x) {
    for (int i = 0; i < 512; ++i) {
        const std::int16_t weight = static_cast<std::int16_t>(16384 - (sine_table[256 + i] >> 1));
        x[i] = fixed_mul(x[i], weight);
        x[1023 - i] = fixed_mul(x[1023 - i], weight);
    }
}

int fixed_fft(std::int16_t* re, std::int16_t* im, int m) {
    if (m < 0 || m > 10)
        return -1;
    const int n = 1 << m;

    int mr = 0;
    for (int i = 1; i < n; ++i) {
        int l = n;
        do
            l >>= 1;
        while (mr + l > n - 1);
        mr = (mr & (l - 1)) + l;
        if (mr > i) {
            std::swap(re[i], re[mr]);
            std::swap(im[i], im[mr]);
        }
    }

    // The butterflies of one stage touch disjoint pairs, so they may run in
    // any order: group by group, with q innermost, the loads are contiguous
    // and the compiler vectorises the Q15 arithmetic. The results are those
    // of the q-outer order bit for bit.
    for (int l = 1; l < n; l *= 2) {
        const std::int16_t* wr = twiddles.real.data() + (l - 1);
        const std::int16_t* wi = twiddles.imag.data() + (l - 1);
        for (int group = 0; group < n; group += 2 * l) {
            std::int16_t* __restrict top_re = re + group;
            std::int16_t* __restrict top_im = im + group;
            std::int16_t* __restrict bottom_re = re + group + l;
            std::int16_t* __restrict bottom_im = im + group + l;
            for (int q = 0; q < l; ++q) {
                const std::int32_t tr = fixed_mul(wr[q], bottom_re[q]) - fixed_mul(wi[q], bottom_im[q]);
                const std::int32_t ti = fixed_mul(wr[q], bottom_im[q]) + fixed_mul(wi[q], bottom_re[q]);
                const std::int32_t qr = top_re[q] >> 1;
                const std::int32_t qi = top_im[q] >> 1;
                bottom_re[q] = low16(qr - tr);
                bottom_im[q] = low16(qi - ti);
                top_re[q] = low16(qr + tr);
                top_im[q] = low16(qi + ti);
            }
        }
    }
    return 0;
}

void power_spectrum() {
    // Unsigned: re = im = -32768 would overflow a signed sum. Bits 8 to 23
    // are the same either way.
    for (int i = 0; i < 512; ++i) {
        const std::int32_t re = mono_block[i], im = imag_block[i];
        const std::uint32_t power = std::uint32_t(re * re) + std::uint32_t(im * im);
        mono_block[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(power >> 8));
    }
}

void analyse_block() {
    imag_block.fill(0);
    hann_window(mono_block.data());
    fixed_fft(mono_block.data(), imag_block.data(), 10);
    power_spectrum();
}

void bucket_bands() {
    std::uint64_t start = 0;
    for (std::uint64_t b = 0; b < band_count; ++b) {
        const std::uint64_t width = band_widths[b];
        std::uint32_t v = 0;
        if (width > 0) {
            // Widths that overshoot 512 in total stop at the last power value.
            const std::uint64_t end = std::min(start + width, power_values);
            std::uint32_t sum = 0;
            for (std::uint64_t i = std::min(start, power_values); i < end; ++i)
                sum += static_cast<std::uint16_t>(mono_block[i]);
            start += width;
            v = sum < 256 ? sum : 255;
        }
        spectrum_levels[b] = level_table[v];
    }
}

void capture_spectrum(const Uint8* stream, int length) {
    if (spectrum_state == Ready || band_count == 0)
        return;
    const std::int16_t* samples = reinterpret_cast<const std::int16_t*>(stream);
    const std::uint64_t frames = length > 0 ? std::uint64_t(length) / 4 : 0;
    std::uint64_t pos = block_fill, taken = 0;
    while (pos + (frames - taken) >= 1024) {
        mix_to_mono(samples + 2 * taken, 1024 - pos, mono_block.data() + pos);
        analyse_block();
        bucket_bands();
        taken += 1024 - pos;
        pos = 0;
    }
    mix_to_mono(samples + 2 * taken, frames - taken, mono_block.data() + pos);
    block_fill = pos + (frames - taken);
    spectrum_state = Ready;
}

void fetch_spectrum(Uint8** levels) {
    dlib::auto_mutex lock(audio_lock);
    if (levels != nullptr && *levels != nullptr) {
        const std::uint64_t count = std::min<std::uint64_t>(band_count, display_band_limit);
        Uint8* bars = *levels;
        for (std::uint64_t b = 0; b < count; ++b) {
            const Uint8 fresh = spectrum_levels[b], old = bars[b];
            bars[b] = old > 14 ? std::max<Uint8>(fresh, old - 15) : fresh;
        }
    }
    spectrum_state = Wanted;
}
