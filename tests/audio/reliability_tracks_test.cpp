// Music files as they turn up in the wild: a track cut off in the middle of
// its audio, and names with spaces, bytes that are not UTF-8 and the longest
// length a file system allows.
#include "audio/ogg_writer.h"
#include "audio/playlist.h"
#include "audio/vorbis.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

OggSpec seconds(long count) {
    OggSpec spec;
    spec.frames = count * 44100;
    spec.tags = {"TITLE=cut short"};
    return spec;
}

TEST(damaged_tracks, a_track_cut_in_the_middle_plays_what_is_there_and_then_ends) {
    TempFolder folder;
    const std::string whole = folder / "whole.ogg";
    // Long enough for many audio pages: of a short file, a cut half may hold
    // no complete audio page at all.
    ASSERT_TRUE(write_ogg(whole, seconds(20)));
    std::ifstream in(whole, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string cut = folder / "cut.ogg";
    std::ofstream(cut, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size() / 2));

    Vorbis track;
    ASSERT_TRUE(track.open(cut));
    std::vector<Sint16> pcm;
    std::vector<Sint16> buffer(2048);
    int got = 0;
    // Bounded: a decoder that never reports the end must fail, not hang.
    for (int reads = 0; reads < 1000; ++reads) {
        got = track.read(buffer.data(), 4096);
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + got / 2);
        if (got < 4096) break;
    }
    ASSERT_LT(got, 4096) << "the cut track never ended";
    EXPECT_EQ(track.read(buffer.data(), 4096), 0);

    // What it played is the start of the whole track, and a fair part of it.
    const std::vector<Sint16> reference = decode_ogg(whole);
    ASSERT_LT(pcm.size(), reference.size());
    EXPECT_GT(pcm.size(), reference.size() / 4);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), reference.begin()));
}

TEST(odd_names, spaces_foreign_bytes_and_very_long_names_are_listed_and_opened_as_they_are) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "music").c_str(), 0755), 0);
    const std::vector<std::string> names = {
        "  two  spaces .ogg",
        "\xff\xfe latin-1 \xe9t\xe9.ogg",
        std::string(251, 'L') + ".ogg",  // 255 bytes, the longest name ext4 takes
    };
    for (const std::string& name : names)
        ASSERT_TRUE(write_ogg(folder / ("music/" + name), seconds(1))) << name.substr(0, 20);

    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    CaptureStdout();
    scan_music_folder();
    const std::string printed = GetCapturedStdout();
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(printed, "");

    ASSERT_EQ(playlist.size(), names.size());
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const std::string& path = playlist[i];
        ASSERT_GE(path.size(), sorted[i].size());
        EXPECT_EQ(path.substr(path.size() - sorted[i].size()), sorted[i]);
        Vorbis track;
        EXPECT_TRUE(track.open(path)) << path.substr(0, 60);
        std::string artist, title, comment;
        track.read_tags(artist, title, comment);
        EXPECT_EQ(title, "cut short");
    }
    playlist.clear();
}

}  // namespace

namespace {

// A stream whose later pages the library cannot seek into leaves it at
// sample -1; the position must still read as a place in the track.
TEST(damaged_tracks, a_seek_the_library_cannot_make_leaves_a_position_of_zero_or_more) {
    Vorbis track;
    ASSERT_TRUE(track.open(SOURCE_DIR "/fuzz/corpus/vorbis/failed_seek.ogg"));
    std::vector<Sint16> buffer(4096);
    double length = track.total();
    for (double fraction : {0.0, 0.3, 0.5, 0.9, 1.0, 1.275}) {
        track.read(buffer.data(), static_cast<int>(buffer.size() * sizeof(Sint16)));
        track.seek(length > 0 ? fraction * length : fraction);
        double position = track.tell();
        EXPECT_TRUE(std::isfinite(position)) << "after a seek to " << fraction;
        EXPECT_GE(position, 0.0) << "after a seek to " << fraction;
    }
}

}  // namespace
