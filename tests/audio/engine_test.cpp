#include "audio/engine.h"
#include "audio/playlist.h"
#include "audio/spectrum.h"
#include "audio/vorbis.h"
#include "ogg_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <thread>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::atomic<int> tracks_changed{0};
std::atomic<int> playback_stopped{0};
void count_track_changed() { ++tracks_changed; }
void count_playback_stopped() { ++playback_stopped; }

// Reads the state a screen handler reads, as on_track_changed does.
void read_track_like_the_screen() {
    TrackInfo info;
    current_track_info(info);
    ++tracks_changed;
}

int count_tasks() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// The process's threads once any helper thread of the runtime exists (a
// ThreadSanitizer build starts one with the first thread it sees).
int thread_count() {
    SDL_WaitThread(SDL_CreateThread([](void*) { return 0; }, nullptr), nullptr);
    return count_tasks();
}

constexpr int buffer_frames = 1024;
constexpr int buffer_bytes = 4 * buffer_frames;
constexpr Sint16 stale = 0x5a5a;  // what a layer that does not clear hands over

// The engine on SDL's dummy device. The test holds SDL_LockAudio from before
// playback starts, so SDL's own thread never runs the callback and every
// buffer below is one the test asked for.
class Engine : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0);
        init_spectrum(39);
        playlist.clear();
        // The test runs the decoder itself, between the buffers, as the
        // headless driver does.
        set_decoder_thread(false);
        tracks_changed = 0;
        playback_stopped = 0;
    }

    void TearDown() override { finish(); }

    // Unlocks SDL's thread and shuts the engine down; handler counts are
    // final afterwards.
    void finish() {
        if (locked) {
            // SDL's thread may have been waiting for its lock since the
            // device started, past its own pause check: once let go it
            // runs a callback (two at once on a fresh dummy device), which
            // must not step the track behind the counts' back.
            {
                dlib::auto_mutex lock(audio_lock);
                paused = true;
            }
            SDL_UnlockAudio();
        }
        locked = false;
        audio_shutdown();
        EXPECT_EQ(pending_notification_threads(), 0u);
    }

    std::string add_track(const std::string& name, long frames, OggSpec spec = OggSpec()) {
        spec.frames = frames;
        spec.frequency = 300 + 100 * double(playlist.size());
        const std::string path = folder / name;
        EXPECT_TRUE(write_ogg(path, spec));
        playlist.push_back(path);
        return path;
    }

    // Opens the device paused and locked before the engine starts it, so the
    // first track is loaded by the rewind and never touched by SDL's thread.
    void play() {
        SDL_AudioSpec wanted{};
        wanted.freq = 44100;
        wanted.format = AUDIO_S16LSB;
        wanted.channels = 2;
        wanted.samples = buffer_frames;
        wanted.callback = audio_callback;
        ASSERT_EQ(SDL_OpenAudio(&wanted, nullptr), 0);
        SDL_LockAudio();
        locked = true;
        rewind_engine();
        start_playback();
        ASSERT_TRUE(is_playing());
    }

    // One buffer, with whatever the decoder has to do before and after it
    // done: what the decoder thread does while the device plays.
    std::vector<Sint16> callback() {
        std::vector<Sint16> buffer(2 * buffer_frames, stale);
        while (audio_service()) {
        }
        audio_callback(nullptr, reinterpret_cast<Uint8*>(buffer.data()), buffer_bytes);
        while (audio_service()) {
        }
        return buffer;
    }

    // One buffer with nothing done by the decoder before or after it.
    std::vector<Sint16> buffer_alone() {
        std::vector<Sint16> buffer(2 * buffer_frames, stale);
        audio_callback(nullptr, reinterpret_cast<Uint8*>(buffer.data()), buffer_bytes);
        return buffer;
    }

    // Runs buffers until the fade-out under way has ended (at most limit).
    int run_fade_out(int limit = 20) {
        for (int n = 1; n <= limit; ++n) {
            callback();
            dlib::auto_mutex lock(audio_lock);
            if (fade_step >= 0 || paused)
                return n;
        }
        return -1;
    }

    // Closes the device and plays the first track afresh, with both counters
    // at 0; the rewind's own notification still counts one.
    void restart() {
        finish();
        tracks_changed = 0;
        playback_stopped = 0;
        play();
    }

    static std::vector<Sint16> slice(const std::vector<Sint16>& pcm, long frame, long frames) {
        std::vector<Sint16> part(2 * frames, 0);
        for (long i = 0; i < 2 * frames && 2 * frame + i < long(pcm.size()); ++i)
            part[i] = pcm[2 * frame + i];
        return part;
    }

    TempFolder folder;
    bool locked = false;
};

