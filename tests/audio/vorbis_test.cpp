#include "audio/vorbis.h"
#include "ogg_writer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string write_track(const TempFolder& folder, const std::string& name, const OggSpec& spec) {
    const std::string path = folder / name;
    EXPECT_TRUE(write_ogg(path, spec)) << path;
    return path;
}

OggSpec stereo(long frames) {
    OggSpec spec;
    spec.frames = frames;
    return spec;
}

OggSpec with_tags(std::vector<std::string> tags) {
    OggSpec spec = stereo(4410);
    spec.tags = std::move(tags);
    return spec;
}

// Opens path in a fresh decoder and returns what it printed.
std::string open_output(Vorbis& track, const std::string& path, bool expect_open) {
    CaptureStdout();
    EXPECT_EQ(track.open(path), expect_open) << path;
    return GetCapturedStdout();
}

}  // namespace

TEST(vorbis, opens_stereo_44100_and_reports_its_length_and_start) {
    TempFolder folder;
    const std::string path = write_track(folder, "two_seconds.ogg", stereo(88200));
    Vorbis track;
    EXPECT_EQ(open_output(track, path, true), "");
    EXPECT_TRUE(track.is_open());
    EXPECT_NEAR(track.total(), 2.0, 1e-6);
    EXPECT_EQ(track.tell(), 0.0);
}

TEST(vorbis, refuses_formats_the_device_cannot_play_with_the_exact_line) {
    TempFolder folder;
    struct Case { const char* name; int channels; long rate; const char* message; };
    const Case cases[] = {
        {"mono.ogg", 1, 44100, "not stereo "},
        {"stereo48.ogg", 2, 48000, "samplerate not 44100 "},
        // the channel test comes before the rate test
        {"mono48.ogg", 1, 48000, "not stereo "},
    };
    for (const Case& c : cases) {
        OggSpec spec = stereo(4410);
        spec.channels = c.channels;
        spec.rate = c.rate;
        const std::string path = write_track(folder, c.name, spec);
        Vorbis track;
        EXPECT_EQ(open_output(track, path, false), c.message + path + "\n");
        EXPECT_FALSE(track.is_open());
        EXPECT_EQ(track.total(), 0.0);
    }
}

TEST(vorbis, refuses_missing_and_foreign_files_with_cant_open) {
    TempFolder folder;
    const std::string text = folder / "notes.ogg";
    std::ofstream(text) << "not an ogg stream at all\n";
    const std::string empty = folder / "empty.ogg";
    std::ofstream{empty};
    for (const std::string& path : {folder / "missing.ogg", text, empty}) {
        Vorbis track;
        EXPECT_EQ(open_output(track, path, false), "cant open " + path + "\n");
        EXPECT_FALSE(track.is_open());
    }
}

TEST(vorbis, a_failed_open_closes_the_stream_that_was_open) {
    TempFolder folder;
    const std::string good = write_track(folder, "good.ogg", stereo(44100));
    OggSpec mono = stereo(4410);
    mono.channels = 1;
    const std::string bad = write_track(folder, "mono.ogg", mono);

    Vorbis track;
    ASSERT_TRUE(track.open(good));
    open_output(track, bad, false);
    EXPECT_FALSE(track.is_open());

    std::vector<Sint16> buffer(64, 0x1234);
    EXPECT_EQ(track.read(buffer.data(), 128), 0);
    EXPECT_EQ(buffer, std::vector<Sint16>(64, 0x1234));
    EXPECT_EQ(track.tell(), 0.0);
    EXPECT_EQ(track.total(), 0.0);
    track.seek(0.5);  // must not touch the cleared handle
    std::string artist = "a", title = "t", comment = "c";
    track.read_tags(artist, title, comment);
    EXPECT_EQ(artist + title + comment, "atc");
}

