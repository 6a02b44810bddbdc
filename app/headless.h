// The real program run headless, one frame at a time, for the tools that
// show it without a window (capture, record). Start-up is the program's own
// (SDL's dummy drivers, init_screen, start_player); each frame is rendered
// as the frame thread renders it, after the sound of its 1/30 s has been
// pulled through the engine's callback as the device would play it and the
// keys scripted for it have gone through the event loop's own dispatch.
// Frames are counted as the program counts them: 0 to 1110 are the intro,
// 1111 on the player screen.
//
// Every run with the same disk, music and keys gives the same pictures and
// sound: the device's own thread is kept out, the engine's decoder runs
// here before and after each buffer rather than on its thread, and every
// notification a buffer or a key raises has run before the frame is drawn.
//
// The program's state is process-wide: one HeadlessProgram per process.
#pragma once

#include <SDL.h>

#include <filesystem>
#include <string>
#include <vector>

constexpr int headless_frames_per_second = 30;
constexpr int headless_sample_rate = 44100;
constexpr int headless_samples_per_frame = headless_sample_rate / headless_frames_per_second;
constexpr int headless_width = 640;
constexpr int headless_height = 400;

struct HeadlessOptions {
    std::filesystem::path disk;  // holds "data", and "music" unless music says otherwise
    std::string music;           // empty: the disk's own; "none": nothing to play; else a folder
    std::string keys;            // "39.5:Right,52:space": see parse_key_script
    // The length of a frame in milliseconds: a 30th of a second where each
    // frame carries its own sound; the frame thread's period in the page.
    double frame_ms = 1000.0 / headless_frames_per_second;
};

// A key pressed and released before the sound and picture of frame.
struct ScriptedKey {
    Uint32 frame;
    SDLKey key;
};

// The nearest frame to a time in seconds.
Uint32 frame_at(double seconds);

// Parses "time:key,..." (seconds, SDL's key names in any letter case) into
// keys ordered by frame. False with a one-line reason on a malformed entry
// or an unknown key. SDL's video subsystem must be up: it names the keys.
bool parse_key_script(const std::string& text, std::vector<ScriptedKey>& keys, std::string& error);

class HeadlessProgram {
public:
    HeadlessProgram() = default;
    // Shuts the program down and removes the staging folder.
    ~HeadlessProgram();
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    // Stages the disk and starts the program in the staging folder (the
    // working directory changes). False with a one-line reason when the
    // disk has no data file, the keys do not parse or there is no screen.
    bool start(const HeadlessOptions& options, std::string& error);

    // Renders the next frame; the first call renders frame 0.
    void advance();
    // The page's way: frames follow elapsed time and the host's audio
    // callback pulls the sound. Renders frame (past the last one) as the
    // frame thread does after a slow frame: the frames in between are
    // counted and their effects advanced, not drawn. No sound is pulled.
    void advance_to(Uint32 frame);
    // frames sample frames of sound as the device plays them, interleaved
    // stereo: through the engine's callback in the device's 1024-frame
    // buffers while it plays, silence while it is paused.
    void pull_sound(Sint16* out, int frames);
    // A few bounded steps of the engine's decoder, which has no thread
    // here: the host's main loop calls it every tick, and pull_sound runs
    // it too before it pulls, so a hidden tab whose ticks come seldom keeps
    // its music. A long seek in a damaged track takes many calls, while
    // the faded-out silence plays and the frames go on.
    void service_decoder();
    // A key or pointer event from the host, through the event loop's own
    // dispatch; pointer positions in canvas pixels. Keys act on release.
    void send(const SDL_Event& event);
    // The frame advance rendered last.
    Uint32 frame() const { return current; }
    // False until the first frame is rendered.
    bool frame_shown() const { return rendered; }
    // Its sound: headless_samples_per_frame interleaved stereo frames,
    // signed 16-bit at 44100 Hz; silence while the device is paused.
    const std::vector<Sint16>& sound() const { return sound_buffer; }
    // Its picture as the window shows it: the canvas blended over black,
    // 640 x 400, 32-bit with the standard colour masks and no alpha (in
    // memory B, G, R, 0). Owned here; valid until the next advance.
    const SDL_Surface* shown();

    // True once there is nothing left to show of the disk: the intro is
    // over, the sound has stopped and no scripted key is still to come, or
    // the quit a scripted Escape began has ended the program.
    bool finished() const;
    // True once a quit (Escape, a close) has run its course: the program's
    // loop would have ended before the next frame.
    bool quit_over() const { return quit_frame != 0 && current + 1 >= quit_frame; }
    // Seconds of sound in the playlist (the intro plays over the first
    // track): what a recording of the whole disk lasts without keys.
    double playlist_seconds() const { return playlist_length; }

private:
    void press(SDLKey key);
    Uint32 frames_in(Uint32 ms) const;

    std::filesystem::path stage;
    std::filesystem::path previous_directory;
    bool started = false;
    bool audio_locked = false;
    std::vector<ScriptedKey> keys;
    std::size_t next_key = 0;
    Uint32 current = 0;
    bool rendered = false;
    Uint32 quit_frame = 0;  // 0: no quit begun
    double frame_ms = 1000.0 / headless_frames_per_second;
    double playlist_length = 0;
    std::vector<Sint16> sound_buffer = std::vector<Sint16>(headless_samples_per_frame * 2);
    SDL_Surface* picture = nullptr;
};
