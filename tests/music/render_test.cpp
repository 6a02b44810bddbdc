#include <gtest/gtest.h>

#include "tools/music/render.h"

namespace music {
namespace {

// A one-bar score at 120 bpm: a beat is exactly 22050 frames.
Score small_score()
{
    Score score;
    score.bpm = 120.0;
    score.bars = 1;
    score.tail_seconds = 0.5;
    score.reverb.predelay = 0.01f;
    return score;
}

float peak_of(const StereoBuffer& buffer)
{
    float peak = 0.0f;
    for (size_t i = 0; i < buffer.frames(); ++i)
        peak = std::max({peak, std::fabs(buffer.left[i]), std::fabs(buffer.right[i])});
    return peak;
}

size_t first_sound(const std::vector<float>& side)
{
    for (size_t i = 0; i < side.size(); ++i)
        if (side[i] != 0.0f) return i;
    return side.size();
}

TEST(MusicRender, a_hit_sounds_exactly_on_its_beat)
{
    size_t onsets[2];
    for (int beat = 0; beat < 2; ++beat) {
        Score score = small_score();
        Channel& kick = score.add_channel("kick", Instrument::drum);
        kick.add(parse_steps(beat == 0 ? "X..............." : "....X...........", 0.0, 60.0f));
        const StereoBuffer mix = render_score(score);
        EXPECT_EQ(mix.frames(), score.frames());
        onsets[beat] = first_sound(mix.left);
        EXPECT_LT(onsets[beat], 22050u * (beat + 1));
    }
    EXPECT_EQ(onsets[1] - onsets[0], 22050u);
}

TEST(MusicRender, swing_delays_only_off_beat_sixteenths_of_swung_channels)
{
    Score score = small_score();
    score.swing = 0.2f;
    Channel& hats = score.add_channel("hats", Instrument::drum);
    hats.swung = true;
    hats.add(parse_steps("xx", 0.0, 60.0f));
    Channel straight = hats;
    straight.swung = false;
    const size_t sixteenth = 22050 / 4;
    EXPECT_EQ(note_start_frame(score, hats, hats.notes[0]), 0u);
    EXPECT_EQ(note_start_frame(score, hats, hats.notes[1]), score.frame_of(0.25 + 0.2 * 0.25));
    EXPECT_EQ(note_start_frame(score, straight, straight.notes[1]), score.frame_of(0.25));
    EXPECT_GT(note_start_frame(score, hats, hats.notes[1]), sixteenth);
    Note dotted;  // a note off the sixteenth grid is not moved
    dotted.beat = 0.375;
    EXPECT_EQ(note_start_frame(score, hats, dotted), score.frame_of(0.375));
}

TEST(MusicRender, gain_curve_interpolates_between_points_and_holds_past_the_ends)
{
    Channel channel;
    channel.gain_db = -6.0f;
    EXPECT_FLOAT_EQ(channel_gain_db(channel, 3.0), -6.0f);
    channel.gain_curve = {{4.0, -20.0f}, {8.0, 0.0f}, {8.0, -10.0f}};
    EXPECT_FLOAT_EQ(channel_gain_db(channel, 0.0), -26.0f);
    EXPECT_FLOAT_EQ(channel_gain_db(channel, 6.0), -16.0f);
    EXPECT_FLOAT_EQ(channel_gain_db(channel, 7.0), -11.0f);
    EXPECT_FLOAT_EQ(channel_gain_db(channel, 9.0), -16.0f);
}

TEST(MusicRender, hard_left_pan_leaves_the_right_side_silent)
{
    Score score = small_score();
    Channel& lead = score.add_channel("lead", Instrument::synth);
    lead.pan = -1.0f;
    lead.add(parse_phrase("A4:4", 0.0, 0.8f));
    StereoBuffer mix = render_score(score);
    EXPECT_LT(first_sound(mix.left), mix.frames());
    for (float& s : mix.left) s = 0.0f;
    EXPECT_LT(peak_of(mix), 1e-6f);
}

TEST(MusicRender, a_fully_ducked_channel_falls_silent_just_after_each_kick)
{
    Score score = small_score();
    Channel& pad = score.add_channel("pad", Instrument::synth);
    pad.synth.amp = {0.001f, 1.0f, 1.0f, 0.1f};
    pad.duck = 1.0f;
    pad.add(parse_phrase("A3:16", 0.0, 0.8f));
    Channel& kick = score.add_channel("kick", Instrument::drum);
    kick.gain_db = -200.0f;  // inaudible; only its timing matters
    kick.add(parse_steps("....X...", 0.0, 60.0f));
    const StereoBuffer mix = render_score(score);
    const size_t bottom = 22050 + static_cast<size_t>(0.004f * sample_rate);
    float before = 0.0f, at = 0.0f;
    for (size_t i = 20000; i < 22000; ++i) before = std::max(before, std::fabs(mix.left[i]));
    for (size_t i = bottom - 5; i < bottom + 5; ++i) at = std::max(at, std::fabs(mix.left[i]));
    EXPECT_GT(before, 0.05f);
    EXPECT_LT(at, before * 0.02f);
}

TEST(MusicRender, rendering_twice_gives_identical_samples)
{
    Score score = small_score();
    Channel& pad = score.add_channel("pad", Instrument::synth);
    pad.synth.unison = 5;
    pad.synth.detune_cents = 20.0f;
    pad.reverb_send = 0.5f;
    pad.delay_send = 0.3f;
    pad.add(parse_phrase("D4:8 F4:8", 0.0, 0.8f));
    Channel& bell = score.add_channel("bell", Instrument::bell);
    bell.add(parse_phrase("A5:4 r:4 C6:8", 0.0, 0.8f));
    Channel& riser = score.add_channel("riser", Instrument::riser);
    riser.add(parse_phrase("0:16", 0.0, 0.8f));
    Channel& hats = score.add_channel("hats", Instrument::drum);
    hats.drum = Drum::closed_hat;
    hats.add(parse_steps("xxxxxxxxxxxxxxxx", 0.0, 60.0f));
    const StereoBuffer first = render_score(score);
    const StereoBuffer second = render_score(score);
    EXPECT_EQ(first.left, second.left);
    EXPECT_EQ(first.right, second.right);
    EXPECT_GT(peak_of(first), 0.01f);
}

}  // namespace
}  // namespace music