// The ramp as 32-bit float arithmetic runs it: the gain before each frame's
// increment scales that frame. Returns the frames that stayed in range.
int ramp(std::vector<Sint16>& samples, float start, float step) {
    float g = start;
    int frames = 0;
    for (std::size_t f = 0; 2 * f + 1 < samples.size() && g >= 0 && g <= 1; ++f, ++frames) {
        samples[2 * f] = Sint16(samples[2 * f] * g);
        samples[2 * f + 1] = Sint16(samples[2 * f + 1] * g);
        g += step;
    }
    return frames;
}

}  // namespace

TEST(fade, increment_has_its_exact_bit_pattern) {
    std::uint32_t bits;
    std::memcpy(&bits, &FADE_INCREMENT, sizeof bits);
    EXPECT_EQ(bits, 0x388ea9d5u);
}

TEST(fade, a_fade_out_keeps_the_gain_in_range_for_14702_frames) {
    std::vector<Sint16> input(2 * 16000);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = Sint16(i % 2 ? -30000 : 30000);
    std::vector<Sint16> expected = input;
    ASSERT_EQ(ramp(expected, 1.0f, -FADE_INCREMENT), 14702);
    std::fill(expected.begin() + 2 * 14702, expected.end(), 0);

    std::vector<Sint16> output = input;
    dlib::auto_mutex lock(audio_lock);
    gain = 1.0f;
    fade_step = -FADE_INCREMENT;
    pending_action = FadeAction::None;
    apply_fade(reinterpret_cast<Uint8*>(output.data()), int(output.size() * 2));
    // Frame 0 is played at 1.0 and frame 1 at 1 - step: the gain is applied before its increment.
    EXPECT_EQ(output[0], 30000);
    EXPECT_EQ(output[2], Sint16(30000 * (1.0f - FADE_INCREMENT)));
    EXPECT_EQ(output, expected);
    EXPECT_NE(output[2 * 14701], 0);
    EXPECT_EQ(gain, 0.0f);
}

TEST(fade, a_fade_in_from_silence_takes_14702_frames_then_leaves_the_rest_alone) {
    std::vector<Sint16> input(2 * 16000, 20000);
    std::vector<Sint16> expected = input;
    ASSERT_EQ(ramp(expected, 0.0f, FADE_INCREMENT), 14702);

    std::vector<Sint16> output = input;
    dlib::auto_mutex lock(audio_lock);
    gain = 0.0f;
    fade_step = FADE_INCREMENT;
    apply_fade(reinterpret_cast<Uint8*>(output.data()), int(output.size() * 2));
    EXPECT_EQ(output[0], 0);
    EXPECT_EQ(output, expected);
    EXPECT_EQ(output[2 * 14702], 20000);
    EXPECT_EQ(gain, 1.0f);
}

TEST(fade, a_ramp_split_over_buffers_equals_one_long_ramp) {
    std::vector<Sint16> whole(2 * 4096);
    for (std::size_t i = 0; i < whole.size(); ++i)
        whole[i] = Sint16((i * 7919) % 60001 - 30000);
    std::vector<Sint16> pieces = whole;
    dlib::auto_mutex lock(audio_lock);
    gain = 0.75f;
    fade_step = -FADE_INCREMENT;
    apply_fade(reinterpret_cast<Uint8*>(whole.data()), int(whole.size() * 2));
    const float end_gain = gain;
    gain = 0.75f;
    for (int part = 0; part < 4; ++part)
        apply_fade(reinterpret_cast<Uint8*>(pieces.data() + part * 2048), 4096);
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(gain, end_gain);
}

TEST(fade, full_level_without_a_step_leaves_the_stream_untouched) {
    std::vector<Sint16> samples(2 * 100, -12345);
    dlib::auto_mutex lock(audio_lock);
    gain = 1.0f;
    fade_step = 0;
    apply_fade(reinterpret_cast<Uint8*>(samples.data()), 400);
    EXPECT_EQ(samples, std::vector<Sint16>(2 * 100, -12345));
}

TEST(fade, an_odd_tail_of_a_frame_is_not_ramped) {
    std::vector<Sint16> samples(2 * 3, 10000);
    dlib::auto_mutex lock(audio_lock);
    gain = 0.5f;
    fade_step = 0;
    apply_fade(reinterpret_cast<Uint8*>(samples.data()), 10);  // two frames and two bytes
    EXPECT_EQ(samples[3], 5000);
    EXPECT_EQ(samples[4], 10000);
}

TEST_F(Engine, plays_the_track_as_decoded_at_full_level) {
    const std::string path = add_track("a.ogg", 44100);
    play();
    const std::vector<Sint16> pcm = decode_ogg(path);
    for (int b = 0; b < 5; ++b)
        ASSERT_EQ(callback(), slice(pcm, b * buffer_frames, buffer_frames)) << "buffer " << b;
}

