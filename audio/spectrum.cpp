#include "audio/spectrum.h"

#include "audio/engine.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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

namespace {

// weight(i) = 16384 - (sine_table[256 + i] >> 1) for i < 512, mirrored above.
constexpr std::array<std::int16_t, 1024> make_hann_weights() {
    std::array<std::int16_t, 1024> weights{};
    for (int i = 0; i < 512; ++i)
        weights[i] = weights[1023 - i] = static_cast<std::int16_t>(16384 - (sine_values[256 + i] >> 1));
    return weights;
}

constexpr std::array<std::int16_t, 1024> hann_weights = make_hann_weights();

}  // namespace

void hann_window(std::int16_t* x) {
    // One pass in order over a full table: the compiler vectorises it.
    for (int i = 0; i < 1024; ++i)
        x[i] = fixed_mul(x[i], hann_weights[i]);
}

namespace {

// One butterfly of the stage with half-size l, twiddle (wr, wi): the
// reference arithmetic every path must reproduce bit for bit.
inline void butterfly(std::int16_t& top_re, std::int16_t& top_im, std::int16_t& bottom_re,
                      std::int16_t& bottom_im, std::int16_t wr, std::int16_t wi) {
    const std::int32_t tr = fixed_mul(wr, bottom_re) - fixed_mul(wi, bottom_im);
    const std::int32_t ti = fixed_mul(wr, bottom_im) + fixed_mul(wi, bottom_re);
    const std::int32_t qr = top_re >> 1;
    const std::int32_t qi = top_im >> 1;
    bottom_re = low16(qr - tr);
    bottom_im = low16(qi - ti);
    top_re = low16(qr + tr);
    top_im = low16(qi + ti);
}

// The stage of half-size l on a bit-reversed block. Its butterflies touch
// disjoint pairs, so they may run in any order: group by group, with q
// innermost, the loads are contiguous. The results are those of the
// q-outer order bit for bit.
void plain_stage(std::int16_t* re, std::int16_t* im, int n, int l) {
    const std::int16_t* wr = twiddles.real.data() + (l - 1);
    const std::int16_t* wi = twiddles.imag.data() + (l - 1);
    for (int group = 0; group < n; group += 2 * l)
        for (int q = 0; q < l; ++q)
            butterfly(re[group + q], im[group + q], re[group + l + q], im[group + l + q], wr[q], wi[q]);
}

int fixed_fft_plain(std::int16_t* re, std::int16_t* im, int m) {
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

    for (int l = 1; l < n; l *= 2)
        plain_stage(re, im, n, l);
    return 0;
}

#if defined(__x86_64__) || defined(__i386__)

// ---- the vector paths ----
//
// pmulhrsw computes ((a * b >> 14) + 1) >> 1 and keeps the low 16 bits. For
// r = a * b >> 14 that equals (r >> 1) + (r & 1) whatever r's parity, and
// fixed_mul keeps the low 16 bits too, so the two agree on every pair, even
// on -32768 * -32768, where both give -32768 (+1.0 wrapped). The additions
// and the halving shift wrap in 16-bit lanes exactly as the low16 stores do.
//
// Order of work: a radix-2 stage of a decimation-in-time transform pairs
// positions i and i + l of the bit-reversed block, that is positions u and
// u + n / (2 l) of the block before the reordering. So the early stages,
// whose pairs are far apart there, run before the reordering on whole
// vectors with one twiddle per run; the late stages run after it as usual,
// with the twiddles of consecutive q in one vector. Every butterfly still
// sees the same operands, so the bits do not change.

// rev10[i] is i with its 10 bits in reverse order; rev10[i] >> (10 - m)
// reverses m bits.
constexpr std::array<std::uint16_t, 1024> make_rev10() {
    std::array<std::uint16_t, 1024> table{};
    for (int i = 0; i < 1024; ++i) {
        int r = 0;
        for (int b = 0; b < 10; ++b)
            r |= ((i >> b) & 1) << (9 - b);
        table[i] = static_cast<std::uint16_t>(r);
    }
    return table;
}

constexpr std::array<std::uint16_t, 1024> rev10 = make_rev10();

// The rows of one 8 x 8 tile of int16, turned into its columns.
__attribute__((always_inline)) inline void transpose8(__m128i* r) {
    const __m128i t0 = _mm_unpacklo_epi16(r[0], r[1]), t1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i t2 = _mm_unpacklo_epi16(r[2], r[3]), t3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i t4 = _mm_unpacklo_epi16(r[4], r[5]), t5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i t6 = _mm_unpacklo_epi16(r[6], r[7]), t7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
    const __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
    const __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
    const __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
    r[0] = _mm_unpacklo_epi64(u0, u4), r[1] = _mm_unpackhi_epi64(u0, u4);
    r[2] = _mm_unpacklo_epi64(u1, u5), r[3] = _mm_unpackhi_epi64(u1, u5);
    r[4] = _mm_unpacklo_epi64(u2, u6), r[5] = _mm_unpackhi_epi64(u2, u6);
    r[6] = _mm_unpacklo_epi64(u3, u7), r[7] = _mm_unpackhi_epi64(u3, u7);
}

// 1024 points by 8 x 8 tiles, out of place. With i = 128 a + 8 b + c (a
// and c of 3 bits, b of 4), rev10(i) = 128 rev3(c) + 8 rev4(b) + rev3(a):
// the tile of rows from[128 r + 8 rev4(b) ...] taken in the order
// r = rev3(c), once transposed, holds in its column rev3(a) the 8 outputs
// at 128 a + 8 b.
// Inlined into each instruction set's own copy, below.
__attribute__((always_inline)) inline void bit_reverse_1024(const std::int16_t* from, std::int16_t* to) {
    constexpr int rev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int b = 0; b < 16; ++b) {
        const int b_rev = rev10[b] >> 6;
        __m128i tile[8];
        for (int c = 0; c < 8; ++c)
            tile[c] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 128 * rev3[c] + 8 * b_rev));
        transpose8(tile);
        for (int a = 0; a < 8; ++a)
            _mm_store_si128(reinterpret_cast<__m128i*>(to + 128 * a + 8 * b), tile[rev3[a]]);
    }
}

