// Whole runs of build/tools/record on a disk of its own (the assembled
// data, two short test tracks), decoded again with ffmpeg's libraries: the
// lossless file against capture's frames and the engine's own sound, the
// shareable ones for their streams and length, and the refusals for what
// they leave behind.
#include "audio/engine.h"
#include "audio/ogg_writer.h"
#include "tools/capture/video_writer.h"

#include <gtest/gtest.h>
#include <lodepng.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int width = 640;
constexpr int height = 400;
constexpr int samples_per_frame = 1470;

// Two tracks that end during the intro, so the playlist has stopped when
// the player screen appears and only the scripted keys bring sound back.
struct TestDisk {
    TempFolder root;
    std::string disk = root / "disk";
    TestDisk() {
        fs::create_directories(disk + "/music");
        fs::create_symlink(fs::path(DISK_DIR) / "data", disk + "/data");
        OggSpec first;
        first.frames = 2 * 44100;
        first.tags = {"ARTIST=Test", "TITLE=First"};
        OggSpec second;
        second.frames = 44100 * 3 / 2;
        second.frequency = 660;
        second.tags = {"ARTIST=Test", "TITLE=Second", "COMMENT=scrolling along"};
        EXPECT_TRUE(write_ogg(disk + "/music/01.ogg", first));
        EXPECT_TRUE(write_ogg(disk + "/music/02.ogg", second));
    }
};

std::string shell_word(const std::string& s) {
    return "'" + s + "'";
}

