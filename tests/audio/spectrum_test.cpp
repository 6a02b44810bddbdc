#include "audio/engine.h"
#include "audio/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numeric>

namespace {

// Interleaved stereo frames of a tone; both channels equal, so the mono mix
// is the tone itself.
std::vector<Sint16> tone(int frames, double bin, double amplitude) {
    std::vector<Sint16> samples(2 * frames);
    for (int i = 0; i < frames; ++i) {
        const Sint16 v = Sint16(std::lround(amplitude * std::sin(2 * M_PI * bin * i / 1024)));
        samples[2 * i] = samples[2 * i + 1] = v;
    }
    return samples;
}

void capture(const std::vector<Sint16>& samples) {
    dlib::auto_mutex lock(audio_lock);
    capture_spectrum(reinterpret_cast<const Uint8*>(samples.data()), int(samples.size() * 2));
}

std::vector<Uint8> fetch_into(std::vector<Uint8> bars) {
    Uint8* data = bars.data();
    fetch_spectrum(&data);
    return bars;
}

}  // namespace

TEST(spectrum_tables, sine_table_holds_the_truncated_sine) {
    EXPECT_EQ(sine_table[0], 0);
    EXPECT_EQ(sine_table[1], 201);
    EXPECT_EQ(sine_table[7], 1406);
    EXPECT_EQ(sine_table[256], 32767);
    EXPECT_EQ(sine_table[512], 0);
    EXPECT_EQ(sine_table[767], -32766);
    for (int i = 0; i < 768; ++i)
        ASSERT_EQ(sine_table[i], int(32767 * std::sin(2 * M_PI * i / 1024))) << i;
}

TEST(spectrum_tables, level_table_is_the_truncated_logarithm) {
    audio_init(39);
    const int first[] = {0, 0, 31, 50, 63, 74, 82, 89, 95, 101, 105};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(level_table[i], first[i]) << i;
    EXPECT_EQ(level_table[254], 254);
    EXPECT_EQ(level_table[255], 255);
    EXPECT_TRUE(std::is_sorted(level_table.begin(), level_table.end()));
}

TEST(spectrum_tables, thirty_nine_bands_grow_geometrically_over_512_values) {
    audio_init(39);
    const std::vector<std::uint32_t> expected = {
        1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 4, 4, 5, 5, 6, 7,
        8, 9, 10, 11, 12, 13, 15, 16, 18, 20, 23, 25, 28, 31, 35, 39, 43, 48, 53};
    EXPECT_EQ(band_widths, expected);
    EXPECT_EQ(std::accumulate(band_widths.begin(), band_widths.end(), 0u), 512u);
    EXPECT_EQ(spectrum_levels.size(), 39u);
}

TEST(spectrum_tables, band_counts_without_a_clean_search_still_return) {
    audio_init(0);
    EXPECT_TRUE(band_widths.empty());
    audio_init(1);
    EXPECT_EQ(band_widths, std::vector<std::uint32_t>{512});
    audio_init(2);
    EXPECT_EQ(band_widths.size(), 2u);
    audio_init(2000);
    EXPECT_EQ(band_widths.size(), 2000u);
}

TEST(spectrum_tables, more_bands_than_power_values_never_read_past_the_block) {
    audio_init(2000);
    mono_block.fill(1);
    {
        dlib::auto_mutex lock(audio_lock);
        bucket_bands();
    }
    // The first 512 values are read, nothing beyond.
    std::uint64_t start = 0;
    for (std::size_t b = 0; b < 2000; ++b) {
        const std::uint64_t used = start >= 512 ? 0 : std::min<std::uint64_t>(band_widths[b], 512 - start);
        EXPECT_EQ(spectrum_levels[b], level_table[std::min<std::uint64_t>(used, 255)]) << b;
        start += band_widths[b];
    }
}