TEST(vorbis, reads_exactly_the_encoded_pcm_and_leaves_the_tail_past_the_end) {
    TempFolder folder;
    const long frames = 10000;  // not a multiple of the 1024-frame request
    OggSpec spec = stereo(frames);
    const std::string path = write_track(folder, "short.ogg", spec);
    Vorbis track;
    ASSERT_TRUE(track.open(path));

    std::vector<Sint16> pcm;
    std::vector<Sint16> buffer(2048);
    int got;
    do {
        std::fill(buffer.begin(), buffer.end(), Sint16(0x5a5a));
        got = track.read(buffer.data(), 4096);
        ASSERT_EQ(got % 4, 0);
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + got / 2);
        if (got < 4096) {
            for (std::size_t i = got / 2; i < buffer.size(); ++i)
                ASSERT_EQ(buffer[i], 0x5a5a) << "sample " << i << " past the end was written";
        }
    } while (got == 4096);
    EXPECT_EQ(pcm.size(), std::size_t(2 * frames));
    EXPECT_EQ(track.read(buffer.data(), 4096), 0);
    EXPECT_EQ(pcm, decode_ogg(path));

    // Interleaved left, right in native order: each channel follows its own sine.
    double error[2] = {0, 0};
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c)
            error[c] += std::fabs(pcm[2 * i + c] / 32768.0 - written_sample(spec, i, c));
    EXPECT_LT(error[0] / frames, 0.02);
    EXPECT_LT(error[1] / frames, 0.02);
}

TEST(vorbis, serves_odd_request_sizes_without_losing_bytes) {
    TempFolder folder;
    const std::string path = write_track(folder, "a.ogg", stereo(5000));
    Vorbis track;
    ASSERT_TRUE(track.open(path));
    std::vector<Sint16> pcm(2 * 5000 + 64);
    char* out = reinterpret_cast<char*>(pcm.data());
    int delivered = 0;
    for (int request : {6, 1000, 4, 3000, 12, 100000}) {
        const int got = track.read(reinterpret_cast<Sint16*>(out + delivered), request);
        EXPECT_LE(got, request);
        delivered += got;
    }
    EXPECT_EQ(delivered, 5000 * 4);
    pcm.resize(2 * 5000);
    EXPECT_EQ(pcm, decode_ogg(path));
}

TEST(vorbis, a_damaged_page_ends_the_track_early_with_one_line) {
    TempFolder folder;
    const std::string clean = write_track(folder, "clean.ogg", stereo(44100 * 6));
    std::ifstream in(clean, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::size_t> pages;
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], "OggS", 4) == 0)
            pages.push_back(i);
    ASSERT_GE(pages.size(), 6u);
    // Damage the middle of an audio page: its checksum fails and it is lost.
    const std::size_t at = (pages[4] + pages[5]) / 2;
    for (std::size_t i = at; i < at + 16; ++i)
        bytes[i] ^= 0x5a;
    const std::string damaged = folder / "damaged.ogg";
    std::ofstream(damaged, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));

    Vorbis track;
    ASSERT_TRUE(track.open(damaged));
    std::vector<Sint16> buffer(2048);
    long total = 0;
    int got;
    CaptureStdout();
    while ((got = track.read(buffer.data(), 4096)) == 4096)
        total += got;
    EXPECT_EQ(GetCapturedStdout(), "vorbis fuckup\n");
    total += got;
    EXPECT_LT(total, 44100L * 6 * 4);
    EXPECT_GT(total, 0);
    // Reading on takes up the sound after the lost page, once.
    long rest = 0;
    CaptureStdout();
    while ((got = track.read(buffer.data(), 4096)) > 0)
        rest += got;
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_GT(rest, 0);
    EXPECT_LT(total + rest, 44100L * 6 * 4);
}

TEST(vorbis, position_is_what_read_handed_out_not_what_was_decoded_ahead) {
    TempFolder folder;
    const std::string path = write_track(folder, "a.ogg", stereo(44100 * 2));
    Vorbis track;
    ASSERT_TRUE(track.open(path));
    std::vector<Sint16> buffer(2048);
    for (int block = 1; block <= 40; ++block) {
        ASSERT_EQ(track.read(buffer.data(), 4096), 4096);
        EXPECT_NEAR(track.tell(), block * 1024 / 44100.0, 1e-9) << "after block " << block;
    }
    track.seek(0.5);
    EXPECT_NEAR(track.tell(), 0.5, 0.01);
    ASSERT_EQ(track.read(buffer.data(), 4096), 4096);
    EXPECT_NEAR(track.tell(), 0.5 + 1024 / 44100.0, 0.01);
}