TEST_F(Engine, pause_fades_out_over_14702_frames_then_stops_the_device) {
    const std::string path = add_track("a.ogg", 44100 * 3);
    play();
    const std::vector<Sint16> pcm = decode_ogg(path);
    callback();
    pause_playback();
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(pending_action, FadeAction::Pause);
        EXPECT_EQ(fade_step, -FADE_INCREMENT);
    }
    std::vector<Sint16> played;
    for (int b = 1; b <= 15; ++b) {
        const std::vector<Sint16> buffer = callback();
        played.insert(played.end(), buffer.begin(), buffer.end());
    }
    std::vector<Sint16> expected = slice(pcm, buffer_frames, 15 * buffer_frames);
    ASSERT_EQ(ramp(expected, 1.0f, -FADE_INCREMENT), 14702);
    std::fill(expected.begin() + 2 * 14702, expected.end(), 0);
    EXPECT_EQ(played, expected);
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_TRUE(paused);
        EXPECT_EQ(gain, 0.0f);
    }
    EXPECT_TRUE(is_playing());  // stopping: one more buffer
    EXPECT_EQ(callback(), std::vector<Sint16>(2 * buffer_frames, 0));
    EXPECT_FALSE(is_playing());

    // Resume fades back in from silence where the track was left.
    start_playback();
    EXPECT_TRUE(is_playing());
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_FALSE(paused);
        EXPECT_EQ(fade_step, FADE_INCREMENT);
    }
    played.clear();
    for (int b = 0; b < 16; ++b) {
        const std::vector<Sint16> buffer = callback();
        played.insert(played.end(), buffer.begin(), buffer.end());
    }
    expected = slice(pcm, 16 * buffer_frames, 16 * buffer_frames);
    ASSERT_EQ(ramp(expected, 0.0f, FADE_INCREMENT), 14702);
    EXPECT_EQ(played, expected);
    dlib::auto_mutex lock(audio_lock);
    EXPECT_EQ(gain, 1.0f);
}

TEST_F(Engine, two_next_requests_within_one_fade_step_one_track) {
    add_track("a.ogg", 44100);
    const std::string second = add_track("b.ogg", 44100);
    add_track("c.ogg", 44100);
    play();
    callback();
    next_track();
    callback();
    callback();
    next_track();
    EXPECT_GT(run_fade_out(), 0);
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(current_index, 1u);
        EXPECT_EQ(gain, 1.0f);
        EXPECT_EQ(fade_step, 0.0f);
    }
    // The new track starts at its beginning, at full level, with no fade-in.
    EXPECT_EQ(callback(), slice(decode_ogg(second), 0, buffer_frames));
}

// The listener's request still fading out when the track runs out: the
// track ends 5000 frames after it, long before the fade could. The end makes
// the one step (back for Previous); a pause stops at the next track's start.
TEST_F(Engine, a_request_fading_out_at_a_track_end_is_carried_out_by_the_end) {
    struct Row {
        const char* request;
        void (*call)();
        std::size_t index;  // where the end leaves the playlist
        bool paused;
    };
    const Row rows[] = {
        {"pause", pause_playback, 1, true},
        {"next", next_track, 1, false},
        {"previous", previous_track, 2, false},  // the track before the one that ended
        {"seek", [] { seek_fraction(0.25f); }, 1, false},  // dropped with its track
    };
    set_track_changed_handler(count_track_changed);
    const std::string tracks[] = {add_track("a.ogg", 3 * buffer_frames + 5000),
                                  add_track("b.ogg", 44100), add_track("c.ogg", 44100)};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        restart();
        for (int b = 0; b < 3; ++b)
            callback();
        row.call();
        for (int b = 0; b < 5; ++b)  // the fifth ends the track
            callback();
        const std::vector<Sint16> next_start = slice(decode_ogg(tracks[row.index]), 0, buffer_frames);
        {
            dlib::auto_mutex lock(audio_lock);
            EXPECT_EQ(current_index, row.index);
            EXPECT_EQ(paused, row.paused);
            EXPECT_EQ(seek_target, 0.0f);
            EXPECT_EQ(play_position(), 0.0);
        }
        if (row.paused) {
            // Silence, not the next track at full level; a start fades it in.
            EXPECT_EQ(callback(), std::vector<Sint16>(2 * buffer_frames, 0));
            EXPECT_FALSE(is_playing());
            start_playback();
            std::vector<Sint16> expected = next_start;
            ramp(expected, 0.0f, FADE_INCREMENT);
            EXPECT_EQ(callback(), expected);
        } else {
            EXPECT_EQ(callback(), next_start);
        }
        finish();
        EXPECT_EQ(tracks_changed.load(), 2);  // the rewind and the one step
    }
}

