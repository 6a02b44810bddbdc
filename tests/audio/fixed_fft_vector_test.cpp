// The vector paths of fixed_fft against the plain reference loop, bit for
// bit, on the inputs that break fixed-point shortcuts: full-range noise,
// full-scale square waves whose sums wrap, -32768 everywhere, every size.
#include "audio/spectrum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

constexpr FftPath vector_paths[] = {FftPath::ssse3, FftPath::avx2};

struct Block {
    std::vector<std::int16_t> re, im;
};

// 1024 entries however small the transform, so a path that writes past 2^m
// points shows up in the comparison of the whole arrays.
Block make_block(const std::function<std::int16_t(int)>& re, const std::function<std::int16_t(int)>& im) {
    Block block{std::vector<std::int16_t>(1024), std::vector<std::int16_t>(1024)};
    for (int i = 0; i < 1024; ++i) {
        block.re[i] = re(i);
        block.im[i] = im(i);
    }
    return block;
}

std::uint32_t seed = 12345;
std::int16_t random16() {
    seed = seed * 1664525u + 1013904223u;
    return std::int16_t(seed >> 16);
}

struct Case {
    const char* name;
    Block block;
};

std::vector<Case> hostile_inputs() {
    auto zero = [](int) { return std::int16_t(0); };
    auto square = [](int period) {
        return [period](int i) { return std::int16_t(i / period % 2 ? -32768 : 32767); };
    };
    std::vector<Case> cases;
    cases.push_back({"noise in both parts", make_block([](int) { return random16(); },
                                                       [](int) { return random16(); })});
    cases.push_back({"noise, real only", make_block([](int) { return random16(); }, zero)});
    cases.push_back({"-32768 everywhere", make_block([](int) { return std::int16_t(-32768); },
                                                     [](int) { return std::int16_t(-32768); })});
    cases.push_back({"32767 everywhere", make_block([](int) { return std::int16_t(32767); },
                                                    [](int) { return std::int16_t(32767); })});
    cases.push_back({"-32768 real, 32767 imaginary",
                     make_block([](int) { return std::int16_t(-32768); },
                                [](int) { return std::int16_t(32767); })});
    for (int period : {1, 2, 8, 37, 512})
        cases.push_back({"full-scale square", make_block(square(period), zero)});
    cases.push_back({"squares in quadrature", make_block(square(16), square(32))});
    // The quarters of the block at (a, a) turned by 0, 90, 180 and 270
    // degrees: after two stages tops and bottoms of the 45-degree butterflies
    // both hold about (a, a), and the real sums pass 32767 and wrap.
    auto turned = [](bool imaginary) {
        return [imaginary](int i) {
            const int turn = i >> 8 & 3;
            const bool negative = imaginary ? turn >= 2 : turn == 1 || turn == 2;
            return std::int16_t(negative ? -32767 : 32767);
        };
    };
    cases.push_back({"sums that wrap", make_block(turned(false), turned(true))});
    cases.push_back({"extremes in both parts",
                     make_block([](int) { return std::int16_t(random16() < 0 ? -32768 : 32767); },
                                [](int) { return std::int16_t(random16() < 0 ? -32768 : 32767); })});
    cases.push_back({"impulse", make_block([](int i) { return std::int16_t(i == 0 ? -32768 : 0); }, zero)});
    cases.push_back({"extremes at random",
                     make_block([](int) { return std::int16_t(random16() < 0 ? -32768 : 32767); },
                                [](int) { return std::int16_t(random16() & 1 ? -32768 : 0); })});
    return cases;
}

void expect_same_bits(FftPath path, const Block& input, int m, const std::string& what) {
    Block plain = input, fast = input;
    ASSERT_EQ(fixed_fft_on(FftPath::plain, plain.re.data(), plain.im.data(), m), 0);
    ASSERT_EQ(fixed_fft_on(path, fast.re.data(), fast.im.data(), m), 0);
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(fast.re[i], plain.re[i]) << fft_path_name(path) << ", " << what << ", m = " << m << ", re[" << i << "]";
        ASSERT_EQ(fast.im[i], plain.im[i]) << fft_path_name(path) << ", " << what << ", m = " << m << ", im[" << i << "]";
    }
}

class FixedFftPath : public testing::TestWithParam<FftPath> {
protected:
    void SetUp() override {
        if (!fft_path_supported(GetParam()))
            GTEST_SKIP() << fft_path_name(GetParam()) << " is not supported by this processor";
    }
};

}  // namespace

TEST_P(FixedFftPath, gives_the_bits_of_the_plain_loop_on_hostile_inputs_at_every_size) {
    for (const Case& c : hostile_inputs())
        for (int m = 0; m <= 10; ++m)
            expect_same_bits(GetParam(), c.block, m, c.name);
}

