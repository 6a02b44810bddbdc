#include <gtest/gtest.h>

#include "tools/music/voices.h"

namespace music {
namespace {

// Frequency from the rising zero crossings between the first and the last.
float measured_hz(const std::vector<float>& samples, size_t from, size_t to)
{
    long first = -1, last = -1, crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            if (first < 0) first = static_cast<long>(i);
            else ++crossings;
            last = static_cast<long>(i);
        }
    }
    return crossings > 0 ? crossings * static_cast<float>(sample_rate) / (last - first) : 0.0f;
}

TEST(MusicVoices, synth_note_sounds_at_its_pitch_with_and_without_detuned_copies)
{
    for (int unison : {1, 3}) {
        SynthPatch patch;
        patch.saw = 0.0f;
        patch.sine = 1.0f;
        patch.unison = unison;
        patch.cutoff_hz = 5000.0f;
        StereoBuffer out(sample_rate);
        render_synth_note(out, 0, sample_rate / 2, 69.0f, 0.8f, 0.0f, patch, 1);
        EXPECT_NEAR(measured_hz(out.left, 2000, 20000), 440.0f, 0.5f) << unison;
        SynthPatch saw = patch;
        saw.saw = 1.0f;
        saw.sine = 0.0f;
        saw.detune_cents = 0.0f;
        StereoBuffer low(sample_rate);
        render_synth_note(low, 0, sample_rate / 2, 45.0f, 0.8f, -5.0f, saw, 1);  // A2, filtered to its fundamental
        EXPECT_NEAR(measured_hz(low.left, 2000, 20000), 110.0f, 0.5f) << unison;
    }
}

TEST(MusicVoices, synth_note_ends_within_its_release_after_the_gate)
{
    SynthPatch patch;
    patch.amp = {0.01f, 0.2f, 0.7f, 0.1f};
    StereoBuffer out(sample_rate);
    const int gate = 10000;
    render_synth_note(out, 100, gate, 60.0f, 1.0f, 0.0f, patch, 3);
    for (size_t i = 0; i < 100; ++i) ASSERT_EQ(out.left[i], 0.0f);
    EXPECT_NE(out.left[100 + gate - 1], 0.0f);
    const size_t end = 100 + gate + Envelope::release_samples(patch.amp);
    for (size_t i = end; i < out.frames(); ++i) ASSERT_EQ(out.left[i], 0.0f) << i;
}

TEST(MusicVoices, notes_running_past_the_buffer_end_are_cut_there)
{
    StereoBuffer out(1000);
    SynthPatch patch;
    render_synth_note(out, 900, 5000, 60.0f, 1.0f, 0.0f, patch, 1);
    render_synth_note(out, 1000, 5000, 60.0f, 1.0f, 0.0f, patch, 1);  // starts at the end: nothing
    render_bell_note(out, 990, 5000, 72.0f, 1.0f, BellPatch());
    render_riser(out, 500, 5000, 1.0f, 9);
    EXPECT_EQ(out.frames(), 1000u);
    EXPECT_NE(out.left[999], 0.0f);
}

TEST(MusicVoices, centred_copies_give_mono_and_spread_copies_give_width)
{
    SynthPatch patch;
    patch.unison = 4;
    patch.detune_cents = 20.0f;
    StereoBuffer centred(sample_rate / 4), spread(sample_rate / 4);
    render_synth_note(centred, 0, 5000, 60.0f, 1.0f, 0.0f, patch, 5);
    patch.stereo_spread = 1.0f;
    render_synth_note(spread, 0, 5000, 60.0f, 1.0f, 0.0f, patch, 5);
    EXPECT_EQ(centred.left, centred.right);
    EXPECT_NE(spread.left, spread.right);
}

TEST(MusicVoices, drums_are_repeatable_and_tamed_below_full_scale)
{
    for (Drum drum :
         {Drum::kick, Drum::snare, Drum::clap, Drum::closed_hat, Drum::open_hat, Drum::shaker, Drum::crash}) {
        const std::vector<float> hit = make_drum(drum, 1.0f, 1.0f);
        ASSERT_FALSE(hit.empty());
        EXPECT_EQ(hit, make_drum(drum, 1.0f, 1.0f));
        float peak = 0.0f;
        for (float s : hit) peak = std::max(peak, std::fabs(s));
        EXPECT_GT(peak, 0.05f) << static_cast<int>(drum);
        EXPECT_LE(peak, 1.0f) << static_cast<int>(drum);
        EXPECT_EQ(hit.front(), 0.0f) << static_cast<int>(drum);  // every hit starts from silence: no click
    }
    EXPECT_GT(make_drum(Drum::open_hat, 1.0f, 1.0f).size(), make_drum(Drum::closed_hat, 1.0f, 1.0f).size());
    EXPECT_GT(make_drum(Drum::kick, 1.0f, 2.0f).size(), make_drum(Drum::kick, 1.0f, 1.0f).size());
}

TEST(MusicVoices, kick_body_settles_on_its_tuned_pitch)
{
    for (float tune : {0.9f, 1.0f, 1.2f}) {
        const std::vector<float> kick = make_drum(Drum::kick, tune, 1.0f);
        // After the pitch drop (about 0.15 s) the body rings near 48 Hz x tune.
        EXPECT_NEAR(measured_hz(kick, sample_rate / 6, kick.size()), 48.0f * tune, 2.0f) << tune;
    }
}

TEST(MusicVoices, hats_keep_their_energy_above_the_low_mids)
{
    const std::vector<float> hat = make_drum(Drum::closed_hat, 1.0f, 1.0f);
    // A crude two-band split: a one-pole low-pass at 1 kHz takes the low part.
    OnePole low;
    low.set_cutoff(1000.0f);
    double low_energy = 0.0, total = 0.0;
    for (float s : hat) {
        const float l = low.lowpass(s);
        low_energy += l * l;
        total += s * s;
    }
    EXPECT_LT(low_energy, 0.05 * total);
}

}  // namespace
}  // namespace music
