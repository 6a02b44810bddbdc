#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <unistd.h>

#include "tests/music/decode.h"
#include "tools/music/ogg.h"

namespace music {
namespace {

std::string temp_path(const std::string& name)
{
    return ::testing::TempDir() + "music_ogg_" + std::to_string(getpid()) + "_" + name;
}

std::string file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

StereoBuffer tone(int frames)
{
    StereoBuffer buffer(frames);
    Oscillator left, right;
    left.set_frequency(440.0f);
    right.set_frequency(660.0f);
    for (int i = 0; i < frames; ++i) {
        buffer.left[i] = 0.5f * left.sine();
        buffer.right[i] = 0.25f * right.sine();
        left.advance();
        right.advance();
    }
    return buffer;
}

TEST(MusicOgg, written_file_plays_as_stereo_44100_with_every_frame_and_its_tags)
{
    const std::string path = temp_path("tags.ogg");
    // Not a multiple of the 1024-frame chunks, so the last short chunk counts.
    const StereoBuffer buffer = tone(3 * 1024 + 77);
    const Tags tags = {{"ARTIST", "Nyx Arden"}, {"TITLE", "Test Tone"}, {"COMMENT", "Hello, scroller! 1-2-3."}};
    ASSERT_TRUE(write_ogg(path, buffer, tags, 0.4f));
    const Decoded decoded = decode_ogg(path);
    ASSERT_TRUE(decoded.opened);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.rate, 44100);
    EXPECT_EQ(decoded.frames, 3 * 1024 + 77);
    EXPECT_EQ(decoded.samples.size(), 2u * (3 * 1024 + 77));
    EXPECT_EQ(decoded.tags.at("ARTIST"), "Nyx Arden");
    EXPECT_EQ(decoded.tags.at("TITLE"), "Test Tone");
    EXPECT_EQ(decoded.tags.at("COMMENT"), "Hello, scroller! 1-2-3.");
    // The left channel stays left: its level is twice the right's.
    double left = 0.0, right = 0.0;
    for (size_t i = 1024; i + 1 < decoded.samples.size(); i += 2) {
        left += std::abs(decoded.samples[i]);
        right += std::abs(decoded.samples[i + 1]);
    }
    EXPECT_NEAR(left / right, 2.0, 0.2);
    std::remove(path.c_str());
}

TEST(MusicOgg, the_same_mix_always_gives_the_same_bytes)
{
    const std::string first = temp_path("first.ogg"), second = temp_path("second.ogg");
    const StereoBuffer buffer = tone(44100);
    ASSERT_TRUE(write_ogg(first, buffer, {{"TITLE", "Same"}}, 0.4f));
    ASSERT_TRUE(write_ogg(second, buffer, {{"TITLE", "Same"}}, 0.4f));
    const std::string bytes = file_bytes(first);
    EXPECT_GT(bytes.size(), 1000u);
    EXPECT_TRUE(bytes == file_bytes(second));
    std::remove(first.c_str());
    std::remove(second.c_str());
}

TEST(MusicOgg, decoded_peak_reads_the_level_back_and_reports_a_missing_file_as_silence)
{
    const std::string path = temp_path("peak.ogg");
    ASSERT_TRUE(write_ogg(path, tone(44100), {}, 0.4f));
    EXPECT_NEAR(decoded_peak_db(path), gain_to_db(0.5f), 0.5f);  // the louder, left channel
    std::remove(path.c_str());
    EXPECT_LT(decoded_peak_db(temp_path("never-written.ogg")), -199.0f);
}

TEST(MusicOgg, an_unwritable_path_fails_and_leaves_no_file)
{
    const std::string path = temp_path("missing-folder/x.ogg");
    EXPECT_FALSE(write_ogg(path, tone(1000), {}, 0.4f));
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST(MusicOgg, an_empty_mix_still_makes_a_playable_stream)
{
    const std::string path = temp_path("empty.ogg");
    ASSERT_TRUE(write_ogg(path, StereoBuffer(0), {{"TITLE", "Silence"}}, 0.4f));
    const Decoded decoded = decode_ogg(path);
    EXPECT_TRUE(decoded.opened);
    EXPECT_EQ(decoded.frames, 0);
    EXPECT_EQ(decoded.tags.at("TITLE"), "Silence");
    std::remove(path.c_str());
}

}  // namespace
}  // namespace music