TEST(vorbis, seek_moves_the_position) {
    TempFolder folder;
    const std::string path = write_track(folder, "a.ogg", stereo(88200));
    Vorbis track;
    ASSERT_TRUE(track.open(path));
    track.seek(1.25);
    EXPECT_NEAR(track.tell(), 1.25, 0.01);
    std::vector<Sint16> buffer(2048);
    EXPECT_EQ(track.read(buffer.data(), 4096), 4096);
    EXPECT_NEAR(track.tell(), 1.25 + 1024 / 44100.0, 0.01);
}

TEST(vorbis, tag_prefixes_match_in_any_case_and_the_last_non_empty_value_wins) {
    TempFolder folder;
    const std::string path = write_track(folder, "tags.ogg", with_tags({
        "title=A", "TITLE=B", "TITLE=", "ArTiSt=Someone", "ALBUM=ignored",
        "comment=first", "Comment=second", "COMMENT=", "TITLEX=not a title"}));
    Vorbis track;
    ASSERT_TRUE(track.open(path));
    std::string artist, title, comment;
    track.read_tags(artist, title, comment);
    EXPECT_EQ(title, "B");
    EXPECT_EQ(artist, "Someone");
    EXPECT_EQ(comment, "second");
}

TEST(vorbis, without_matching_tags_the_strings_stay_as_given) {
    TempFolder folder;
    const std::string path = write_track(folder, "plain.ogg", with_tags({"ALBUM=x", "DATE=2010", "TITLE="}));
    Vorbis track;
    ASSERT_TRUE(track.open(path));
    std::string artist, title, comment;
    track.read_tags(artist, title, comment);
    EXPECT_EQ(artist, "");
    EXPECT_EQ(title, "");
    EXPECT_EQ(comment, "");
}

TEST(vorbis, tags_of_any_size_and_bytes_are_passed_on_unchanged) {
    TempFolder folder;
    std::string huge(1 << 20, 'x');
    for (std::size_t i = 0; i < huge.size(); i += 7)
        huge[i] = char(0x80 + i % 0x7f);  // never a NUL, rarely valid UTF-8
    const std::string odd_artist = "\xff\xfe\xc3(\x80 \xe2\x82";
    const std::string path = write_track(folder, "big.ogg", with_tags({
        "COMMENT=" + huge, "ARTIST=" + odd_artist, "TITLE=\xc3\x96l"}));
    Vorbis track;
    ASSERT_TRUE(track.open(path));
    std::string artist, title, comment;
    track.read_tags(artist, title, comment);
    EXPECT_EQ(comment, huge);
    EXPECT_EQ(artist, odd_artist);
    EXPECT_EQ(title, "\xc3\x96l");
}

TEST(vorbis, each_tag_prefix_is_accepted_in_lower_upper_and_mixed_case) {
    TempFolder folder;
    const std::string prefixes[] = {"title=", "TITLE=", "TiTlE=", "artist=", "ARTIST=", "aRtIsT=",
                                    "comment=", "COMMENT=", "CoMmEnT="};
    int n = 0;
    for (const std::string& prefix : prefixes) {
        const std::string path = write_track(folder, std::to_string(n++) + ".ogg", with_tags({prefix + "value"}));
        Vorbis track;
        ASSERT_TRUE(track.open(path));
        std::string artist, title, comment;
        track.read_tags(artist, title, comment);
        const char first = char(std::tolower(prefix[0]));
        EXPECT_EQ(title, first == 't' ? "value" : "") << prefix;
        EXPECT_EQ(artist, first == 'a' ? "value" : "") << prefix;
        EXPECT_EQ(comment, first == 'c' ? "value" : "") << prefix;
    }
}