// The fade-out of a step or a seek ends in the very buffer in which the
// track comes up short: 15000 frames are left when it begins, and the gain
// reaches zero 14702 frames on, in the same 1024-frame buffer.
TEST_F(Engine, a_fade_out_ending_with_the_track_makes_the_only_move) {
    struct Row {
        const char* request;
        void (*call)();
        std::size_t index;
        int steps;
    };
    const Row rows[] = {
        {"next", next_track, 1, 1},
        {"previous", previous_track, 2, 1},
        {"seek", [] { seek_fraction(0.25f); }, 0, 0},  // the track plays on from there
    };
    set_track_changed_handler(count_track_changed);
    set_playback_stopped_handler(count_playback_stopped);
    const long first_length = 2 * buffer_frames + 15000;
    const std::string tracks[] = {add_track("a.ogg", first_length), add_track("b.ogg", 44100),
                                  add_track("c.ogg", 44100)};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        restart();
        callback();
        callback();
        row.call();
        for (int b = 0; b < 15; ++b)
            callback();
        {
            dlib::auto_mutex lock(audio_lock);
            EXPECT_EQ(current_index, row.index);
            EXPECT_FALSE(paused);
        }
        if (row.steps == 0) {
            dlib::auto_mutex lock(audio_lock);
            EXPECT_NEAR(play_position(), 0.25 * first_length / 44100, 0.001);
            EXPECT_EQ(fade_step, FADE_INCREMENT);
        } else {
            EXPECT_EQ(callback(), slice(decode_ogg(tracks[row.index]), 0, buffer_frames));
        }
        finish();
        EXPECT_EQ(tracks_changed.load(), 1 + row.steps);
        EXPECT_EQ(playback_stopped.load(), 0);
    }
}

// After the last track the engine is stopping: paused is set and the device
// runs one more, silent, buffer. A request then acts as while paused, and
// the next start plays from a track's start at full level, never fading out.
TEST_F(Engine, a_request_while_stopping_acts_as_while_paused) {
    struct Row {
        const char* request;
        void (*call)();
        std::size_t index;
    };
    const Row rows[] = {
        {"next", next_track, 1},
        {"previous", previous_track, 2},
        {"pause", pause_playback, 0},
        {"seek", [] { seek_fraction(0.5f); }, 0},
    };
    const std::string tracks[] = {add_track("a.ogg", 3000), add_track("b.ogg", 3000),
                                  add_track("c.ogg", 3000)};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        restart();
        for (int b = 0; b < 9; ++b)  // three buffers a track
            callback();
        ASSERT_TRUE(is_playing());
        row.call();
        EXPECT_EQ(callback(), std::vector<Sint16>(2 * buffer_frames, 0));
        ASSERT_FALSE(is_playing());
        start_playback();
        EXPECT_EQ(callback(), slice(decode_ogg(tracks[row.index]), 0, buffer_frames));
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(current_index, row.index);
        EXPECT_EQ(fade_step, 0.0f);
    }
}

// At the last track's end only an end without a request stops: a Next
// still fading out wraps and plays the first track, as a Next pressed
// earlier does; a Previous goes back to the track before the last.
TEST_F(Engine, at_the_last_tracks_end_a_pending_next_plays_the_first_track) {
    struct Row {
        const char* request;
        void (*call)();
        std::size_t index;
        bool paused;
        int stopped;
    };
    const Row rows[] = {
        {"none", [] {}, 0, true, 1},
        {"next", next_track, 0, false, 0},
        {"previous", previous_track, 1, false, 0},
    };
    set_track_changed_handler(count_track_changed);
    set_playback_stopped_handler(count_playback_stopped);
    const std::string tracks[] = {add_track("a.ogg", 3000), add_track("b.ogg", 3000),
                                  add_track("c.ogg", 3 * buffer_frames + 5000)};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        restart();
        for (int b = 0; b < 6 + 3; ++b)  // the first two tracks and most of the last
            callback();
        row.call();  // 5000 frames (0.11 s) before the end
        for (int b = 0; b < 5; ++b)  // the fifth ends the track
            callback();
        {
            dlib::auto_mutex lock(audio_lock);
            EXPECT_EQ(current_index, row.index);
            EXPECT_EQ(paused, row.paused);
        }
        if (row.paused)
            EXPECT_EQ(callback(), std::vector<Sint16>(2 * buffer_frames, 0));
        else
            EXPECT_EQ(callback(), slice(decode_ogg(tracks[row.index]), 0, buffer_frames));
        finish();
        EXPECT_EQ(tracks_changed.load(), 4);  // the rewind and three steps
        EXPECT_EQ(playback_stopped.load(), row.stopped);
    }
}

