// capture [--music <folder>] <disk folder> <output folder> <frame>...
//
// Renders chosen frames of the real program headless into PNG files named
// frame-NNNN.png, through the program's own start-up, frame and audio code.
// Frames are counted as the frame thread counts them: 0 to 1110 are the
// intro, 1111 on the player screen. Sound is pulled through the engine's
// callback as it would be played, 1470 sample frames (1/30 s) per frame, so
// the spectrum and the position follow the music; nothing is heard.
// Without --music the disk folder's own music folder is used; "--music none"
// plays nothing.
#include "app/frame_loop.h"
#include "app/player_screen.h"
#include "app/program.h"
#include "audio/engine.h"

#include <lodepng.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int samples_per_frame = 44100 / 30;

bool save_canvas(const fs::path& file) {
    // What the window shows: the canvas blended over black.
    std::vector<unsigned char> rgb;
    rgb.reserve(640 * 400 * 3);
    SDL_Surface* shown = SDL_CreateRGBSurface(0, 640, 400, 32, 0x00FF0000, 0x0000FF00,
                                              0x000000FF, 0);
    SDL_FillRect(shown, nullptr, 0);
    SDL_UpperBlit(canvas.surface, nullptr, shown, nullptr);
    const Uint32* pixels = static_cast<const Uint32*>(shown->pixels);
    for (int i = 0; i < 640 * 400; ++i) {
        rgb.push_back((pixels[i] >> 16) & 0xFF);
        rgb.push_back((pixels[i] >> 8) & 0xFF);
        rgb.push_back(pixels[i] & 0xFF);
    }
    SDL_FreeSurface(shown);
    return lodepng::encode(file.string(), rgb, 640, 400, LCT_RGB, 8) == 0;
}

// A folder of its own: the disk's data and the chosen music, so the
// engine's fixed names "data" and "music" find them.
fs::path stage_disk(const fs::path& disk, const std::string& music) {
    fs::path stage = fs::temp_directory_path() / ("diskplayer-capture-" + std::to_string(getpid()));
    fs::remove_all(stage);
    fs::create_directories(stage);
    if (fs::exists(disk / "data")) fs::create_symlink(fs::absolute(disk / "data"), stage / "data");
    if (music == "none")
        fs::create_directories(stage / "music");
    else
        fs::create_directory_symlink(fs::absolute(music.empty() ? disk / "music" : fs::path(music)),
                                     stage / "music");
    return stage;
}

int usage() {
    std::fprintf(stderr,
                 "usage: capture [--music <folder>|none] <disk folder> <output folder> <frame>...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string music;
    int arg = 1;
    if (arg + 1 < argc && std::string(argv[arg]) == "--music") {
        music = argv[arg + 1];
        arg += 2;
    }
    if (argc - arg < 3) return usage();
    fs::path disk = fs::absolute(argv[arg]);
    fs::path out = fs::absolute(argv[arg + 1]);
    std::set<Uint32> wanted;
    for (int i = arg + 2; i < argc; ++i) wanted.insert(static_cast<Uint32>(std::strtoul(argv[i], nullptr, 10)));

    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    fs::create_directories(out);
    fs::path stage = stage_disk(disk, music);
    fs::current_path(stage);

    SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO);
    if (!init_screen(false)) return 1;
    start_player();

    // The device's own thread stays out; this loop is the only listener.
    SDL_LockAudio();
    std::vector<Sint16> sound(samples_per_frame * 2);
    Uint32 last = *wanted.rbegin();
    int status = 0;
    for (Uint32 frame = 0; frame <= last; ++frame) {
        if (is_playing())
            audio_callback(nullptr, reinterpret_cast<Uint8*>(sound.data()),
                           static_cast<int>(sound.size() * sizeof(Sint16)));
        frame_counter.store(frame);
        render_frame();
        if (wanted.count(frame)) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%04u.png", frame);
            if (!save_canvas(out / name)) {
                std::fprintf(stderr, "capture: cannot write %s\n", (out / name).c_str());
                status = 1;
            }
        }
    }
    SDL_UnlockAudio();
    shutdown_program();
    fs::current_path(out);
    fs::remove_all(stage);
    return status;
}
