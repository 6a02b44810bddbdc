// capture [--music <folder>|none] [--keys <script>] <disk folder> <output folder> <frame>...
//
// Renders chosen frames of the real program headless into PNG files named
// frame-NNNN.png, through the program's own start-up, frame and audio code
// (tools/headless). Frames are counted as the frame thread counts them: 0
// to 1110 are the intro, 1111 on the player screen. Sound is pulled through
// the engine's callback as it would be played, 1470 sample frames (1/30 s)
// per frame, so the spectrum and the position follow the music; nothing is
// heard. Without --music the disk folder's own music folder is used;
// "--music none" plays nothing. --keys presses keys at chosen times, as
// record's option of the same name does.
#include "app/headless.h"

#include <lodepng.h>

#include <cstdio>
#include <cstdlib>
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
    for (int i = arg + 2; i < argc; ++i) wanted.insert(static_cast<Uint32>(std::strtoul(argv[i], nullptr, 10)));

    std::error_code failed;
    fs::create_directories(out, failed);
    if (failed) {
        std::fprintf(stderr, "capture: cannot make %s: %s\n", out.string().c_str(), failed.message().c_str());
        return 1;
    }
    HeadlessProgram program;
    std::string error;
    if (!program.start(options, error)) {
        std::fprintf(stderr, "capture: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    const Uint32 last = *wanted.rbegin();
    do {
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