// The decoder held up on purpose (its lock taken here, a decoding step
// waiting for it on another thread) while the listener steps or seeks:
// every buffer still comes back, with the sound decoded before or with
// silence, never stale bytes; once let go the decoder carries on.
TEST_F(Engine, the_callback_never_waits_for_a_decoder_held_up) {
    struct Row {
        const char* request;
        void (*call)();
        int next_track_plays;
    };
    const Row rows[] = {{"next", next_track, 1}, {"seek", [] { seek_fraction(0.5f); }, 0}};
    const std::string first = add_track("a.ogg", 44100 * 3);
    const std::string second = add_track("b.ogg", 44100);
    const std::vector<Sint16> pcm = decode_ogg(first);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        restart();
        EXPECT_EQ(callback(), slice(pcm, 0, buffer_frames));
        std::unique_lock<std::mutex> latch(decoder_lock);
        std::thread decoder([] { audio_service(); });
        for (int b = 1; b < 4; ++b)
            EXPECT_EQ(buffer_alone(), slice(pcm, b * buffer_frames, buffer_frames));
        row.call();
        for (int b = 0; b < 15; ++b)  // the fade-out, from what was decoded before
            buffer_alone();
        for (int b = 0; b < 5; ++b)
            EXPECT_EQ(buffer_alone(), std::vector<Sint16>(2 * buffer_frames, 0));
        EXPECT_TRUE(is_playing());
        if (!row.next_track_plays) {
            EXPECT_EQ(position_fraction(), 0.5f);  // the target, until the decoder is there
        }
        latch.unlock();
        decoder.join();
        if (row.next_track_plays) {
            EXPECT_EQ(callback(), slice(decode_ogg(second), 0, buffer_frames));
        } else {
            std::vector<Sint16> expected = slice(pcm, 3 * 44100 / 2, buffer_frames);
            ramp(expected, 0.0f, FADE_INCREMENT);
            const std::vector<Sint16> heard = callback();
            // The first frames are lapped with the sound before the seek.
            EXPECT_EQ(std::vector<Sint16>(heard.begin() + 512, heard.end()),
                      std::vector<Sint16>(expected.begin() + 512, expected.end()));
        }
    }
}

// A seek in a damaged track decodes its way to the target in slices, each
// a bounded step of the decoder, and lands on the very sample the decoder
// alone lands on.
TEST_F(Engine, a_seek_in_a_damaged_track_is_made_in_slices_and_lands_on_the_same_sample) {
    const std::string path = add_track("a.ogg", 44100 * 20);
    {
        FILE* file = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        std::fseek(file, 0, SEEK_END);
        std::fseek(file, std::ftell(file) / 2, SEEK_SET);
        std::fwrite("sixteen bytes!!!", 1, 16, file);
        std::fclose(file);
    }
    play();
    callback();
    TrackInfo info;
    const float target = static_cast<float>(current_track_info(info).length) * 0.75f;
    Vorbis alone;
    ASSERT_TRUE(alone.open(path));
    alone.seek(target);
    std::vector<Sint16> expected(2 * buffer_frames);
    ASSERT_EQ(alone.read(expected.data(), buffer_bytes), buffer_bytes);
    ramp(expected, 0.0f, FADE_INCREMENT);

    seek_fraction(0.75f);
    for (int b = 0; b < 15; ++b)
        buffer_alone();
    auto seeking = [] {
        dlib::auto_mutex lock(audio_lock);
        return seek_target != 0;  // shown until the decoder is there
    };
    int steps = 0;
    while (seeking() && steps < 1000) {
        ASSERT_TRUE(audio_service());
        ++steps;
    }
    EXPECT_GT(steps, 5);  // 15 s of sound, a slice at most 0.74 s
    EXPECT_EQ(callback(), expected);
}

TEST_F(Engine, previous_on_the_first_track_goes_to_the_last) {
    add_track("a.ogg", 44100);
    add_track("b.ogg", 44100);
    const std::string last = add_track("c.ogg", 44100);
    play();
    previous_track();
    EXPECT_GT(run_fade_out(), 0);
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(current_index, 2u);
    }
    EXPECT_EQ(callback(), slice(decode_ogg(last), 0, buffer_frames));
}

