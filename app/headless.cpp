#include "app/headless.h"

#include "app/frame_loop.h"
#include "app/program.h"
#include "audio/engine.h"
#include "audio/playlist.h"
#include "audio/vorbis.h"
#include "gfx/blit.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <memory>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

bool key_named(const std::string& name, SDLKey& key) {
    const std::string wanted = lower(name);
    for (int k = SDLK_FIRST; k < SDLK_LAST; ++k) {
        if (lower(SDL_GetKeyName(static_cast<SDLKey>(k))) == wanted && wanted != "unknown key") {
            key = static_cast<SDLKey>(k);
            return true;
        }
    }
    return false;
}

const std::string stage_prefix = "diskplayer-headless-";

// A run killed outright (SIGKILL, a crash) cannot remove its staging
// folder: the next run removes those whose process is gone. Only folders
// of this name with a process number, and only when the system says no
// such process exists (another user's live one answers EPERM).
void remove_abandoned_stages(const fs::path& temporary) {
#ifndef _WIN32
    std::error_code failed;
    for (fs::directory_iterator it(temporary, failed), end; !failed && it != end; it.increment(failed)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, stage_prefix.size(), stage_prefix) != 0) continue;
        const std::string number = name.substr(stage_prefix.size());
        if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code ignored;
        if (kill(static_cast<pid_t>(std::stol(number)), 0) != 0 && errno == ESRCH) fs::remove_all(it->path(), ignored);
    }
#else
    (void)temporary;
#endif
}

// Windows grants links only to administrators and to developer mode: where
// a link cannot be made, a copy does the same here.
void link_or_copy(const fs::path& from, const fs::path& to) {
    std::error_code failed;
    if (fs::is_directory(from))
        fs::create_directory_symlink(from, to, failed);
    else
        fs::create_symlink(from, to, failed);
    if (failed) fs::copy(from, to, fs::copy_options::recursive);
}

// A folder of its own: the disk's data and the chosen music, so the
// engine's fixed names "data" and "music" find them whatever the disk
// folder holds besides, and nothing is written into the disk folder.
fs::path stage_disk(const fs::path& disk, const std::string& music) {
    remove_abandoned_stages(fs::temp_directory_path());
    fs::path stage = fs::temp_directory_path() / (stage_prefix + std::to_string(getpid()));
    fs::remove_all(stage);
    fs::create_directories(stage);
    link_or_copy(disk / "data", stage / "data");
    if (music == "none")
        fs::create_directories(stage / "music");
    else
        link_or_copy(fs::absolute(music.empty() ? disk / "music" : fs::path(music)), stage / "music");
    return stage;
}

// One buffer as the device plays it: the engine's callback while the
// device runs, silence while it is paused.
void play_buffer(Sint16* out, int frames) {
    if (is_playing())
        audio_callback(nullptr, reinterpret_cast<Uint8*>(out), frames * 4);
    else
        std::fill(out, out + 2 * frames, Sint16(0));
}

double seconds_of(const std::vector<std::string>& tracks) {
    double total = 0;
    auto track = std::make_unique<Vorbis>();
    for (const std::string& path : tracks)
        if (track->open(path) && track->total() > 0) total += track->total();
    return total;
}

}  // namespace

Uint32 frame_at(double seconds) {
    return static_cast<Uint32>(std::llround(seconds * headless_frames_per_second));
}

bool parse_key_script(const std::string& text, std::vector<ScriptedKey>& keys, std::string& error) {
    keys.clear();
    if (trimmed(text).empty()) return true;
    std::size_t begin = 0;
    for (;;) {
        std::size_t end = std::min(text.find(',', begin), text.size());
        const std::string entry = trimmed(text.substr(begin, end - begin));
        const std::size_t colon = entry.find(':');
        char* rest = nullptr;
        const double seconds = colon == std::string::npos ? -1 : std::strtod(entry.c_str(), &rest);
        // A day of frames is far beyond any disk and keeps the frame number in range.
        if (colon == std::string::npos || rest != entry.c_str() + colon || !(seconds >= 0) || seconds > 86400) {
            error = "bad key entry \"" + entry + "\" (want seconds:key, e.g. 39.5:Right)";
            return false;
        }
        const std::string name = trimmed(entry.substr(colon + 1));
        SDLKey key;
        if (!key_named(name, key)) {
            error = "unknown key \"" + name +
                    "\" (SDL's names: Right, Left, Up, Down, space, return, backspace, escape)";
            return false;
        }
        keys.push_back({frame_at(seconds), key});
        if (end == text.size()) break;
        begin = end + 1;
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const ScriptedKey& a, const ScriptedKey& b) { return a.frame < b.frame; });
    return true;
}

HeadlessProgram::~HeadlessProgram() {
    if (audio_locked) SDL_UnlockAudio();
    if (started) shutdown_program();
    if (picture) SDL_FreeSurface(picture);
    std::error_code ignored;
    if (!previous_directory.empty()) fs::current_path(previous_directory, ignored);
    if (!stage.empty()) fs::remove_all(stage, ignored);
}