using Reorder = void (*)(const std::int16_t* from, std::int16_t* to);

// reorder_1024 is bit_reverse_1024 built for the caller's instruction set.
void bit_reverse(std::int16_t* re, std::int16_t* im, int m, Reorder reorder_1024) {
    alignas(16) std::int16_t scratch_re[1024];
    alignas(16) std::int16_t scratch_im[1024];
    const int n = 1 << m, shift = 10 - m;
    if (m == 10) {
        reorder_1024(re, scratch_re);
        reorder_1024(im, scratch_im);
    } else {
        // Smaller blocks, which the analyser never uses.
        for (int i = 0; i < n; ++i) {
            const int from = rev10[i] >> shift;
            scratch_re[i] = re[from];
            scratch_im[i] = im[from];
        }
    }
    std::memcpy(re, scratch_re, n * sizeof *re);
    std::memcpy(im, scratch_im, n * sizeof *im);
}

// Before the reordering, the stage of half-size l = 2^bits pairs u with
// u + n / (2 l), and each block of n / l positions shares the twiddle q
// whose bits are the block number's, reversed. natural_twiddles holds
// them in block order, from offset l - 1 like twiddles.
constexpr Twiddles make_natural_twiddles() {
    Twiddles natural;
    for (int l = 1, bits = 0; l < 1024; l *= 2, ++bits) {
        for (int block = 0; block < l; ++block) {
            const int q = bits == 0 ? 0 : rev10[block] >> (10 - bits);
            natural.real[l - 1 + block] = twiddles.real[l - 1 + q];
            natural.imag[l - 1 + block] = twiddles.imag[l - 1 + q];
        }
    }
    return natural;
}

constexpr Twiddles natural_twiddles = make_natural_twiddles();

// The vector stages of one instruction set. natural runs the stage of
// half-size l before the reordering, when n / (2 l) is a multiple of the
// lanes; reversed runs it after, when l is. The _pair forms run the stages
// l and 2 l in one pass, each vector loaded and stored once for both: they
// need n / (4 l) or l a multiple of the lanes. Only pointers and integers
// cross into them, so no vector value passes between code built for
// different instruction sets.
using Stage = void (*)(std::int16_t* re, std::int16_t* im, int n, int l);
struct VectorKernel {
    int lanes;
    Stage natural, natural_pair, reversed, reversed_pair;
    Reorder reorder_1024;
};