TEST_F(Engine, a_seek_shows_its_target_while_fading_then_fades_in_there) {
    add_track("a.ogg", 44100 * 3);
    play();
    callback();
    seek_fraction(0.5f);
    EXPECT_EQ(position_fraction(), 0.5f);
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(pending_action, FadeAction::Seek);
        EXPECT_EQ(seek_target, 1.5f);
    }
    EXPECT_EQ(run_fade_out(), 15);
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(pending_action, FadeAction::None);
        EXPECT_EQ(seek_target, 0.0f);
        EXPECT_EQ(gain, 0.0f);
        EXPECT_EQ(fade_step, FADE_INCREMENT);
        EXPECT_NEAR(play_position(), 1.5, 0.01);
    }
    const std::vector<Sint16> buffer = callback();
    EXPECT_EQ(buffer[0], 0);  // the fade-in starts from silence
    EXPECT_NE(buffer, std::vector<Sint16>(2 * buffer_frames, 0));
    EXPECT_NEAR(position_fraction(), (1.5 + 1024 / 44100.0) / 3, 0.005);
}

TEST_F(Engine, seeking_to_0_shows_the_live_position_during_the_fade) {
    add_track("a.ogg", 44100 * 3);
    play();
    for (int b = 0; b < 4; ++b)
        callback();
    seek_fraction(0.0f);
    const float live = float(4 * 1024 / 44100.0 / 3);
    EXPECT_NEAR(position_fraction(), live, 1e-4);
    callback();
    EXPECT_GT(position_fraction(), live);
    run_fade_out();
    EXPECT_NEAR(position_fraction(), 0.0f, 1e-4);
}

TEST_F(Engine, a_seek_replaced_by_next_is_dropped) {
    add_track("a.ogg", 44100 * 3);
    const std::string second = add_track("b.ogg", 44100 * 2);
    play();
    callback();
    seek_fraction(0.5f);
    callback();
    next_track();
    EXPECT_EQ(position_fraction(), 0.5f);  // the target stays shown until the fade ends
    run_fade_out();
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(current_index, 1u);
        EXPECT_EQ(seek_target, 0.0f);
    }
    EXPECT_EQ(position_fraction(), 0.0f);
    EXPECT_EQ(callback(), slice(decode_ogg(second), 0, buffer_frames));
}

TEST_F(Engine, a_seek_replaced_by_pause_pauses_where_the_track_was) {
    add_track("a.ogg", 44100 * 3);
    play();
    callback();
    seek_fraction(0.9f);
    pause_playback();
    run_fade_out();
    dlib::auto_mutex lock(audio_lock);
    EXPECT_TRUE(paused);
    EXPECT_EQ(seek_target, 0.0f);
    EXPECT_NEAR(play_position(), 16 * 1024 / 44100.0, 0.001);
}

TEST_F(Engine, a_seek_overtaken_by_the_track_end_leaves_no_target_behind) {
    add_track("a.ogg", 12000);
    add_track("b.ogg", 44100);
    play();
    callback();
    callback();
    seek_fraction(0.5f);  // fewer frames left than the fade needs
    for (int b = 0; b < 10; ++b)
        callback();
    {
        dlib::auto_mutex lock(audio_lock);
        ASSERT_EQ(current_index, 1u);
        EXPECT_EQ(seek_target, 0.0f);
    }
    const float before = position_fraction();
    callback();
    EXPECT_GT(position_fraction(), before);
    EXPECT_LT(position_fraction(), 0.5f);
}

TEST_F(Engine, a_track_end_silences_the_rest_of_the_buffer_and_the_next_starts_on_the_next) {
    const std::string first = add_track("a.ogg", 5000);
    const std::string second = add_track("b.ogg", 44100);
    play();
    const std::vector<Sint16> pcm = decode_ogg(first);
    for (int b = 0; b < 4; ++b)
        ASSERT_EQ(callback(), slice(pcm, b * buffer_frames, buffer_frames));
    // Frames 4096 to 4999 and then silence, not the stale bytes of the buffer.
    EXPECT_EQ(callback(), slice(pcm, 4 * buffer_frames, buffer_frames));
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(current_index, 1u);
        EXPECT_FALSE(paused);
    }
    EXPECT_EQ(callback(), slice(decode_ogg(second), 0, buffer_frames));
}

TEST_F(Engine, playback_stops_after_the_last_track_with_the_first_loaded) {
    set_track_changed_handler(count_track_changed);
    set_playback_stopped_handler(count_playback_stopped);
    const std::string first = add_track("a.ogg", 3000);
    add_track("b.ogg", 3000);
    play();
    for (int b = 0; b < 6; ++b)
        callback();
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(current_index, 0u);
        EXPECT_TRUE(paused);
    }
    EXPECT_EQ(callback(), std::vector<Sint16>(2 * buffer_frames, 0));
    EXPECT_FALSE(is_playing());

    // The next start plays the first track from its beginning at full level.
    start_playback();
    EXPECT_EQ(callback(), slice(decode_ogg(first), 0, buffer_frames));
    finish();
    // One for the rewind, one per track change.
    EXPECT_EQ(tracks_changed.load(), 3);
    EXPECT_EQ(playback_stopped.load(), 1);
}