TEST(fixed_point, fixed_mul_rounds_half_up_in_q15) {
    EXPECT_EQ(fixed_mul(16384, 16384), 8192);    // 0.5 * 0.5
    EXPECT_EQ(fixed_mul(1, 16384), 1);           // 0.5 LSB rounds up
    EXPECT_EQ(fixed_mul(-1, 16384), 0);          // -0.5 LSB rounds up to 0
    EXPECT_EQ(fixed_mul(3, 16384), 2);           // 1.5 LSB rounds up
    EXPECT_EQ(fixed_mul(-3, 16384), -1);         // -1.5 LSB rounds up
    EXPECT_EQ(fixed_mul(32767, 32767), 32766);
    EXPECT_EQ(fixed_mul(-32768, 32767), -32767);
    EXPECT_EQ(fixed_mul(-32768, -32768), -32768);  // +1.0 wraps to the low 16 bits
}

TEST(fixed_point, hann_window_runs_from_1_at_the_ends_to_32767_in_the_middle) {
    std::vector<std::int16_t> x(1024, 32767);
    hann_window(x.data());
    EXPECT_EQ(x[0], 1);
    EXPECT_EQ(x[1023], 1);
    EXPECT_EQ(x[511], 32766);
    EXPECT_EQ(x[512], 32766);
    EXPECT_EQ(x[256], 16384);  // weight 16384 - (0 >> 1)
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(x[i], x[1023 - i]) << i;
    for (int i = 1; i < 512; ++i)
        ASSERT_GE(x[i], x[i - 1]) << i;
}

TEST(fixed_point, fixed_fft_follows_the_scaled_dft) {
    // A deterministic mix of tones and a ramp, well inside 16 bits.
    std::vector<std::int16_t> re(1024), im(1024, 0);
    for (int i = 0; i < 1024; ++i)
        re[i] = std::int16_t(6000 * std::sin(2 * M_PI * 5 * i / 1024) +
                             3000 * std::cos(2 * M_PI * 77 * i / 1024) + (i % 64) * 20 - 640);
    std::vector<std::complex<double>> expected(1024);
    for (int k = 0; k < 1024; ++k) {
        std::complex<double> sum = 0;
        for (int n = 0; n < 1024; ++n)
            sum += double(re[n]) * std::polar(1.0, -2 * M_PI * k * n / 1024);
        expected[k] = sum / 1024.0;
    }
    ASSERT_EQ(fixed_fft(re.data(), im.data(), 10), 0);
    for (int k = 0; k < 1024; ++k) {
        ASSERT_NEAR(re[k], expected[k].real(), 6) << k;
        ASSERT_NEAR(im[k], expected[k].imag(), 6) << k;
    }
    EXPECT_NEAR(im[5], -3000, 6);
    EXPECT_NEAR(re[77], 1500, 6);
}

// The transform as a plain loop: twiddle by twiddle, butterflies strided
// through the block. The fast grouping must give the same bits.
static void plain_fft(std::int16_t* re, std::int16_t* im, int m) {
    auto low16 = [](std::int32_t v) { return std::int16_t(std::uint16_t(v)); };
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
    for (int l = 1, k = 9; l < n; l *= 2, --k) {
        for (int q = 0; q < l; ++q) {
            const int j = q << k;
            const std::int16_t wr = std::int16_t(sine_table[j + 256] >> 1);
            const std::int16_t wi = std::int16_t(std::int16_t(-sine_table[j]) >> 1);
            for (int i = q; i < n; i += 2 * l) {
                const int t = i + l;
                const std::int32_t tr = fixed_mul(wr, re[t]) - fixed_mul(wi, im[t]);
                const std::int32_t ti = fixed_mul(wr, im[t]) + fixed_mul(wi, re[t]);
                const std::int32_t qr = re[i] >> 1, qi = im[i] >> 1;
                re[t] = low16(qr - tr);
                im[t] = low16(qi - ti);
                re[i] = low16(qr + tr);
                im[i] = low16(qi + ti);
            }
        }
    }
}

