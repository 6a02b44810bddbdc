#include <gtest/gtest.h>

#include "tools/music/master.h"

namespace music {
namespace {

StereoBuffer sine(int frames, float hz, float amplitude)
{
    StereoBuffer buffer(frames);
    Oscillator oscillator;
    oscillator.set_frequency(hz);
    for (int i = 0; i < frames; ++i) {
        buffer.left[i] = buffer.right[i] = amplitude * oscillator.sine();
        oscillator.advance();
    }
    return buffer;
}

float peak(const StereoBuffer& buffer) { return db_to_gain(measure(buffer).peak_db); }

TEST(MusicMaster, measure_reports_the_peak_and_the_rms_of_both_channels)
{
    StereoBuffer buffer = sine(sample_rate, 441.0f, 0.5f);
    for (float& s : buffer.right) s = 0.0f;
    const Levels levels = measure(buffer);
    EXPECT_NEAR(levels.peak_db, gain_to_db(0.5f), 0.01f);
    // A sine's RMS is peak / sqrt 2, and the silent channel halves the power.
    EXPECT_NEAR(levels.rms_db, gain_to_db(0.5f / std::sqrt(2.0f)) - 3.0103f, 0.01f);
}

TEST(MusicMaster, limiter_holds_every_sample_under_the_ceiling_even_at_the_buffer_edges)
{
    StereoBuffer buffer = sine(sample_rate, 220.0f, 0.3f);
    Noise noise(99);
    // Isolated spikes, a burst, and peaks on the very first and last frames.
    for (int i = 0; i < 50; ++i) buffer.left[static_cast<size_t>(noise.next_unit() * sample_rate)] = 3.0f;
    for (int i = 20000; i < 21000; ++i) buffer.right[i] = 2.0f * noise.next();
    buffer.left[0] = -4.0f;
    buffer.right[sample_rate - 1] = 4.0f;
    const float ceiling = 0.8f;
    limit_peaks(buffer, ceiling);
    EXPECT_LE(peak(buffer), ceiling);
}

TEST(MusicMaster, limiter_leaves_a_signal_under_the_ceiling_untouched)
{
    StereoBuffer buffer = sine(sample_rate, 220.0f, 0.5f);
    const StereoBuffer before = buffer;
    limit_peaks(buffer, 0.8f);
    EXPECT_EQ(buffer.left, before.left);
    EXPECT_EQ(buffer.right, before.right);
}

TEST(MusicMaster, limiter_gain_moves_gradually_around_a_single_spike)
{
    StereoBuffer buffer(sample_rate);
    for (size_t i = 0; i < buffer.frames(); ++i) buffer.left[i] = buffer.right[i] = 0.5f;
    buffer.left[20000] = 2.0f;  // needs a gain of 0.4 at that one frame
    limit_peaks(buffer, 0.8f);
    EXPECT_LE(buffer.left[20000], 0.8f);
    float largest_step = 0.0f;
    for (size_t i = 1; i < buffer.frames(); ++i)
        if (i != 20000 && i != 20001)
            largest_step = std::max(largest_step, std::fabs(buffer.right[i] - buffer.right[i - 1]) / 0.5f);
    // The gain falls from 1 to 0.4 over the lookahead instead of in one frame.
    EXPECT_LT(largest_step, 0.03f);
    EXPECT_LT(buffer.right[20000], 0.25f);
    EXPECT_NEAR(buffer.right[sample_rate - 1], 0.5f, 0.005f);  // and recovers
}

TEST(MusicMaster, mastering_reaches_the_loudness_target_under_the_ceiling_without_dc)
{
    StereoBuffer buffer = sine(2 * sample_rate, 110.0f, 0.05f);
    for (size_t i = 0; i < buffer.frames(); ++i) {
        buffer.left[i] += 0.2f;  // a DC offset the master must take out
        if (i % 5000 == 0) buffer.right[i] = 0.9f;  // clicks far above the body
    }
    master_track(buffer, -16.0f, -2.0f);
    const Levels levels = measure(buffer);
    EXPECT_NEAR(levels.rms_db, -16.0f, 0.3f);
    EXPECT_LE(levels.peak_db, -2.0f + 1e-4f);
    double mean = 0.0;
    for (size_t i = sample_rate; i < buffer.frames(); ++i) mean += buffer.left[i];
    EXPECT_NEAR(mean / sample_rate, 0.0, 0.005);
}

}  // namespace
}  // namespace music
