// record <disk folder> <video file> [--seconds N] [--from S] [--scale 1|2|3]
//        [--keys "39.5:Right,52:space"] [--quiet]
//
// Records the disk into a video file: the program's own frames, 30 per
// second from the first frame of the intro, and its sound as the engine
// plays it. Without --seconds the recording runs until the playlist has
// played to its end (and at least through the intro). The kind of file
// follows the name: .mkv is lossless (FFV1 and FLAC), .mp4 (H.264 and AAC)
// and .webm (VP9 and Opus) are for sharing. --from skips the start of the
// recording (it is still rendered, so what follows is the same); --keys
// presses keys at the given seconds as a listener would; --scale enlarges
// by whole pixels.
#include "tools/capture/recorder.h"
#include "tools/capture/video_writer.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: record <disk folder> <video file> [--seconds N] [--from SECONDS] [--scale 1|2|3]\n"
                 "              [--keys \"39.5:Right,52:space\"] [--quiet]\n"
                 "  video file: %s\n",
                 VideoWriter::kinds());
    return 2;
}

bool number(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

std::atomic<int> stop_signal{0};

void on_signal(int number) {
    stop_signal.store(number);
    stop_recording.store(true);
}

// A standard stream the caller closed would be taken by the next file
// opened, and the program's lines would land in it: /dev/null stands in.
void keep_standard_streams_open() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
}

}  // namespace

int main(int argc, char** argv) {
    keep_standard_streams_open();
    RecordOptions options;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        double value = 0;
        if (arg == "--quiet") {
            options.progress = false;
        } else if ((arg == "--seconds" || arg == "--from") && has_value) {
            if (!number(argv[++i], value)) {
                std::fprintf(stderr, "record: %s wants seconds, not \"%s\"\n", arg.c_str(), argv[i]);
                return 2;
            }
            (arg == "--seconds" ? options.seconds : options.from) = value;
        } else if (arg == "--scale" && has_value) {
            if (!number(argv[++i], value) || value != static_cast<int>(value)) {
                std::fprintf(stderr, "record: --scale wants 1, 2 or 3, not \"%s\"\n", argv[i]);
                return 2;
            }
            options.scale = static_cast<int>(value);
        } else if (arg == "--keys" && has_value) {
            options.keys = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage();
        } else if (positional == 0) {
            options.disk = arg;
            ++positional;
        } else if (positional == 1) {
            options.out = arg;
            ++positional;
        } else {
            return usage();
        }
    }
    if (positional != 2) return usage();

    // Ctrl-C, a polite kill, a hang-up and a reader gone from the pipe our
    // lines go to (record ... | head) end the recording after the current
    // frame and take the unfinished file and the staging folder away; the
    // status says which signal, as if it had ended the process.
    struct sigaction action {};
    action.sa_handler = on_signal;
    action.sa_flags = SA_RESTART;  // a write under way finishes; the loop then stops
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGPIPE, &action, nullptr);

    RecordResult result;
    std::string error;
    if (!record_disk(options, result, error)) {
        std::fprintf(stderr, "record: %s\n", error.c_str());
        return stop_recording.load() ? 128 + stop_signal.load() : 1;
    }
    std::fprintf(stderr, "record: %s: %lld frames (%.2f s), %.1f MB\n", options.out.c_str(), result.frames,
                 result.frames / 30.0, result.bytes / 1e6);
    return 0;
}