TEST(fixed_point, fixed_fft_gives_the_bits_of_the_plain_loop_for_every_size) {
    std::uint32_t seed = 99;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u, std::int16_t(seed >> 16); };
    for (int trial = 0; trial < 66; ++trial) {
        const int m = trial % 11;
        std::vector<std::int16_t> re(1024), im(1024);
        for (int i = 0; i < 1024; ++i) {
            switch (trial / 11 % 3) {
            case 0: re[i] = next(); im[i] = next(); break;                    // full range
            case 1: re[i] = next() < 0 ? -32768 : 32767; im[i] = 0; break;    // wrapping stores
            default: re[i] = std::int16_t(next() % 300); im[i] = 0; break;    // quiet audio
            }
        }
        std::vector<std::int16_t> plain_re = re, plain_im = im;
        ASSERT_EQ(fixed_fft(re.data(), im.data(), m), 0);
        plain_fft(plain_re.data(), plain_im.data(), m);
        ASSERT_EQ(re, plain_re) << "m = " << m << ", trial " << trial;
        ASSERT_EQ(im, plain_im) << "m = " << m << ", trial " << trial;
    }
}

TEST(fixed_point, fixed_fft_refuses_more_than_1024_points) {
    std::vector<std::int16_t> re(2048, 7), im(2048, 0);
    EXPECT_EQ(fixed_fft(re.data(), im.data(), 11), -1);
    EXPECT_EQ(re, std::vector<std::int16_t>(2048, 7));
}

TEST(fixed_point, power_spectrum_keeps_the_low_16_bits_without_overflow) {
    mono_block.fill(0);
    imag_block.fill(0);
    mono_block[0] = -32768;
    imag_block[0] = -32768;  // 2^31 would overflow a signed sum
    mono_block[1] = 5000;    // 25e6 >> 8 = 97656, beyond 16 bits
    mono_block[2] = 100;
    imag_block[2] = -60;     // 13600 >> 8 = 53
    power_spectrum();
    EXPECT_EQ(std::uint16_t(mono_block[0]), 0u);
    EXPECT_EQ(std::uint16_t(mono_block[1]), 97656u - 65536u);
    EXPECT_EQ(std::uint16_t(mono_block[2]), 53u);
}

TEST(spectrum_levels, bucket_sums_map_through_the_level_table) {
    audio_init(39);
    mono_block.fill(0);
    mono_block[0] = 1;                        // band 0: sum 1 gives 0
    mono_block[1] = 2;                        // band 1: sum 2 gives 31
    mono_block[7] = 1, mono_block[8] = 2;     // band 7: sum 3 gives 50
    mono_block[9] = 200, mono_block[10] = 56; // band 8: 256 clips to 255
    mono_block[459] = std::int16_t(40000);    // band 38: read unsigned, 40000 clips
    mono_block[11] = 255;                     // band 9: 255 is still in range
    {
        dlib::auto_mutex lock(audio_lock);
        bucket_bands();
    }
    EXPECT_EQ(spectrum_levels[0], 0);
    EXPECT_EQ(spectrum_levels[1], 31);
    EXPECT_EQ(spectrum_levels[7], 50);
    EXPECT_EQ(spectrum_levels[8], 255);
    EXPECT_EQ(spectrum_levels[9], 255);
    EXPECT_EQ(spectrum_levels[38], 255);
    EXPECT_EQ(spectrum_levels[2], 0);
}

TEST(spectrum_levels, silence_gives_all_levels_zero) {
    audio_init(39);
    spectrum_levels.assign(39, 99);
    capture(std::vector<Sint16>(2048, 0));
    EXPECT_EQ(spectrum_levels, std::vector<Uint8>(39, 0));
}

TEST(spectrum_levels, a_pure_tone_lands_in_its_band) {
    audio_init(39);
    // Power value 100 is about 4307 Hz and belongs to band 24 (93 to 104).
    capture(tone(1024, 100, 8000));
    const auto loudest = std::max_element(spectrum_levels.begin(), spectrum_levels.end());
    EXPECT_EQ(loudest - spectrum_levels.begin(), 24);
    EXPECT_EQ(*loudest, 255);
    for (int b = 0; b < 20; ++b)
        EXPECT_EQ(spectrum_levels[b], 0) << b;
    EXPECT_EQ(spectrum_levels[38], 0);
}

TEST(spectrum_levels, a_low_tone_lands_in_a_narrow_band) {
    audio_init(39);
    // Quiet enough that neither it nor its window leakage into the
    // neighbouring values clips at 255.
    capture(tone(1024, 3, 800));
    const auto loudest = std::max_element(spectrum_levels.begin(), spectrum_levels.end());
    EXPECT_EQ(loudest - spectrum_levels.begin(), 3);
    EXPECT_GT(spectrum_levels[3], spectrum_levels[2]);
    EXPECT_GT(spectrum_levels[3], spectrum_levels[4]);
    EXPECT_EQ(spectrum_levels[10], 0);
}

