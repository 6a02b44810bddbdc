// Seeking in damaged Ogg files: the page check that tells them from intact
// ones, where a seek lands and what plays after it, the refusal of targets
// outside the track without a jump in the sound, and every file that once
// took the player down replayed through the engine's sequence of calls.
#include "audio/ogg_pages.h"
#include "audio/ogg_writer.h"
#include "audio/vorbis.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <ogg/ogg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using Bytes = std::vector<std::uint8_t>;

constexpr int chunk = 4096;  // one device buffer

Bytes load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

void save(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The pages of an intact file, as byte ranges, with their granule positions.
struct Page {
    size_t begin, end;
    std::int64_t granule;
};
std::vector<Page> pages_of(const Bytes& bytes) {
    std::vector<Page> pages;
    size_t at = 0;
    while (at + 27 <= bytes.size()) {
        const size_t segments = bytes[at + 26];
        size_t size = 27 + segments;
        for (size_t i = 0; i < segments; ++i) size += bytes[at + 27 + i];
        std::int64_t granule;
        std::memcpy(&granule, &bytes[at + 6], 8);
        pages.push_back({at, at + size, granule});
        at += size;
    }
    return pages;
}

bool intact(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    const bool result = ogg_pages_intact(fd);
    close(fd);
    return result;
}

// Reads count buffers (fewer when the track ends) into one block of PCM.
std::vector<Sint16> play(Vorbis& track, int count) {
    std::vector<Sint16> pcm;
    std::vector<Sint16> buffer(chunk / 2);
    for (int i = 0; i < count; ++i) {
        const int got = track.read(buffer.data(), chunk);
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + got / 2);
        if (got < chunk) break;
    }
    return pcm;
}

bool same_from(const std::vector<Sint16>& pcm, const std::vector<Sint16>& reference, size_t frame) {
    return !pcm.empty() && reference.size() >= frame * 2 + pcm.size() &&
           std::equal(pcm.begin(), pcm.end(), reference.begin() + long(frame) * 2);
}

class DamagedSeek : public testing::Test {
protected:
    void SetUp() override {
        OggSpec spec;
        spec.frames = 20 * 44100;
        ASSERT_TRUE(write_ogg(whole, spec));
        bytes = load(whole);
        pages = pages_of(bytes);
        ASSERT_GT(pages.size(), 12u);
        reference = decode_ogg(whole);
    }
    // The first page whose granule position lies past the given second.
    size_t page_after(double seconds) const {
        for (size_t i = 1; i < pages.size(); ++i)
            if (pages[i].granule > seconds * 44100) return i;
        return pages.size() - 1;
    }
    // The file with the middle of one page's body overwritten.
    std::string damaged_at(size_t page) {
        Bytes copy = bytes;
        const size_t middle = (pages[page].begin + pages[page].end) / 2;
        for (size_t i = middle; i < middle + 6; ++i) copy[i] ^= 0x5A;
        const std::string path = folder / "damaged.ogg";
        save(path, copy);
        return path;
    }

    TempFolder folder;
    const std::string whole = folder / "whole.ogg";
    Bytes bytes;
    std::vector<Page> pages;
    std::vector<Sint16> reference;
};

}  // namespace

TEST_F(DamagedSeek, the_page_check_passes_encoder_output_and_fails_every_kind_of_damage) {
    const size_t middle = pages.size() / 2;
    const Page& page = pages[middle];
    auto without = [&](size_t from, size_t to) {
        Bytes copy = bytes;
        copy.erase(copy.begin() + long(from), copy.begin() + long(to));
        return copy;
    };
    Bytes inserted = bytes;
    inserted.insert(inserted.begin() + long(page.begin), {'j', 'u', 'n', 'k'});
    Bytes overwritten = bytes;
    overwritten[page.begin + 40] ^= 1;
    Bytes repeated = bytes;
    repeated.insert(repeated.begin() + long(page.end), bytes.begin() + long(page.begin),
                    bytes.begin() + long(page.end));
    Bytes chained = bytes;
    chained.insert(chained.end(), bytes.begin(), bytes.end());
    Bytes chained_early = bytes;  // the second stream begins before the first ends
    chained_early.insert(chained_early.begin() + long(page.end), bytes.begin(), bytes.end());

    struct Case { const char* name; Bytes file; bool intact; };
    const Case cases[] = {
        {"as written", bytes, true},
        {"two streams chained", chained, true},
        {"a stream begun again while in use", chained_early, false},
        {"one bit flipped", overwritten, false},
        {"bytes inserted between pages", inserted, false},
        {"bytes removed inside a page", without(page.begin + 30, page.begin + 33), false},
        {"a whole page lost", without(page.begin, page.end), false},
        {"a page repeated", repeated, false},
        {"cut inside the last page", without(bytes.size() - 10, bytes.size()), false},
        {"cut after a whole page, the stream's end lost", without(pages.back().begin, bytes.size()), false},
        {"empty", Bytes(), false},
    };
    for (const Case& c : cases) {
        const std::string path = folder / "case.ogg";
        save(path, c.file);
        EXPECT_EQ(intact(path), c.intact) << c.name;
    }
    EXPECT_FALSE(ogg_pages_intact(-1)) << "an unreadable file";
}

