// capture [--music <folder>|none] [--keys <script>] <disk folder> <output folder> <frame>...
//
// Renders chosen frames of the real program headless into PNG files named
// frame-NNNN.png, through the program's own start-up, frame and audio code
// (app/headless). Frames are counted as the frame thread counts them: 0
// to 1110 are the intro, 1111 on the player screen. Sound is pulled through
// the engine's callback as it would be played, 1470 sample frames (1/30 s)
// per frame, so the spectrum and the position follow the music; nothing is
// heard. Without --music the disk folder's own music folder is used;
// "--music none" plays nothing. --keys presses keys at chosen times, as
// record's option of the same name does. Ctrl-C, SIGTERM and the like stop
// it after the current frame.
#include "app/frame_loop.h"
#include "app/headless.h"

#include <lodepng.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool save_picture(const SDL_Surface* shown, const fs::path& file) {
    std::vector<unsigned char> rgb;
    rgb.reserve(static_cast<std::size_t>(shown->w) * shown->h * 3);
    for (int y = 0; y < shown->h; ++y) {
        const Uint32* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(shown->pixels) +
                                                            static_cast<std::ptrdiff_t>(y) * shown->pitch);
        for (int x = 0; x < shown->w; ++x) {
            rgb.push_back((row[x] >> 16) & 0xFF);
            rgb.push_back((row[x] >> 8) & 0xFF);
            rgb.push_back(row[x] & 0xFF);
        }
    }
    return lodepng::encode(file.string(), rgb, shown->w, shown->h, LCT_RGB, 8) == 0;
}

std::atomic<int> stop_signal{0};

void on_signal(int number) {
    stop_signal.store(number);
}

// A frame number is digits only: strtoul would take "-1" as the largest
// number there is and "12x" as 12.
bool frame_number(const char* text, unsigned long& frame) {
    if (*text == '\0' || std::strspn(text, "0123456789") != std::strlen(text) || std::strlen(text) > 9)
        return false;
    frame = std::strtoul(text, nullptr, 10);
    return true;
}

// The last frame at which the disk can still change of itself: after the
// intro and the last scripted key, at most the whole playlist plays once
// more. Beyond it the player screen only idles, and a frame far beyond
// would take hours to reach.
unsigned long last_reachable_frame(const HeadlessProgram& program, const std::string& keys) {
    std::vector<ScriptedKey> scripted;
    std::string ignored;
    parse_key_script(keys, scripted, ignored);  // start has parsed them already
    Uint32 last_key = scripted.empty() ? 0 : scripted.back().frame;
    return std::max(last_intro_frame + 1, last_key) + frame_at(program.playlist_seconds());
}

int usage() {
    std::fprintf(stderr, "usage: capture [--music <folder>|none] [--keys <time:key,...>] "
                         "<disk folder> <output folder> <frame>...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    HeadlessOptions options;
    int arg = 1;
    while (arg + 1 < argc && (std::string(argv[arg]) == "--music" || std::string(argv[arg]) == "--keys")) {
        (std::string(argv[arg]) == "--music" ? options.music : options.keys) = argv[arg + 1];
        arg += 2;
    }
    if (argc - arg < 3) return usage();
    options.disk = argv[arg];
    const fs::path out = fs::absolute(argv[arg + 1]);
    std::set<Uint32> wanted;
    for (int i = arg + 2; i < argc; ++i) {
        unsigned long frame = 0;
        if (!frame_number(argv[i], frame)) {
            std::fprintf(stderr, "capture: \"%s\" is not a frame number (0, 1, 2 ...)\n", argv[i]);
            return 2;
        }
        wanted.insert(static_cast<Uint32>(frame));
    }

    // Stopped between frames, so the staging folder goes with the program.
#ifdef _WIN32
    for (int number : {SIGINT, SIGTERM}) std::signal(number, on_signal);
#else
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(number, &action, nullptr);
#endif

    HeadlessProgram program;
    std::string error;
    if (!program.start(options, error)) {
        std::fprintf(stderr, "capture: %s\n", error.c_str());
        return 1;
    }
    const Uint32 last = *wanted.rbegin();
    const unsigned long reach = last_reachable_frame(program, options.keys);
    if (last > reach) {
        std::fprintf(stderr, "capture: frame %u is beyond the disk's end (frame %lu)\n", last, reach);
        return 2;
    }
    std::error_code failed;
    fs::create_directories(out, failed);
    if (failed) {
        std::fprintf(stderr, "capture: cannot make %s: %s\n", out.string().c_str(), failed.message().c_str());
        return 1;
    }
    int status = 0;
    do {
        if (stop_signal.load() != 0) {
            std::fprintf(stderr, "capture: interrupted at frame %u\n", program.frame());
            return 128 + stop_signal.load();
        }
        program.advance();
        if (!wanted.count(program.frame())) continue;
        char name[32];
        std::snprintf(name, sizeof name, "frame-%04u.png", program.frame());
        if (!save_picture(program.shown(), out / name)) {
            std::fprintf(stderr, "capture: cannot write %s\n", (out / name).string().c_str());
            status = 1;
        }
    } while (program.frame() < last);
    return status;
}
