#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <set>

#include "tests/music/decode.h"
#include "tools/music/master.h"
#include "tools/music/tracks.h"

namespace music {
namespace {

TEST(MusicTracks, pieces_last_one_to_two_and_a_half_minutes_each_in_its_own_key_and_tempo)
{
    const std::vector<Score> scores = demo_scores();
    ASSERT_GE(scores.size(), 3u);
    std::set<std::string> keys, titles;
    std::set<double> tempos;
    for (const Score& score : scores) {
        EXPECT_GE(score.seconds(), 60.0) << score.title;
        EXPECT_LE(score.seconds(), 150.0) << score.title;
        keys.insert(score.key);
        tempos.insert(score.bpm);
        titles.insert(score.title);
    }
    EXPECT_EQ(keys.size(), scores.size());
    EXPECT_EQ(tempos.size(), scores.size());
    EXPECT_EQ(titles.size(), scores.size());
}

// A wrong accidental in a tune is a sour note nobody spots in the code.
TEST(MusicTracks, every_pitched_note_belongs_to_the_key_of_its_piece)
{
    for (const Score& score : demo_scores()) {
        ASSERT_FALSE(score.scale.empty()) << score.title;
        for (const Channel& channel : score.channels) {
            if (channel.instrument == Instrument::drum || channel.instrument == Instrument::riser) continue;
            for (const Note& note : channel.notes) {
                const int pitch_class = static_cast<int>(note.pitch) % 12;
                EXPECT_NE(std::find(score.scale.begin(), score.scale.end(), pitch_class), score.scale.end())
                    << score.title << ", " << channel.name << ", pitch " << note.pitch << " at beat " << note.beat;
            }
        }
    }
}

TEST(MusicTracks, notes_fall_inside_the_piece_and_within_the_playable_range)
{
    for (const Score& score : demo_scores()) {
        const double end = score.beat_of_bar(score.bars);
        for (const Channel& channel : score.channels) {
            EXPECT_FALSE(channel.notes.empty()) << score.title << ", " << channel.name;
            for (const Note& note : channel.notes) {
                EXPECT_GE(note.beat, 0.0) << score.title << ", " << channel.name;
                EXPECT_LE(note.beat + note.length, end + 1e-9) << score.title << ", " << channel.name;
                EXPECT_GT(note.velocity, 0.0f);
                EXPECT_LE(note.velocity, 1.0f);
                if (channel.instrument == Instrument::synth || channel.instrument == Instrument::bell) {
                    EXPECT_GE(note.pitch, 24.0f) << score.title << ", " << channel.name;  // C1: lowest bass
                    EXPECT_LE(note.pitch, 96.0f) << score.title << ", " << channel.name;  // C7
                }
            }
        }
    }
}

TEST(MusicTracks, comments_are_a_few_hundred_plain_ascii_characters_for_the_scroller)
{
    for (const Score& score : demo_scores()) {
        EXPECT_GE(score.comment.size(), 200u) << score.title;
        EXPECT_LE(score.comment.size(), 600u) << score.title;
        for (char c : score.comment) EXPECT_TRUE(c >= 32 && c <= 126) << score.title << ": byte " << int(c);
        EXPECT_NE(score.comment.find(score.title), std::string::npos) << score.title;
        // The scroller credits what made the track, never someone made up.
        EXPECT_NE(score.comment.find("make_music"), std::string::npos) << score.title;
    }
}

TEST(MusicTracks, file_names_sort_in_playing_order)
{
    const std::vector<Score> scores = demo_scores();
    std::vector<std::string> names;
    for (size_t i = 0; i < scores.size(); ++i) names.push_back(track_file_name(static_cast<int>(i) + 1, scores[i]));
    EXPECT_EQ(names.front(), "01 - " + scores.front().title + ".ogg");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(track_file_name(12, scores.front()).substr(0, 5), "12 - ");
}

// The tracks the build put on the disk, read back the way the player reads them.
class BuiltTracks : public ::testing::Test {
protected:
    static std::string folder() { return MUSIC_DIR; }
};

TEST_F(BuiltTracks, folder_holds_exactly_the_tracks_the_scores_name)
{
    std::set<std::string> expected, found;
    const std::vector<Score> scores = demo_scores();
    for (size_t i = 0; i < scores.size(); ++i) expected.insert(track_file_name(static_cast<int>(i) + 1, scores[i]));
    DIR* dir = opendir(folder().c_str());
    ASSERT_NE(dir, nullptr) << folder();
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') found.insert(entry->d_name);
    closedir(dir);
    EXPECT_EQ(found, expected);
}

TEST_F(BuiltTracks, tracks_play_in_the_player_format_with_tags_even_loudness_and_no_clipping)
{
    const std::vector<Score> scores = demo_scores();
    std::vector<float> loudness;
    for (size_t i = 0; i < scores.size(); ++i) {
        const std::string path = folder() + "/" + track_file_name(static_cast<int>(i) + 1, scores[i]);
        const Decoded decoded = decode_ogg(path);
        ASSERT_TRUE(decoded.opened) << path;
        EXPECT_EQ(decoded.channels, 2) << path;
        EXPECT_EQ(decoded.rate, 44100) << path;
        EXPECT_EQ(static_cast<size_t>(decoded.frames), scores[i].frames()) << path;
        EXPECT_EQ(decoded.tags.at("ARTIST"), artist);
        EXPECT_EQ(decoded.tags.at("TITLE"), scores[i].title);
        EXPECT_EQ(decoded.tags.at("COMMENT"), scores[i].comment);

        int peak = 0;
        double energy = 0.0;
        for (int16_t s : decoded.samples) {
            peak = std::max(peak, std::abs(static_cast<int>(s)));
            energy += static_cast<double>(s) * s;
        }
        const float peak_db = gain_to_db(peak / 32768.0f);
        // Peaks near -1 dBFS: headroom for the player's own arithmetic, and
        // far from full scale, where the decoder would clip.
        EXPECT_LT(peak_db, -0.5f) << path;
        EXPECT_GT(peak_db, -2.0f) << path;
        loudness.push_back(gain_to_db(static_cast<float>(std::sqrt(energy / decoded.samples.size()) / 32768.0)));
    }
    const auto [quietest, loudest] = std::minmax_element(loudness.begin(), loudness.end());
    EXPECT_LT(*loudest - *quietest, 1.0f);
}

}  // namespace
}  // namespace music