// Runs a command line; its stderr comes back in err.
int run(const std::string& command, std::string* err = nullptr, const std::string& err_file = "/dev/null") {
    const int status = std::system((command + " >/dev/null 2>" + shell_word(err_file)).c_str());
    if (err) {
        std::ifstream in(err_file);
        std::stringstream text;
        text << in.rdbuf();
        *err = text.str();
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Decoded {
    std::string video_codec, audio_codec;
    int width = 0, height = 0, sample_rate = 0;
    AVRational frame_rate{0, 1};
    double duration = 0;                      // the container's, in seconds
    long long pictures = 0, samples = 0;      // decoded, per channel for sound
    std::vector<std::vector<uint8_t>> bgr0;   // pictures as B, G, R, 0 bytes, when asked
    std::vector<int16_t> pcm;                 // interleaved, when the sound is 16-bit
};

void drain(AVCodecContext* codec, AVFrame* frame, Decoded& out, bool keep) {
    while (avcodec_receive_frame(codec, frame) == 0) {
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++out.pictures;
            if (keep && frame->format == AV_PIX_FMT_BGR0) {
                std::vector<uint8_t> bgr0(size_t(frame->width) * frame->height * 4);
                for (int y = 0; y < frame->height; ++y)
                    std::memcpy(&bgr0[size_t(y) * frame->width * 4], frame->data[0] + y * frame->linesize[0],
                                size_t(frame->width) * 4);
                out.bgr0.push_back(std::move(bgr0));
            }
        } else {
            out.samples += frame->nb_samples;
            if (frame->format == AV_SAMPLE_FMT_S16) {
                const int16_t* s = reinterpret_cast<const int16_t*>(frame->data[0]);
                out.pcm.insert(out.pcm.end(), s, s + 2 * frame->nb_samples);
            }
        }
        av_frame_unref(frame);
    }
}

// Every packet of both streams through the decoders, flushed at the end.
Decoded decode(const std::string& path, bool keep_pictures) {
    Decoded out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        ADD_FAILURE() << "cannot open " << path;
        return out;
    }
    avformat_find_stream_info(format, nullptr);
    out.duration = double(format->duration) / AV_TIME_BASE;
    std::vector<AVCodecContext*> codecs(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* par = format->streams[i]->codecpar;
        const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
        codecs[i] = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(codecs[i], par);
        avcodec_open2(codecs[i], decoder, nullptr);
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            out.video_codec = avcodec_get_name(par->codec_id);
            out.width = par->width;
            out.height = par->height;
            out.frame_rate = format->streams[i]->avg_frame_rate;
        } else {
            out.audio_codec = avcodec_get_name(par->codec_id);
            out.sample_rate = par->sample_rate;
        }
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (av_read_frame(format, packet) >= 0) {
        AVCodecContext* codec = codecs[packet->stream_index];
        if (avcodec_send_packet(codec, packet) == 0) drain(codec, frame, out, keep_pictures);
        av_packet_unref(packet);
    }
    for (AVCodecContext* codec : codecs) {
        avcodec_send_packet(codec, nullptr);
        drain(codec, frame, out, keep_pictures);
        avcodec_free_context(&codec);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return out;
}

// The engine's own sound for frames [first, first + count), pulled in this
// process as the device would, with the transport calls the keys make.
std::vector<int16_t> engine_sound(const std::string& disk, int first, int count,
                                  const std::vector<std::pair<int, void (*)()>>& transport) {
    const fs::path here = fs::current_path();
    fs::current_path(disk);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SDL_Init(SDL_INIT_AUDIO);
    audio_init(39);
    set_decoder_thread(false);
    start_playback();
    SDL_LockAudio();
    rewind_engine();
    std::vector<int16_t> sound, buffer(2 * samples_per_frame);
    for (int frame = 0; frame < first + count; ++frame) {
        for (const auto& [at, action] : transport)
            if (at == frame) action();
        std::fill(buffer.begin(), buffer.end(), 0);
        while (audio_service()) {
        }
        if (is_playing())
            audio_callback(nullptr, reinterpret_cast<Uint8*>(buffer.data()), int(buffer.size() * 2));
        while (audio_service()) {
        }
        if (frame >= first) sound.insert(sound.end(), buffer.begin(), buffer.end());
    }
    SDL_UnlockAudio();
    audio_shutdown();
    fs::current_path(here);
    return sound;
}

std::vector<uint8_t> captured(const std::string& folder, int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%04d.png", frame);
    std::vector<uint8_t> rgb;
    unsigned w = 0, h = 0;
    EXPECT_EQ(lodepng::decode(rgb, w, h, folder + name, LCT_RGB, 8), 0u) << folder + name;
    return rgb;
}

// True when a decoded picture is the captured one enlarged by whole pixels,
// as the recorder's --scale does.
bool same_picture(const std::vector<uint8_t>& bgr0, const std::vector<uint8_t>& rgb, int factor) {
    if (bgr0.size() != rgb.size() / 3 * 4 * factor * factor) return false;
    const uint8_t* d = bgr0.data();
    for (int y = 0; y < height * factor; ++y) {
        const uint8_t* row = &rgb[size_t(y / factor) * width * 3];
        for (int x = 0; x < width * factor; ++x, d += 4) {
            const uint8_t* c = row + (x / factor) * 3;
            if (d[0] != c[2] || d[1] != c[1] || d[2] != c[0] || d[3] != 0) return false;
        }
    }
    return true;
}

// A tool started in the background, its output thrown away, or sent into a
// pipe whose reader has already gone (as with "| head" once head is done).
struct RunningTool {
    pid_t pid;
    std::string stage;  // the staging folder its headless program makes
};

RunningTool start_tool(const char* program, const std::vector<std::string>& arguments, bool into_closed_pipe) {
    int ends[2] = {-1, -1};
    if (into_closed_pipe) {
        EXPECT_EQ(pipe(ends), 0);
    }
    const pid_t child = fork();
    if (child == 0) {
        const int output = into_closed_pipe ? ends[1] : open("/dev/null", O_WRONLY);
        if (into_closed_pipe) close(ends[0]);
        dup2(output, 1);
        dup2(output, 2);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    if (into_closed_pipe) {
        close(ends[0]);
        close(ends[1]);
    }
    return {child, (fs::temp_directory_path() / ("diskplayer-headless-" + std::to_string(child))).string()};
}

// The exit status, or 128 + the signal that ended it, as a shell reports it.
int exit_status(const RunningTool& tool) {
    int status = 0;
    waitpid(tool.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void start_if_stopped() {
    if (!is_playing()) start_playback();
}

}  // namespace

// The intro's first three seconds (both tracks, the change between them)
// enlarged twice, and two seconds across the start of the player screen
// with the keys restarting the music and skipping to the next track.
TEST(record, lossless_file_holds_captures_frames_and_the_engines_sound) {
    struct Case {
        const char* what;
        double from, seconds;
        int scale;
        const char* keys;
        std::vector<std::pair<int, void (*)()>> transport;
    };
    const Case cases[] = {
        {"intro", 0, 3, 2, "", {}},
        {"player", 36.8, 2, 1, "37.2:space, 37.6:Right", {{1116, start_if_stopped}, {1128, next_track}}},
    };
    TestDisk disk;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int first = int(c.from * 30 + 0.5), count = int(c.seconds * 30 + 0.5);
        const std::string video = disk.root / (std::string(c.what) + ".mkv");
        const std::string frames = disk.root / c.what;
        char options[160];
        std::snprintf(options, sizeof options, " --from %g --seconds %g --scale %d --keys '%s'", c.from,
                      c.seconds, c.scale, c.keys);
        std::string err;
        ASSERT_EQ(run(std::string(RECORD_PROGRAM) + " " + shell_word(disk.disk) + " " + shell_word(video) + options,
                      &err, disk.root / "err"),
                  0)
            << err;
        // Not a terminal: plain lines, the last one the whole recording.
        EXPECT_EQ(err.find('\r'), std::string::npos);
        EXPECT_NE(err.find("100%"), std::string::npos) << err;

        std::string capture = std::string(CAPTURE_PROGRAM) + " --keys '" + c.keys + "' " + shell_word(disk.disk) +
                              " " + shell_word(frames);
        for (int f = first; f < first + count; ++f) capture += " " + std::to_string(f);
        ASSERT_EQ(run(capture), 0);

        const Decoded got = decode(video, true);
        EXPECT_EQ(got.video_codec, "ffv1");
        EXPECT_EQ(got.audio_codec, "flac");
        EXPECT_EQ(got.width, width * c.scale);
        EXPECT_EQ(got.height, height * c.scale);
        EXPECT_EQ(av_cmp_q(got.frame_rate, AVRational{30, 1}), 0);
        EXPECT_NEAR(got.duration, c.seconds, 0.0015);  // Matroska counts in milliseconds
        ASSERT_EQ(got.pictures, count);
        ASSERT_EQ(got.bgr0.size(), size_t(count));
        int differing = 0;
        for (int i = 0; i < count; ++i)
            if (!same_picture(got.bgr0[i], captured(frames, first + i), c.scale) && differing++ < 3)
                ADD_FAILURE() << "frame " << first + i << " differs from capture's";

        const std::vector<int16_t> expected = engine_sound(disk.disk, first, count, c.transport);
        EXPECT_EQ(got.samples, (long long)count * samples_per_frame);
        ASSERT_EQ(got.pcm.size(), expected.size());
        EXPECT_TRUE(got.pcm == expected);
        EXPECT_NE(std::count(expected.begin(), expected.end(), 0), (long)expected.size()) << "silent";
    }
}

TEST(record, shareable_files_have_their_streams_and_length) {
    struct Case {
        const char* name;
        const char* video_codec;
        const char* audio_codec;
        int sample_rate;
    };
    const Case cases[] = {{"share.mp4", "h264", "aac", 44100}, {"share.webm", "vp9", "opus", 48000}};
    TestDisk disk;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string video = disk.root / c.name;
        std::string err;
        ASSERT_EQ(run(std::string(RECORD_PROGRAM) + " --seconds 2 --quiet " + shell_word(disk.disk) + " " +
                          shell_word(video), &err, disk.root / "err"),
                  0)
            << err;
        const Decoded got = decode(video, false);
        EXPECT_EQ(got.video_codec, c.video_codec);
        EXPECT_EQ(got.audio_codec, c.audio_codec);
        EXPECT_EQ(got.sample_rate, c.sample_rate);
        EXPECT_EQ(got.width, width);
        EXPECT_EQ(got.height, height);
        EXPECT_EQ(av_cmp_q(got.frame_rate, AVRational{30, 1}), 0);
        EXPECT_NEAR(got.duration, 2.0, 0.05);
        EXPECT_EQ(got.pictures, 60);
        // One encoder frame of priming or padding at most.
        EXPECT_NEAR(double(got.samples), 2.0 * c.sample_rate, 1024);
    }
}

// Each refusal is one line on stderr and leaves neither the file nor its
// temporary twin; an interrupt does the same for a recording under way.
TEST(record, refusals_and_interrupts_leave_no_file) {
    TestDisk disk;
    const std::string no_data = disk.root / "no-data";
    fs::create_directories(no_data);
    const std::string folder = disk.root / "folder.mkv";
    fs::create_directories(folder);
    struct Case {
        std::string disk, out, options, message;
    };
    const Case cases[] = {
        {no_data, disk.root / "a.mkv", "", "no data file"},
        {disk.disk, folder, "", "is a folder"},
        {disk.disk, disk.root / "a.avi", "", "unknown kind of video"},
        {disk.disk, disk.root / "missing/a.mkv", "", "cannot write"},
        {disk.disk, disk.root / "a.mkv", "--keys '1:Right,2:Nope'", "unknown key \"Nope\""},
        {disk.disk, disk.root / "a.mkv", "--scale 4", "--scale"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out + " " + c.options);
        std::string err;
        EXPECT_EQ(run(std::string(RECORD_PROGRAM) + " --seconds 1 " + c.options + " " + shell_word(c.disk) + " " +
                          shell_word(c.out), &err, disk.root / "err"),
                  1);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(fs::exists(c.out) && c.out != folder);
        EXPECT_FALSE(fs::exists(c.out + ".part"));
    }
    EXPECT_TRUE(fs::is_empty(folder));

    // Interrupted once frames are being written: Ctrl-C, a polite kill, and
    // a reader that has gone from the pipe the progress goes to.
    for (int signal : {SIGINT, SIGTERM, SIGPIPE}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string out = disk.root / "long.mkv";
        const RunningTool record = start_tool(RECORD_PROGRAM, {disk.disk, out, "--seconds", "600"}, signal == SIGPIPE);
        if (signal != SIGPIPE) {
            for (int i = 0; i < 6000 && (!fs::exists(out + ".part") || fs::file_size(out + ".part") < 100000); ++i)
                usleep(10000);
            EXPECT_TRUE(fs::exists(out + ".part"));
            kill(record.pid, signal);
        }
        EXPECT_EQ(exit_status(record), 128 + signal);
        EXPECT_FALSE(fs::exists(out));
        EXPECT_FALSE(fs::exists(out + ".part"));
        EXPECT_FALSE(fs::exists(record.stage));
    }
}

// A stop asked for while the last of the file is written still leaves no
// file: the encoders' flush can take seconds.
TEST(record, stop_during_the_final_write_leaves_no_file) {
    TempFolder root;
    const std::string out = root / "late.mkv";
    VideoWriter writer;
    std::string error;
    ASSERT_TRUE(writer.open(out, width, height, error)) << error;
    SDL_Surface* picture = SDL_CreateRGBSurface(0, width, height, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    const std::vector<Sint16> sound(2 * samples_per_frame);
    EXPECT_TRUE(writer.write_picture(picture, error) && writer.write_sound(sound.data(), samples_per_frame, error));
    SDL_FreeSurface(picture);
    const std::atomic<bool> stop{true};
    EXPECT_FALSE(writer.finish(stop, error));
    EXPECT_NE(error.find("interrupted"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".part"));
}

// Capture takes frame numbers only, up to the disk's end, stops between
// frames on a signal with its status, and leaves no staging folder: a run
// killed outright leaves one, which the next run removes.
TEST(capture, refuses_bad_frames_and_leaves_no_folder) {
    TestDisk disk;
    const std::string out = disk.root / "frames";
    for (const char* frame : {"-1", "12x", "", "1e3", "9999999999", "1217"}) {
        SCOPED_TRACE(frame);
        std::string err;
        EXPECT_EQ(run(std::string(CAPTURE_PROGRAM) + " " + shell_word(disk.disk) + " " + shell_word(out) + " 5 " +
                          shell_word(frame), &err, disk.root / "err"),
                  2);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(fs::exists(out));
    }
    // The last frame within reach: the intro's 1111 and the 3.5 s of music.
    EXPECT_EQ(run(std::string(CAPTURE_PROGRAM) + " " + shell_word(disk.disk) + " " + shell_word(out) + " 1216"), 0);
    EXPECT_TRUE(fs::exists(out + "/frame-1216.png"));

    // A key late on keeps the disk going: long enough to be interrupted.
    for (int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        const RunningTool capture =
            start_tool(CAPTURE_PROGRAM, {"--keys", "3000:space", disk.disk, out, "90000"}, false);
        for (int i = 0; i < 3000 && !fs::exists(capture.stage); ++i) usleep(10000);
        EXPECT_TRUE(fs::exists(capture.stage));
        kill(capture.pid, signal);
        EXPECT_EQ(exit_status(capture), 128 + signal);
        if (signal == SIGKILL) {
            EXPECT_TRUE(fs::exists(capture.stage));
            EXPECT_EQ(run(std::string(CAPTURE_PROGRAM) + " " + shell_word(disk.disk) + " " + shell_word(out) + " 1"), 0);
        }
        EXPECT_FALSE(fs::exists(capture.stage));
    }
}