TEST_F(Engine, a_single_track_plays_once) {
    set_playback_stopped_handler(count_playback_stopped);
    const std::string only = add_track("a.ogg", 3000);
    play();
    const std::vector<Sint16> pcm = decode_ogg(only);
    EXPECT_EQ(callback(), slice(pcm, 0, buffer_frames));
    EXPECT_EQ(callback(), slice(pcm, buffer_frames, buffer_frames));
    EXPECT_EQ(callback(), slice(pcm, 2 * buffer_frames, buffer_frames));  // ends here
    EXPECT_EQ(callback(), std::vector<Sint16>(2 * buffer_frames, 0));
    EXPECT_FALSE(is_playing());
    finish();
    EXPECT_EQ(playback_stopped.load(), 1);
}

TEST_F(Engine, next_while_paused_switches_at_once_and_resumes_at_full_level) {
    add_track("a.ogg", 44100 * 2);
    const std::string second = add_track("b.ogg", 44100);
    play();
    callback();
    pause_playback();
    run_fade_out();
    callback();
    ASSERT_FALSE(is_playing());
    next_track();
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(current_index, 1u);
        EXPECT_EQ(gain, 1.0f);
    }
    start_playback();
    EXPECT_EQ(callback(), slice(decode_ogg(second), 0, buffer_frames));
}

TEST_F(Engine, a_track_that_fails_to_open_pauses_until_the_listener_moves_on) {
    set_track_changed_handler(count_track_changed);
    add_track("a.ogg", 44100);
    OggSpec mono;
    mono.channels = 1;
    const std::string broken = add_track("b.ogg", 44100, mono);
    const std::string third = add_track("c.ogg", 44100);
    play();
    callback();
    next_track();
    CaptureStdout();
    run_fade_out();
    EXPECT_EQ(GetCapturedStdout(), "not stereo " + broken + "\nfailed to open: " + broken + "\n");
    EXPECT_EQ(callback(), std::vector<Sint16>(2 * buffer_frames, 0));
    EXPECT_FALSE(is_playing());

    // Every attempt reports again; the list keeps the file.
    CaptureStdout();
    start_playback();
    EXPECT_EQ(callback(), std::vector<Sint16>(2 * buffer_frames, 0));
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(playlist.size(), 3u);

    next_track();
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(current_index, 2u);
        EXPECT_TRUE(track_loaded());
    }
    start_playback();
    EXPECT_EQ(callback(), slice(decode_ogg(third), 0, buffer_frames));
    finish();
    // The rewind and the third track; none for the broken one.
    EXPECT_EQ(tracks_changed.load(), 2);
}

TEST_F(Engine, an_empty_playlist_says_so_on_every_start_and_leaves_the_device_closed) {
    set_playback_stopped_handler(count_playback_stopped);
    CaptureStdout();
    start_playback();
    start_playback();
    EXPECT_EQ(GetCapturedStdout(), "nothing to play\nnothing to play\n");
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
    next_track();
    previous_track();
    finish();
    EXPECT_EQ(playback_stopped.load(), 2);
}

TEST_F(Engine, the_first_start_opens_the_device_and_announces_the_track_twice) {
    set_track_changed_handler(count_track_changed);
    add_track("a.ogg", 44100 * 2);
    CaptureStdout();
    start_playback();
    EXPECT_EQ(GetCapturedStdout(), "buffer size: 1024 (23 ms)\n");
    EXPECT_TRUE(is_playing());
    start_playback();  // already playing: nothing happens
    finish();
    EXPECT_EQ(tracks_changed.load(), 2);
}

TEST_F(Engine, without_a_track_the_queries_report_nothing_open) {
    EXPECT_EQ(position_fraction(), 0.0f);
    TrackInfo info;
    info.artist = "stale";
    info.title = "stale";
    info.comment = "stale";
    info.length = 99;
    info.index = 7;
    EXPECT_EQ(&current_track_info(info), &info);
    EXPECT_EQ(info.artist + info.title + info.comment, "");
    EXPECT_EQ(info.length, 0.0);
    EXPECT_EQ(info.index, -1);
}

TEST_F(Engine, track_info_carries_the_tags_length_and_index) {
    add_track("a.ogg", 4410);
    OggSpec tagged;
    tagged.tags = {"ARTIST=Vellum", "title=Bra", "COMMENT=" + std::string(100000, 'c')};
    add_track("b.ogg", 88200, tagged);
    next_track();  // not playing: switches at once
    wait_for_decoder();
    TrackInfo info;
    current_track_info(info);
    EXPECT_EQ(info.artist, "Vellum");
    EXPECT_EQ(info.title, "Bra");
    EXPECT_EQ(info.comment, std::string(100000, 'c'));
    EXPECT_NEAR(info.length, 2.0, 1e-6);
    EXPECT_EQ(info.index, 1);
}

