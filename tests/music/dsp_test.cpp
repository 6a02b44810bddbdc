#include <gtest/gtest.h>

#include "tools/music/dsp.h"
#include "tools/music/effects.h"

namespace music {
namespace {

TEST(MusicDsp, equal_temperament_is_anchored_at_a4)
{
    EXPECT_FLOAT_EQ(midi_to_hz(69.0f), 440.0f);
    EXPECT_FLOAT_EQ(midi_to_hz(57.0f), 220.0f);
    EXPECT_NEAR(midi_to_hz(60.0f), 261.6256f, 1e-3f);
    EXPECT_NEAR(db_to_gain(-6.0206f), 0.5f, 1e-4f);
    EXPECT_NEAR(gain_to_db(0.1f), -20.0f, 1e-4f);
}

TEST(MusicDsp, noise_repeats_for_a_seed_stays_in_range_and_is_centred)
{
    Noise a(1234), b(1234), other(1235);
    double sum = 0.0;
    int differences = 0;
    for (int i = 0; i < 100000; ++i) {
        const float x = a.next();
        ASSERT_EQ(x, b.next());
        ASSERT_GE(x, -1.0f);
        ASSERT_LT(x, 1.0f);
        if (other.next() != x) ++differences;
        sum += x;
    }
    EXPECT_NEAR(sum / 100000.0, 0.0, 0.01);
    EXPECT_GT(differences, 99000);
    Noise zero(0);  // a zero xorshift state would stay zero forever
    EXPECT_NE(zero.next(), zero.next());
}

// Feeds a sine through a fresh low-pass and returns the output's peak after
// the filter has settled.
float lowpass_peak(float cutoff, float tone, float resonance)
{
    Svf filter;
    filter.set(cutoff, resonance);
    Oscillator sine;
    sine.set_frequency(tone);
    float peak = 0.0f;
    for (int i = 0; i < sample_rate / 2; ++i) {
        filter.process(sine.sine());
        sine.advance();
        if (i > sample_rate / 4) peak = std::max(peak, std::fabs(filter.low));
    }
    return peak;
}

TEST(MusicDsp, low_pass_passes_the_band_below_its_cutoff_and_cuts_two_octaves_above)
{
    EXPECT_NEAR(lowpass_peak(1000.0f, 100.0f, 0.0f), 1.0f, 0.02f);
    EXPECT_LT(lowpass_peak(1000.0f, 4000.0f, 0.0f), 0.07f);  // 12 dB per octave
    // Resonance lifts the cutoff itself without making the filter unstable.
    EXPECT_GT(lowpass_peak(1000.0f, 1000.0f, 0.9f), 2.0f);
    EXPECT_LT(lowpass_peak(1000.0f, 1000.0f, 1.0f), 100.0f);
}

TEST(MusicDsp, low_pass_stays_bounded_when_swept_at_full_resonance)
{
    Svf filter;
    Noise noise(7);
    for (int i = 0; i < sample_rate; ++i) {
        if (i % 16 == 0) filter.set(30.0f * std::exp2(10.0f * ((i / 16) % 64) / 64.0f), 1.0f);
        filter.process(noise.next());
        ASSERT_TRUE(std::isfinite(filter.low));
        ASSERT_LT(std::fabs(filter.low), 200.0f);
    }
}

TEST(MusicDsp, band_limited_saw_has_no_offset_and_stays_near_full_scale)
{
    for (float hz : {55.0f, 440.0f, 3520.0f}) {
        Oscillator saw;
        saw.set_frequency(hz);
        double sum = 0.0;
        float peak = 0.0f;
        const int frames = sample_rate;  // whole periods for all three
        for (int i = 0; i < frames; ++i) {
            sum += saw.saw();
            peak = std::max(peak, std::fabs(saw.saw()));
            saw.advance();
        }
        EXPECT_NEAR(sum / frames, 0.0, 0.01) << hz;
        // The band limiting rounds the corner off; at 12 samples a period
        // that costs some peak, but the ramp must never overshoot.
        EXPECT_LT(peak, 1.05f) << hz;
        EXPECT_GT(peak, hz < 1000.0f ? 0.95f : 0.8f) << hz;
    }
}

TEST(MusicDsp, envelope_attacks_linearly_sustains_and_releases_sixty_db_in_its_release_time)
{
    const EnvelopeShape shape{0.01f, 0.1f, 0.5f, 0.2f};
    const int gate = sample_rate / 2;
    Envelope envelope(shape, gate);
    const int attack = static_cast<int>(0.01f * sample_rate);
    float level = 0.0f;
    for (int i = 0; i < attack / 2; ++i) level = envelope.next();
    EXPECT_NEAR(level, 0.5f, 0.01f);
    for (int i = attack / 2; i < attack; ++i) level = envelope.next();
    EXPECT_NEAR(level, 1.0f, 0.01f);
    for (int i = attack; i < gate; ++i) level = envelope.next();
    EXPECT_NEAR(level, 0.5f, 0.001f);  // decayed to the sustain level
    EXPECT_FALSE(envelope.finished());
    for (int i = 0; i < static_cast<int>(0.2f * sample_rate); ++i) level = envelope.next();
    EXPECT_NEAR(gain_to_db(level / 0.5f), -60.0f, 0.5f);
    int more = 0;
    while (!envelope.finished()) {
        envelope.next();
        ASSERT_LT(++more, Envelope::release_samples(shape));
    }
}

TEST(MusicDsp, envelope_gated_during_its_attack_releases_from_where_it_got_to)
{
    Envelope envelope({0.1f, 0.1f, 1.0f, 0.05f}, 100);
    float previous = 0.0f;
    for (int i = 0; i < 100; ++i) previous = envelope.next();
    const float first_release = envelope.next();
    EXPECT_LT(first_release, previous);
    EXPECT_GT(first_release, previous * 0.99f);  // no jump down, and no jump up to full level
}

TEST(MusicDsp, delay_repeats_alternate_sides_and_fall_by_the_feedback)
{
    StereoBuffer buffer(sample_rate);
    buffer.left[0] = 1.0f;
    buffer.right[0] = 1.0f;
    DelaySettings settings;
    settings.seconds = 0.1f;
    settings.feedback = 0.5f;
    settings.tone_hz = 20000.0f;
    apply_delay(buffer, settings);
    auto energy_near = [&](const std::vector<float>& side, int at) {
        float sum = 0.0f;
        for (int i = at - 50; i < at + 50; ++i) sum += side[i];
        return sum;
    };
    const int step = static_cast<int>(0.1f * sample_rate);
    EXPECT_NEAR(energy_near(buffer.left, step), 1.0f, 0.05f);
    EXPECT_NEAR(energy_near(buffer.right, step), 0.0f, 1e-6f);
    EXPECT_NEAR(energy_near(buffer.right, 2 * step), 0.5f, 0.05f);
    EXPECT_NEAR(energy_near(buffer.left, 3 * step), 0.25f, 0.05f);
    EXPECT_EQ(buffer.left[0], 0.0f);  // wet only: the dry impulse is gone
}

TEST(MusicDsp, reverb_tail_starts_after_the_predelay_and_dies_away)
{
    StereoBuffer buffer(4 * sample_rate);
    buffer.left[0] = 1.0f;
    ReverbSettings settings;
    settings.predelay = 0.02f;
    apply_reverb(buffer, settings);
    const int predelay = static_cast<int>(0.02f * sample_rate);
    for (int i = 0; i < predelay; ++i) ASSERT_EQ(buffer.left[i], 0.0f) << i;
    auto rms = [&](int from, int to) {
        double sum = 0.0;
        for (int i = from; i < to; ++i) sum += buffer.left[i] * buffer.left[i] + buffer.right[i] * buffer.right[i];
        return std::sqrt(sum / (2.0 * (to - from)));
    };
    const double early = rms(predelay, sample_rate / 2);
    const double late = rms(3 * sample_rate, 4 * sample_rate);
    EXPECT_GT(early, 0.0);
    EXPECT_LT(late, early * 0.01);
}

}  // namespace
}  // namespace music
