#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/music/score.h"

namespace music {
namespace {

TEST(MusicScore, pitch_names_map_to_midi_numbers_across_octaves_and_accidentals)
{
    const struct {
        const char* name;
        int pitch;
    } cases[] = {{"C4", 60}, {"A4", 69}, {"F#3", 54}, {"Bb2", 46}, {"E#5", 77},
                 {"Cb4", 59}, {"B3", 59}, {"C0", 12}, {"G9", 127}, {"C#2", 37}};
    for (const auto& c : cases) EXPECT_EQ(parse_pitch(c.name), c.pitch) << c.name;
}

TEST(MusicScore, malformed_pitch_names_are_rejected_not_guessed)
{
    for (const char* bad : {"", "C", "C#", "H4", "c4", "C10", "C#b4", "Cx4", "4C", "C4 "})
        EXPECT_THROW(parse_pitch(bad), std::invalid_argument) << '"' << bad << '"';
}

TEST(MusicScore, phrase_places_notes_after_the_lengths_and_rests_before_them)
{
    const std::vector<Note> notes = parse_phrase("r:4 A4:2 D5:2 E5 F5:6", 8.0, 0.7f);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_DOUBLE_EQ(notes[0].beat, 9.0);   // after a one-beat rest
    EXPECT_DOUBLE_EQ(notes[0].length, 0.5);
    EXPECT_DOUBLE_EQ(notes[1].beat, 9.5);
    EXPECT_DOUBLE_EQ(notes[2].beat, 10.0);
    EXPECT_DOUBLE_EQ(notes[2].length, 1.0);  // no length given: one beat
    EXPECT_DOUBLE_EQ(notes[3].beat, 11.0);
    EXPECT_DOUBLE_EQ(notes[3].length, 1.5);
    EXPECT_FLOAT_EQ(notes[3].pitch, 77.0f);
    for (const Note& note : notes) EXPECT_FLOAT_EQ(note.velocity, 0.7f);
    EXPECT_EQ(phrase_sixteenths("r:4 A4:2 D5:2 E5 F5:6"), 18);
}

TEST(MusicScore, phrase_offsets_are_semitones_that_transpose_moves_onto_a_root)
{
    const std::vector<Note> notes = transpose(parse_phrase("0:3 -5:1 +12:4 r:4 7", 0.0, 1.0f), 42.0f);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_FLOAT_EQ(notes[0].pitch, 42.0f);
    EXPECT_FLOAT_EQ(notes[1].pitch, 37.0f);
    EXPECT_FLOAT_EQ(notes[2].pitch, 54.0f);
    EXPECT_FLOAT_EQ(notes[3].pitch, 49.0f);
    EXPECT_DOUBLE_EQ(notes[3].beat, 3.0);
}

TEST(MusicScore, malformed_phrase_tokens_are_rejected)
{
    for (const char* bad : {"D5:0", "D5:-2", "D5:x", "D5:", "X5:4", "D5:4x", "r:", "1x:2", "+:2"})
        EXPECT_THROW(parse_phrase(bad, 0.0, 1.0f), std::invalid_argument) << bad;
}

TEST(MusicScore, steps_give_one_sixteenth_per_character_with_grouping_ignored)
{
    const std::vector<Note> notes = parse_steps("X.o.|x-..| ...X", 4.0, 36.0f);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_DOUBLE_EQ(notes[0].beat, 4.0);
    EXPECT_FLOAT_EQ(notes[0].velocity, 1.0f);
    EXPECT_DOUBLE_EQ(notes[1].beat, 4.5);
    EXPECT_FLOAT_EQ(notes[1].velocity, 0.45f);
    EXPECT_DOUBLE_EQ(notes[2].beat, 5.0);
    EXPECT_FLOAT_EQ(notes[2].velocity, 0.75f);
    EXPECT_DOUBLE_EQ(notes[3].beat, 6.75);  // the twelfth step
    for (const Note& note : notes) {
        EXPECT_FLOAT_EQ(note.pitch, 36.0f);
        EXPECT_DOUBLE_EQ(note.length, 0.25);
    }
    EXPECT_THROW(parse_steps("x.y.", 0.0, 60.0f), std::invalid_argument);
}

TEST(MusicScore, chord_lists_its_pitches_in_written_order)
{
    EXPECT_EQ(parse_chord("D3 A3 C4 F4"), (std::vector<int>{50, 57, 60, 65}));
    EXPECT_TRUE(parse_chord("").empty());
    EXPECT_THROW(parse_chord("D3 Q3"), std::invalid_argument);
}

TEST(MusicScore, beats_become_frames_at_the_tempo_and_the_tail_follows_the_last_bar)
{
    Score score;
    score.bpm = 120.0;
    score.bars = 2;
    score.tail_seconds = 1.5;
    EXPECT_EQ(score.frame_of(0.0), 0u);
    EXPECT_EQ(score.frame_of(1.0), 22050u);
    EXPECT_EQ(score.frame_of(0.25), 5513u);  // 5512.5 rounds up, not down
    EXPECT_EQ(score.frames(), 8u * 22050u + 66150u);
    EXPECT_DOUBLE_EQ(score.seconds(), 5.5);

    score.bpm = 68.0;  // a beat of 38911.76 frames: rounding must not accumulate
    EXPECT_EQ(score.frame_of(score.beat_of_bar(31)), 4825059u);
}

TEST(MusicScore, adding_channels_keeps_earlier_channel_references_valid)
{
    Score score;
    Channel& first = score.add_channel("first", Instrument::synth);
    for (int i = 0; i < 100; ++i) score.add_channel("more", Instrument::drum);
    first.gain_db = -3.0f;
    EXPECT_FLOAT_EQ(score.channels.front().gain_db, -3.0f);
    EXPECT_EQ(score.channels.front().name, "first");
}

}  // namespace
}  // namespace music