TEST(spectrum_levels, mono_mix_truncates_toward_zero) {
    const std::int16_t frames[] = {3, 0, -3, 0, 32767, 32767, -32768, -32767, 1, -2};
    std::int16_t mono[5];
    mix_to_mono(frames, 5, mono);
    const std::int16_t expected[] = {1, -1, 32767, -32767, 0};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(mono[i], expected[i]) << i;
}

TEST(spectrum_fetch, bars_jump_up_and_sink_by_15_at_most) {
    audio_init(39);
    spectrum_levels.assign(39, 0);
    spectrum_levels[2] = 120;
    spectrum_levels[3] = 50;
    std::vector<Uint8> bars(39, 0);
    bars[0] = 100;  // 100, new 0: 85
    bars[1] = 14;   // 14, new 0: 0
    bars[2] = 100;  // 100, new 120: 120
    bars[3] = 60;   // 60, new 50: 50 (45 is below the new level)
    bars[4] = 15;   // 15, new 0: 0
    bars = fetch_into(bars);
    EXPECT_EQ(bars[0], 85);
    EXPECT_EQ(bars[1], 0);
    EXPECT_EQ(bars[2], 120);
    EXPECT_EQ(bars[3], 50);
    EXPECT_EQ(bars[4], 0);
    bars = fetch_into(bars);
    EXPECT_EQ(bars[0], 70);
}

TEST(spectrum_fetch, writes_no_more_than_the_display_holds) {
    audio_init(60);
    spectrum_levels.assign(60, 200);
    std::vector<Uint8> bars(64, 7);
    bars = fetch_into(bars);
    for (std::size_t b = 0; b < display_band_limit; ++b)
        EXPECT_EQ(bars[b], 200) << b;
    for (std::size_t b = display_band_limit; b < bars.size(); ++b)
        EXPECT_EQ(bars[b], 7) << b;
}

TEST(spectrum_fetch, the_handshake_allows_one_capture_per_fetch) {
    audio_init(39);
    capture(tone(1024, 100, 8000));
    EXPECT_EQ(spectrum_state, Ready);
    const std::vector<Uint8> first = spectrum_levels;
    // A second capture before any fetch neither analyses nor buffers.
    capture(tone(1024, 10, 8000));
    EXPECT_EQ(spectrum_levels, first);
    EXPECT_EQ(block_fill, 0u);
    fetch_into(std::vector<Uint8>(39, 0));
    EXPECT_EQ(spectrum_state, Wanted);
    capture(tone(1024, 10, 8000));
    EXPECT_NE(spectrum_levels, first);
}

TEST(spectrum_fetch, two_half_buffers_make_one_block) {
    audio_init(39);
    const std::vector<Sint16> whole = tone(1024, 100, 8000);
    const std::vector<Sint16> first(whole.begin(), whole.begin() + 1024);
    const std::vector<Sint16> second(whole.begin() + 1024, whole.end());
    capture(first);
    EXPECT_EQ(block_fill, 512u);
    EXPECT_EQ(spectrum_levels, std::vector<Uint8>(39, 0));  // no block yet
    EXPECT_EQ(spectrum_state, Ready);
    fetch_into(std::vector<Uint8>(39, 0));
    capture(second);
    EXPECT_EQ(block_fill, 0u);
    const std::vector<Uint8> split = spectrum_levels;

    audio_init(39);
    fetch_into(std::vector<Uint8>(39, 0));
    capture(whole);
    EXPECT_EQ(spectrum_levels, split);
}

TEST(spectrum_fetch, buffers_longer_than_a_block_carry_the_rest_over) {
    audio_init(39);
    capture(tone(1500, 100, 8000));
    EXPECT_EQ(block_fill, 1500u - 1024u);
    fetch_into(std::vector<Uint8>(39, 0));
    capture(tone(3000, 100, 8000));  // completes three blocks
    EXPECT_EQ(block_fill, 476u + 3000u - 3 * 1024u);
}