TEST_F(Engine, transport_while_stopped_changes_only_what_it_should) {
    add_track("a.ogg", 4410);
    add_track("b.ogg", 4410);
    pause_playback();
    seek_fraction(0.5f);
    {
        dlib::auto_mutex lock(audio_lock);
        EXPECT_EQ(fade_step, 0.0f);
        EXPECT_EQ(seek_target, 0.0f);
        EXPECT_EQ(pending_action, FadeAction::Pause);
    }
    previous_track();
    dlib::auto_mutex lock(audio_lock);
    EXPECT_EQ(current_index, 1u);
}

TEST_F(Engine, handlers_run_on_threads_that_are_all_reclaimed) {
    add_track("a.ogg", 4410);
    add_track("b.ogg", 4410);
    set_track_changed_handler(read_track_like_the_screen);
    const int baseline = thread_count();
    for (int i = 0; i < 2000; ++i) {
        (i % 3 ? next_track : previous_track)();
        wait_for_decoder();
    }
    finish();
    EXPECT_EQ(tracks_changed.load(), 2000);
    EXPECT_EQ(thread_count(), baseline);
}

TEST_F(Engine, a_seek_to_no_number_is_ignored) {
    add_track("a.ogg", 44100);
    play();
    callback();
    seek_fraction(std::nanf(""));
    seek_fraction(INFINITY);
    dlib::auto_mutex lock(audio_lock);
    EXPECT_EQ(fade_step, 0.0f);
    EXPECT_EQ(seek_target, 0.0f);
    EXPECT_EQ(pending_action, FadeAction::Pause);
}

TEST(engine_device, a_missing_device_prints_a_zero_buffer_size_and_retries_on_the_next_start) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    SDL_Init(0);
    TempFolder folder;
    playlist = {folder / "a.ogg"};
    OggSpec spec;
    ASSERT_TRUE(write_ogg(playlist[0], spec));
    CaptureStdout();
    start_playback();
    start_playback();
    EXPECT_EQ(GetCapturedStdout(),
              "buffer size: 0 (0 ms)\ncan't open audio device\n"
              "buffer size: 0 (0 ms)\ncan't open audio device\n");
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
    EXPECT_FALSE(track_loaded());
    audio_shutdown();
    SDL_Quit();
}

// SDL's own audio thread runs the callback (disk driver into /dev/null, no
// delay) while this thread hammers every entry point. Run under
// ThreadSanitizer; the test itself checks that it ends and leaves no thread.
TEST(engine_stress, transport_against_a_live_callback_is_race_free) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0);
    TempFolder folder;
    init_spectrum(39);
    playlist.clear();
    for (int i = 0; i < 3; ++i) {
        OggSpec spec;
        spec.frames = 11025 * (i + 1);
        playlist.push_back(folder / (std::to_string(i) + ".ogg"));
        ASSERT_TRUE(write_ogg(playlist.back(), spec));
    }
    set_track_changed_handler(read_track_like_the_screen);
    set_playback_stopped_handler(count_playback_stopped);
    const int baseline = thread_count();
    set_decoder_thread(true);

    std::vector<Uint8> bars(display_band_limit, 0);
    Uint8* levels = bars.data();
    std::uint32_t seed = 12345;
    start_playback();
    for (int i = 0; i < 10000; ++i) {
        // Every 25 requests, let SDL's thread run at least one callback (the
        // capture marks the levels ready) so the two really interleave.
        if (i % 25 == 0 && is_playing()) {
            fetch_spectrum(&levels);
            for (int wait = 0; wait < 100 && is_playing(); ++wait) {
                {
                    dlib::auto_mutex lock(audio_lock);
                    if (spectrum_state == Ready)
                        break;
                }
                SDL_Delay(1);
            }
        }
        seed = seed * 1664525u + 1013904223u;
        switch ((seed >> 16) % 9) {
        case 0: next_track(); break;
        case 1: previous_track(); break;
        case 2: pause_playback(); break;
        case 3: case 4: start_playback(); break;
        case 5: seek_fraction(float((seed >> 8) % 100) / 100); break;
        case 6: position_fraction(); break;
        case 7: { TrackInfo info; current_track_info(info); break; }
        case 8: fetch_spectrum(&levels); break;
        }
    }
    audio_shutdown();
    set_decoder_thread(false);
    EXPECT_EQ(pending_notification_threads(), 0u);
    EXPECT_EQ(thread_count(), baseline);
    SDL_Quit();
}