TEST_P(FixedFftPath, gives_the_bits_of_the_plain_loop_on_many_random_blocks) {
    for (int trial = 0; trial < 200; ++trial) {
        // Amplitudes from near silence to full range.
        const int shift = trial % 16;
        const Block block = make_block([&](int) { return std::int16_t(random16() >> shift); },
                                       [&](int) { return std::int16_t(trial % 2 ? random16() >> shift : 0); });
        expect_same_bits(GetParam(), block, 10, "random block " + std::to_string(trial));
    }
}

TEST_P(FixedFftPath, works_on_blocks_at_any_alignment) {
    // The capture block is only 2-byte aligned as far as the language goes.
    std::vector<std::int16_t> re(1024 + 16), im(1024 + 16);
    for (int offset = 1; offset < 16; offset += 3) {
        for (int i = 0; i < 1024 + 16; ++i)
            re[i] = random16(), im[i] = random16();
        std::vector<std::int16_t> plain_re = re, plain_im = im;
        ASSERT_EQ(fixed_fft_on(GetParam(), re.data() + offset, im.data() + offset, 10), 0);
        ASSERT_EQ(fixed_fft_on(FftPath::plain, plain_re.data() + offset, plain_im.data() + offset, 10), 0);
        ASSERT_EQ(re, plain_re) << "offset " << offset;
        ASSERT_EQ(im, plain_im) << "offset " << offset;
    }
}

TEST_P(FixedFftPath, refuses_more_than_1024_points_without_touching_the_block) {
    std::vector<std::int16_t> re(2048, 7), im(2048, -3);
    EXPECT_EQ(fixed_fft_on(GetParam(), re.data(), im.data(), 11), -1);
    EXPECT_EQ(fixed_fft_on(GetParam(), re.data(), im.data(), -1), -1);
    EXPECT_EQ(re, std::vector<std::int16_t>(2048, 7));
    EXPECT_EQ(im, std::vector<std::int16_t>(2048, -3));
}

INSTANTIATE_TEST_SUITE_P(every_path, FixedFftPath,
                         testing::Values(FftPath::plain, FftPath::ssse3, FftPath::avx2),
                         [](const testing::TestParamInfo<FftPath>& info) { return fft_path_name(info.param); });

TEST(fixed_fft_dispatch, takes_the_widest_path_the_processor_runs_unless_told_otherwise) {
    ASSERT_TRUE(fft_path_supported(FftPath::plain));
    EXPECT_TRUE(fft_path_supported(fft_path()));
    if (std::getenv("DISKPLAYER_FFT") != nullptr)
        return;  // a forced path is the one the run asked for
    FftPath widest = FftPath::plain;
    for (FftPath path : vector_paths)
        if (fft_path_supported(path))
            widest = path;
    EXPECT_EQ(fft_path(), widest);
}

TEST(fixed_fft_dispatch, the_analysis_gives_the_same_levels_as_the_plain_transform) {
    // The default path inside the whole analysis against windowing and the
    // plain transform done by hand.
    init_spectrum(39);
    for (int i = 0; i < 1024; ++i)
        mono_block[i] = std::int16_t(i / 3 % 2 ? -32768 : 32767);
    std::vector<std::int16_t> re(mono_block.begin(), mono_block.end()), im(1024, 0);
    hann_window(re.data());
    fixed_fft_on(FftPath::plain, re.data(), im.data(), 10);
    analyse_block();
    for (int k = 0; k < 512; ++k) {
        const std::uint32_t power = std::uint32_t(re[k] * re[k]) + std::uint32_t(im[k] * im[k]);
        ASSERT_EQ(std::uint16_t(mono_block[k]), std::uint16_t(power >> 8)) << k;
    }
}

#if defined(__x86_64__) || defined(__i386__)

namespace {

__attribute__((target("ssse3"))) std::int16_t pmulhrsw(std::int16_t a, std::int16_t b) {
    return std::int16_t(_mm_extract_epi16(_mm_mulhrs_epi16(_mm_set1_epi16(a), _mm_set1_epi16(b)), 0));
}

}  // namespace

// The vector paths rest on pmulhrsw rounding exactly like fixed_mul,
// including -32768 * -32768, where both wrap +1.0 to -32768.
TEST(fixed_fft_dispatch, pmulhrsw_is_fixed_mul_on_every_multiplicand) {
    if (!fft_path_supported(FftPath::ssse3))
        GTEST_SKIP() << "no SSSE3";
    EXPECT_EQ(pmulhrsw(-32768, -32768), fixed_mul(-32768, -32768));
    std::vector<std::int16_t> factors = {-32768, -32767, -16384, -1, 0, 1, 2, 3, 16383, 16384, 32767};
    for (int i = 0; i < 64; ++i)
        factors.push_back(random16());
    for (std::int16_t b : factors)
        for (int a = -32768; a <= 32767; ++a)
            ASSERT_EQ(pmulhrsw(std::int16_t(a), b), fixed_mul(std::int16_t(a), b)) << a << " * " << b;
}

#endif