// A file of several steps' length is checked a bounded stretch at a time,
// stops at the first damage, and a first seek in it waits for the check in
// slices yet lands where the same seek made at once lands.
TEST_F(DamagedSeek, the_page_check_of_a_long_file_runs_in_bounded_steps_and_a_first_seek_waits_for_it) {
    Bytes chain;
    while (chain.size() < 3 * size_t(OggPageCheck::bytes_per_step))
        chain.insert(chain.end(), bytes.begin(), bytes.end());
    Bytes early = chain, late = chain;
    early[pages[2].begin + 40] ^= 1;
    late[chain.size() - bytes.size() + pages[2].begin + 40] ^= 1;
    const size_t whole_steps = chain.size() / size_t(OggPageCheck::bytes_per_step) + 1;
    struct Case { const char* name; const Bytes& file; bool intact; size_t min_steps, max_steps; };
    const Case cases[] = {
        {"intact", chain, true, whole_steps, whole_steps},
        {"damaged at the start", early, false, 1, 1},
        {"damaged at the end", late, false, whole_steps - 1, whole_steps},
    };
    for (const Case& c : cases) {
        const std::string path = folder / "long.ogg";
        save(path, c.file);
        const int fd = open(path.c_str(), O_RDONLY);
        OggPageCheck check(fd);
        size_t steps = 1;
        while (!check.step()) ++steps;
        close(fd);
        EXPECT_EQ(check.intact(), c.intact) << c.name;
        EXPECT_GE(steps, c.min_steps) << c.name;
        EXPECT_LE(steps, c.max_steps) << c.name;
    }

    const std::string path = folder / "long.ogg";
    save(path, chain);
    const double target = 10.5;
    Vorbis at_once, sliced;
    ASSERT_TRUE(at_once.open(path));
    ASSERT_TRUE(sliced.open(path));
    ASSERT_GT(at_once.total(), target) << chain.size();
    at_once.seek(target);
    int slices = 1;
    Vorbis::SeekProgress progress = sliced.begin_seek(target);
    while (progress == Vorbis::SeekProgress::unfinished) {
        progress = sliced.continue_seek();
        ++slices;
    }
    EXPECT_EQ(progress, Vorbis::SeekProgress::moved);
    EXPECT_GE(size_t(slices), whole_steps);
    EXPECT_EQ(play(sliced, 50), play(at_once, 50));
}

// The library refuses a target outside [0, length) only after taking a lap
// from the decoder; a refused seek must leave the sound continuous.
TEST_F(DamagedSeek, a_target_outside_the_track_is_refused_without_a_jump_in_the_sound) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Vorbis probe;
    ASSERT_TRUE(probe.open(whole));
    const double length = probe.total();
    const double targets[] = {length, length + 3, -0.5, nan, std::numeric_limits<double>::infinity(),
                              std::nextafter(length, 1e9)};
    for (double target : targets) {
        Vorbis track;
        ASSERT_TRUE(track.open(whole));
        std::vector<Sint16> heard = play(track, 30);
        const double before = track.tell();
        track.seek(target);
        EXPECT_EQ(track.tell(), before) << target;
        const std::vector<Sint16> after = play(track, 1000);
        heard.insert(heard.end(), after.begin(), after.end());
        EXPECT_EQ(heard, reference) << "the sound jumped after a seek to " << target << " of " << length;
    }
}