bool HeadlessProgram::start(const HeadlessOptions& options, std::string& error) {
    const fs::path disk = fs::absolute(options.disk);
    if (!fs::is_regular_file(disk / "data")) {
        error = disk.string() + " is not a disk folder: it has no data file";
        return false;
    }
    if (!options.music.empty() && options.music != "none" && !fs::is_directory(options.music)) {
        error = "no music folder " + options.music;
        return false;
    }
    // Whatever the environment asks of SDL: no window opens and no sound
    // device is held.
#ifdef _WIN32
    _putenv_s("SDL_VIDEODRIVER", "dummy");  // Windows' C library has no setenv
    _putenv_s("SDL_AUDIODRIVER", "dummy");
#else
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
#endif
    // Only what the program needs: SDL 1.2's timer thread would wake every
    // millisecond for nothing (a scripted Escape starts it as the program does).
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) != 0) {
        error = std::string("cannot start SDL: ") + SDL_GetError();
        return false;
    }
    if (!parse_key_script(options.keys, keys, error)) return false;
    frame_ms = options.frame_ms;

    try {
        previous_directory = fs::current_path();
        stage = stage_disk(disk, options.music);
        fs::current_path(stage);
    } catch (const fs::filesystem_error& failure) {
        error = std::string("cannot stage the disk: ") + failure.what();
        return false;
    }
    if (!init_screen(false)) {
        error = std::string("no screen: ") + SDL_GetError();
        return false;
    }
    started = true;
    // The decoder too runs here, between the buffers, never on a thread
    // of its own: what it has ready for a buffer never depends on timing.
    set_decoder_thread(false);
    start_player();
    playlist_length = seconds_of(playlist);

    // From here on this object is the device's only listener. Its thread
    // may have pulled a buffer before the lock: the engine starts over, so
    // every run begins at the first sample. Before and after, whatever
    // notifications start-up raised have run.
    SDL_LockAudio();
    audio_locked = true;
    wait_for_notifications();
    rewind_engine();
    wait_for_notifications();

    picture = SDL_CreateRGBSurface(0, headless_width, headless_height, 32, 0x00FF0000, 0x0000FF00,
                                   0x000000FF, 0);
    if (!picture) {
        error = std::string("out of memory: ") + SDL_GetError();
        return false;
    }
    return true;
}

void HeadlessProgram::press(SDLKey key) {
    // The key acts on its release, as in the program; the press goes
    // through the same dispatch for whatever it may do there.
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    send(event);
    event.type = SDL_KEYUP;
    event.key.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    send(event);
}

Uint32 HeadlessProgram::frames_in(Uint32 ms) const {
    return static_cast<Uint32>(std::ceil(ms / frame_ms));
}

void HeadlessProgram::send(const SDL_Event& event) {
    dispatch_event(event);
    const bool quit_asked = event.type == SDL_QUIT ||
                            (event.type == SDL_KEYUP && event.key.keysym.sym == SDLK_ESCAPE);
    // The program's loop ends quit_delay_ms after the first request; here
    // no timer runs, so the end is a frame number.
    if (quit_asked && quit_frame == 0) quit_frame = current + frames_in(quit_delay_ms);
}

void HeadlessProgram::advance() {
    if (rendered) ++current;
    rendered = true;
    while (next_key < keys.size() && keys[next_key].frame <= current) press(keys[next_key++].key);
    // Whatever the keys asked of the decoder is done before the buffer, and
    // whatever the buffer asked (a track opened, a seek) before the frame
    // is drawn: the program's decoder thread is never slower than this
    // while the listener hears it.
    while (audio_service()) {
    }
    play_buffer(sound_buffer.data(), static_cast<int>(sound_buffer.size() / 2));
    while (audio_service()) {
    }
    wait_for_notifications();
    frame_counter.store(current);
    render_frame();
}

void HeadlessProgram::advance_to(Uint32 frame) {
    if (rendered && frame <= current) return;
    const Uint32 next = rendered ? current + 1 : 0;
    if (frame > next) skip_frames(frame - next);
    current = frame;
    rendered = true;
    frame_counter.store(current);
    render_frame();
}

void HeadlessProgram::service_decoder() {
    // A step decodes at most one piece (0.74 s of sound) or one slice of a
    // seek: two a call stay well ahead of a 4096-frame pull, and keep a
    // tick short.
    constexpr int steps_per_call = 2;
    for (int step = 0; step < steps_per_call && audio_service(); ++step) {
    }
}

void HeadlessProgram::pull_sound(Sint16* out, int frames) {
    service_decoder();
    constexpr int device_frames = 1024;  // the buffer the program's device asks for
    for (int done = 0; done < frames; done += device_frames) {
        const int n = std::min(device_frames, frames - done);
        play_buffer(out + 2 * done, n);
    }
}

const SDL_Surface* HeadlessProgram::shown() {
    // As presentation does it: the program's own pass, which gives exactly
    // SDL's blend over a black window, or SDL's way where it cannot.
    if (show_over_black(canvas.surface, picture) != 0) {
        SDL_FillRect(picture, nullptr, 0);
        SDL_UpperBlit(canvas.surface, nullptr, picture, nullptr);
    }
    return picture;
}

bool HeadlessProgram::finished() const {
    if (quit_frame != 0) return quit_over();
    return current > last_intro_frame && !is_playing() && next_key == keys.size();
}