// The two vector widths: the few operations the stages need, each built
// for its instruction set (the pragmas around each). The stages are written once over them and
// instantiated inside functions built for the same set, where these calls
// inline (flatten); a stage instance is never a function of its own.
#pragma GCC push_options
#pragma GCC target("ssse3")
struct Lanes8 {
    using Vector = __m128i;
    static constexpr int lanes = 8;
    static Vector load(const std::int16_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    static void store(std::int16_t* p, Vector v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
    static Vector splat(std::int16_t w) { return _mm_set1_epi16(w); }
    static Vector add(Vector a, Vector b) { return _mm_add_epi16(a, b); }
    static Vector sub(Vector a, Vector b) { return _mm_sub_epi16(a, b); }
    static Vector halve(Vector a) { return _mm_srai_epi16(a, 1); }
    static Vector mul(Vector a, Vector b) { return _mm_mulhrs_epi16(a, b); }
};
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2")
struct Lanes16 {
    using Vector = __m256i;
    static constexpr int lanes = 16;
    static Vector load(const std::int16_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    static void store(std::int16_t* p, Vector v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    static Vector splat(std::int16_t w) { return _mm256_set1_epi16(w); }
    static Vector add(Vector a, Vector b) { return _mm256_add_epi16(a, b); }
    static Vector sub(Vector a, Vector b) { return _mm256_sub_epi16(a, b); }
    static Vector halve(Vector a) { return _mm256_srai_epi16(a, 1); }
    static Vector mul(Vector a, Vector b) { return _mm256_mulhrs_epi16(a, b); }
};
#pragma GCC pop_options

// The stage templates take and return vectors only between functions that
// are inlined into one built for the vectors' instruction set, so the
// compiler's note that such a call would pass 32-byte vectors differently
// without AVX concerns calls that never happen.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// One vector of complex values: real and imaginary lanes.
template <class V>
struct Complex {
    typename V::Vector re, im;
};

template <class V>
__attribute__((always_inline)) inline Complex<V> load(const std::int16_t* re, const std::int16_t* im) {
    return {V::load(re), V::load(im)};
}

template <class V>
__attribute__((always_inline)) inline void store(std::int16_t* re, std::int16_t* im, const Complex<V>& v) {
    V::store(re, v.re);
    V::store(im, v.im);
}

template <class V>
__attribute__((always_inline)) inline void butterflies(Complex<V>& top, Complex<V>& bottom,
                                                       const typename V::Vector& wr, const typename V::Vector& wi) {
    const auto tr = V::sub(V::mul(wr, bottom.re), V::mul(wi, bottom.im));
    const auto ti = V::add(V::mul(wr, bottom.im), V::mul(wi, bottom.re));
    const auto qr = V::halve(top.re), qi = V::halve(top.im);
    bottom = {V::sub(qr, tr), V::sub(qi, ti)};
    top = {V::add(qr, tr), V::add(qi, ti)};
}

template <class V>
__attribute__((always_inline)) inline void natural(std::int16_t* re, std::int16_t* im, int n, int l) {
    const int span = n / (2 * l);
    for (int block = 0; block < l; ++block) {
        const auto wr = V::splat(natural_twiddles.real[l - 1 + block]);
        const auto wi = V::splat(natural_twiddles.imag[l - 1 + block]);
        for (int k = 2 * span * block, end = k + span; k < end; k += V::lanes) {
            Complex<V> top = load<V>(re + k, im + k), bottom = load<V>(re + k + span, im + k + span);
            butterflies<V>(top, bottom, wr, wi);
            store<V>(re + k, im + k, top);
            store<V>(re + k + span, im + k + span, bottom);
        }
    }
}

// Quarters a, b, c, d of each block: stage l pairs a with c and b with d
// under the block's twiddle, stage 2 l pairs a with b and c with d under
// the twiddles of its two blocks.
template <class V>
__attribute__((always_inline)) inline void natural_pair(std::int16_t* re, std::int16_t* im, int n, int l) {
    const int span = n / (4 * l);
    for (int block = 0; block < l; ++block) {
        const auto wr = V::splat(natural_twiddles.real[l - 1 + block]);
        const auto wi = V::splat(natural_twiddles.imag[l - 1 + block]);
        const auto wr_ab = V::splat(natural_twiddles.real[2 * l - 1 + 2 * block]);
        const auto wi_ab = V::splat(natural_twiddles.imag[2 * l - 1 + 2 * block]);
        const auto wr_cd = V::splat(natural_twiddles.real[2 * l + 2 * block]);
        const auto wi_cd = V::splat(natural_twiddles.imag[2 * l + 2 * block]);
        for (int k = 4 * span * block, end = k + span; k < end; k += V::lanes) {
            Complex<V> a = load<V>(re + k, im + k), b = load<V>(re + k + span, im + k + span);
            Complex<V> c = load<V>(re + k + 2 * span, im + k + 2 * span);
            Complex<V> d = load<V>(re + k + 3 * span, im + k + 3 * span);
            butterflies<V>(a, c, wr, wi);
            butterflies<V>(b, d, wr, wi);
            butterflies<V>(a, b, wr_ab, wi_ab);
            butterflies<V>(c, d, wr_cd, wi_cd);
            store<V>(re + k, im + k, a);
            store<V>(re + k + span, im + k + span, b);
            store<V>(re + k + 2 * span, im + k + 2 * span, c);
            store<V>(re + k + 3 * span, im + k + 3 * span, d);
        }
    }
}

template <class V>
__attribute__((always_inline)) inline void reversed(std::int16_t* re, std::int16_t* im, int n, int l) {
    const std::int16_t* wr = twiddles.real.data() + (l - 1);
    const std::int16_t* wi = twiddles.imag.data() + (l - 1);
    for (int group = 0; group < n; group += 2 * l) {
        for (int q = 0; q < l; q += V::lanes) {
            const int k = group + q;
            Complex<V> top = load<V>(re + k, im + k), bottom = load<V>(re + k + l, im + k + l);
            const Complex<V> w = load<V>(wr + q, wi + q);
            butterflies<V>(top, bottom, w.re, w.im);
            store<V>(re + k, im + k, top);
            store<V>(re + k + l, im + k + l, bottom);
        }
    }
}

// Quarters a, b, c, d of each group of 4 l: stage l pairs a with b and c
// with d under twiddle q, stage 2 l pairs a with c under q and b with d
// under l + q.
template <class V>
__attribute__((always_inline)) inline void reversed_pair(std::int16_t* re, std::int16_t* im, int n, int l) {
    const std::int16_t* wr = twiddles.real.data() + (l - 1);
    const std::int16_t* wi = twiddles.imag.data() + (l - 1);
    const std::int16_t* wr2 = twiddles.real.data() + (2 * l - 1);
    const std::int16_t* wi2 = twiddles.imag.data() + (2 * l - 1);
    for (int group = 0; group < n; group += 4 * l) {
        for (int q = 0; q < l; q += V::lanes) {
            const int k = group + q;
            Complex<V> a = load<V>(re + k, im + k), b = load<V>(re + k + l, im + k + l);
            Complex<V> c = load<V>(re + k + 2 * l, im + k + 2 * l);
            Complex<V> d = load<V>(re + k + 3 * l, im + k + 3 * l);
            const Complex<V> w = load<V>(wr + q, wi + q);
            const Complex<V> w_ac = load<V>(wr2 + q, wi2 + q), w_bd = load<V>(wr2 + l + q, wi2 + l + q);
            butterflies<V>(a, b, w.re, w.im);
            butterflies<V>(c, d, w.re, w.im);
            butterflies<V>(a, c, w_ac.re, w_ac.im);
            butterflies<V>(b, d, w_bd.re, w_bd.im);
            store<V>(re + k, im + k, a);
            store<V>(re + k + l, im + k + l, b);
            store<V>(re + k + 2 * l, im + k + 2 * l, c);
            store<V>(re + k + 3 * l, im + k + 3 * l, d);
        }
    }
}

#pragma GCC diagnostic pop

// Each stage for each width, built for its instruction set.
__attribute__((target("ssse3"), flatten)) void natural_ssse3(std::int16_t* re, std::int16_t* im, int n, int l) {
    natural<Lanes8>(re, im, n, l);
}
__attribute__((target("ssse3"), flatten)) void natural_pair_ssse3(std::int16_t* re, std::int16_t* im, int n, int l) {
    natural_pair<Lanes8>(re, im, n, l);
}
__attribute__((target("ssse3"), flatten)) void reversed_ssse3(std::int16_t* re, std::int16_t* im, int n, int l) {
    reversed<Lanes8>(re, im, n, l);
}
__attribute__((target("ssse3"), flatten)) void reversed_pair_ssse3(std::int16_t* re, std::int16_t* im, int n,
                                                                   int l) {
    reversed_pair<Lanes8>(re, im, n, l);
}
__attribute__((target("avx2"), flatten)) void natural_avx2(std::int16_t* re, std::int16_t* im, int n, int l) {
    natural<Lanes16>(re, im, n, l);
}
__attribute__((target("avx2"), flatten)) void natural_pair_avx2(std::int16_t* re, std::int16_t* im, int n, int l) {
    natural_pair<Lanes16>(re, im, n, l);
}
__attribute__((target("avx2"), flatten)) void reversed_avx2(std::int16_t* re, std::int16_t* im, int n, int l) {
    reversed<Lanes16>(re, im, n, l);
}
__attribute__((target("avx2"), flatten)) void reversed_pair_avx2(std::int16_t* re, std::int16_t* im, int n, int l) {
    reversed_pair<Lanes16>(re, im, n, l);
}

__attribute__((target("ssse3"))) void reorder_ssse3(const std::int16_t* from, std::int16_t* to) {
    bit_reverse_1024(from, to);
}

// The same shuffles with three-operand encodings: no register copies.
__attribute__((target("avx2"))) void reorder_avx2(const std::int16_t* from, std::int16_t* to) {
    bit_reverse_1024(from, to);
}

constexpr VectorKernel ssse3_kernel{8, natural_ssse3, natural_pair_ssse3, reversed_ssse3, reversed_pair_ssse3,
                                    reorder_ssse3};
constexpr VectorKernel avx2_kernel{16, natural_avx2, natural_pair_avx2, reversed_avx2, reversed_pair_avx2,
                                   reorder_avx2};

// Stages too short for whole vectors, which only blocks below 512 points
// have, run one butterfly at a time.
int fixed_fft_vector(const VectorKernel& kernel, std::int16_t* re, std::int16_t* im, int m) {
    const int n = 1 << m;
    int l = 1;
    while (l < n && n / (2 * l) >= kernel.lanes) {
        if (n / (4 * l) >= kernel.lanes) {
            kernel.natural_pair(re, im, n, l);
            l *= 4;
        } else {
            kernel.natural(re, im, n, l);
            l *= 2;
        }
    }
    bit_reverse(re, im, m, kernel.reorder_1024);
    while (l < n) {
        if (l < kernel.lanes) {
            plain_stage(re, im, n, l);
            l *= 2;
        } else if (4 * l <= n) {
            kernel.reversed_pair(re, im, n, l);
            l *= 4;
        } else {
            kernel.reversed(re, im, n, l);
            l *= 2;
        }
    }
    return 0;
}

#endif

FftPath pick_fft_path() {
    if (const char* forced = std::getenv("DISKPLAYER_FFT")) {
        for (FftPath path : {FftPath::plain, FftPath::ssse3, FftPath::avx2})
            if (std::strcmp(forced, fft_path_name(path)) == 0 && fft_path_supported(path))
                return path;
    }
    for (FftPath path : {FftPath::avx2, FftPath::ssse3})
        if (fft_path_supported(path))
            return path;
    return FftPath::plain;
}

}  // namespace

const char* fft_path_name(FftPath path) {
    switch (path) {
    case FftPath::ssse3: return "ssse3";
    case FftPath::avx2: return "avx2";
    default: return "plain";
    }
}

bool fft_path_supported(FftPath path) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    switch (path) {
    case FftPath::ssse3: return __builtin_cpu_supports("ssse3");
    case FftPath::avx2: return __builtin_cpu_supports("avx2");
    default: return true;
    }
#else
    return path == FftPath::plain;
#endif
}

FftPath fft_path() {
    // Picked once from the processor running the program, never from the
    // machine that built it.
    static const FftPath path = pick_fft_path();
    return path;
}

int fixed_fft_on(FftPath path, std::int16_t* re, std::int16_t* im, int m) {
    if (m < 0 || m > 10)
        return -1;
    assert(fft_path_supported(path));
#if defined(__x86_64__) || defined(__i386__)
    if (path == FftPath::avx2)
        return fixed_fft_vector(avx2_kernel, re, im, m);
    if (path == FftPath::ssse3)
        return fixed_fft_vector(ssse3_kernel, re, im, m);
#endif
    return fixed_fft_plain(re, im, m);
}

int fixed_fft(std::int16_t* re, std::int16_t* im, int m) {
    return fixed_fft_on(fft_path(), re, im, m);
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