TEST_F(DamagedSeek, a_seek_in_a_damaged_file_plays_the_sound_at_the_target_and_holes_as_the_rest_of_it_does) {
    const size_t hit = page_after(12.0);
    const std::string damaged = damaged_at(hit);
    ASSERT_FALSE(intact(damaged));
    const double lost_from = double(pages[hit - 1].granule) / 44100;
    const double lost_to = double(pages[hit].granule) / 44100;

    struct Case { const char* name; double played, target; bool reaches_hole; };
    const Case cases[] = {
        {"back, before the damage", 5.0, 2.0, true},
        {"forward, before the damage", 1.0, 6.0, true},
        {"past the damage", 1.0, 16.0, false},
        {"back, from past the damage to past it", 0, 0, false},  // filled in below
        {"into the lost sound", 1.0, (lost_from + lost_to) / 2, false},
    };
    for (Case c : cases) {
        if (c.played == 0) c = {c.name, 0, 17.5, false};
        Vorbis track;
        ASSERT_TRUE(track.open(damaged));
        if (c.played > 0) play(track, int(c.played * 44100 * 4 / chunk));
        else {
            track.seek(19.0);
            play(track, 5);
        }
        CaptureStdout();
        track.seek(c.target);
        const double position = track.tell();
        const std::vector<Sint16> after = play(track, 2000);
        const std::string printed = GetCapturedStdout();
        // The sound at the target is the intact file's, sample for sample;
        // after lost sound the library places the next sound it decodes
        // where the lost sound began.
        if (c.target < lost_from || c.target > lost_to + 1) {
            EXPECT_EQ(position, std::floor(c.target * 44100) / 44100) << c.name;
            const std::vector<Sint16> start(after.begin(), after.begin() + long(std::min(after.size(), size_t(44100))));
            EXPECT_TRUE(same_from(start, reference, size_t(std::floor(c.target * 44100)))) << c.name;
        } else {
            EXPECT_GE(position, c.target - 1e-9) << c.name;
            EXPECT_FALSE(after.empty()) << c.name << ": nothing played after the lost sound";
        }
        // Playing on meets the hole exactly when the target lay before it:
        // one line, and the track ends there as it does without a seek.
        EXPECT_EQ(printed, c.reaches_hole ? "vorbis fuckup\n" : "") << c.name;
        if (c.reaches_hole)
            EXPECT_LE(c.target + double(after.size()) / 2 / 44100, lost_to) << c.name;
        else  // it plays out to the track's own end
            EXPECT_TRUE(after.size() > 44100 &&
                        std::equal(after.end() - 44100, after.end(), reference.end() - 44100))
                << c.name << ": the track ended early";
    }
}

TEST_F(DamagedSeek, a_seek_past_what_a_damaged_file_holds_ends_the_track) {
    // Cut inside a page: the last whole page sets the length, and a seek
    // to its end plays out what is left and ends.
    Bytes cut(bytes.begin(), bytes.begin() + long(pages[page_after(10.0)].end) + 100);
    const std::string path = folder / "cut.ogg";
    save(path, cut);
    Vorbis track;
    ASSERT_TRUE(track.open(path));
    play(track, 10);
    track.seek(track.total() - 0.01);
    const std::vector<Sint16> after = play(track, 100);
    EXPECT_LT(after.size(), 0.02 * 44100 * 2);
    EXPECT_EQ(play(track, 1).size(), 0u) << "the track did not end";
}

// Every file that once crashed a seek, through the engine's calls: open,
// a second of sound (the decoder reads ahead of it), seeks at several
// fractions of the length computed as the engine does, reading on.
TEST(damaged_tracks, files_that_once_crashed_a_seek_play_and_seek_without_harm) {
    std::vector<std::string> files = {SOURCE_DIR "/fuzz/corpus/vorbis/failed_seek.ogg"};
    for (const auto& entry : std::filesystem::directory_iterator(SOURCE_DIR "/fuzz/regressions/vorbis"))
        files.push_back(entry.path().string());
    ASSERT_GT(files.size(), 2u);
    for (const std::string& path : files) {
        CaptureStdout();
        Vorbis track;
        if (track.open(path)) {
            play(track, 48);
            for (float fraction : {0.5f, 1.0f, 0.9f, 0.2f, 0.97f, 0.0f}) {
                track.seek(static_cast<float>(track.total()) * fraction);
                EXPECT_GE(track.tell(), 0.0) << path;
                play(track, 12);
            }
        }
        GetCapturedStdout();
    }
}

// libvorbis accepts this setup header and then divides by zero decoding the
// first packets: the decoder drops the stream with one line and reads as
// ended, whether playing or seeking, and the object opens the next file.
TEST(damaged_tracks, a_setup_the_library_divides_by_zero_with_ends_the_track_with_one_line) {
    const std::string path = SOURCE_DIR "/fuzz/regressions/vorbis/setup_divides_by_zero.ogg";
    for (bool seek_first : {false, true}) {
        Vorbis track;
        CaptureStdout();
        ASSERT_TRUE(track.open(path));
        if (seek_first) track.seek(1.0);
        const std::vector<Sint16> pcm = play(track, 100);
        const std::string printed = GetCapturedStdout();
        EXPECT_EQ(printed, "vorbis fuckup\n") << (seek_first ? "seeking" : "playing");
        EXPECT_LT(pcm.size(), 100u * chunk / 2);
        EXPECT_TRUE(track.is_open());
        EXPECT_EQ(play(track, 1).size(), 0u);
        EXPECT_EQ(track.tell(), 0.0);
        TempFolder folder;
        OggSpec spec;
        ASSERT_TRUE(write_ogg(folder / "next.ogg", spec));
        ASSERT_TRUE(track.open(folder / "next.ogg"));
        EXPECT_EQ(play(track, 100).size(), size_t(2 * 44100));
    }
}
