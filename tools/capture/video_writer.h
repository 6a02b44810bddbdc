// One video file of the program's pictures and sound, written through
// ffmpeg's libraries. The kind follows the file name:
//   .mkv   FFV1 (RGB, every pixel kept) and FLAC: lossless, for archives
//          and for comparing with the program's own frames;
//   .mp4   H.264 (yuv420p) and AAC: plays nearly everywhere;
//   .webm  VP9 (yuv420p) and Opus at 48 kHz: for the web.
// The file is written under a temporary name next to it and renamed over it
// only by finish, so a failed or interrupted recording never leaves a
// half-written file in its place (nor the temporary one).
#pragma once

#include <SDL.h>

#include <atomic>
#include <memory>
#include <string>

class VideoWriter {
public:
    VideoWriter();
    // Removes the temporary file unless finish has renamed it.
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // True for the names whose kind is listed above (any letter case).
    static bool known_kind(const std::string& path);
    static const char* kinds() { return ".mkv (lossless), .mp4 or .webm"; }

    // Sets up the encoders for width x height pictures at 30 per second and
    // stereo 16-bit sound at 44100 Hz, and creates the temporary file. False
    // with a one-line reason (naming path) when it cannot.
    bool open(const std::string& path, int width, int height, std::string& error);
    // The next picture: 32-bit with the standard colour masks, the size
    // given to open.
    bool write_picture(const SDL_Surface* picture, std::string& error);
    // The sound that goes with the pictures: interleaved stereo frames.
    bool write_sound(const Sint16* samples, int frames, std::string& error);
    // Flushes the encoders and closes the file, then renames it to its name
    // unless stop has been set meanwhile: the flush can take seconds, and a
    // stop asked for during it must still leave no file (false, "interrupted").
    bool finish(const std::atomic<bool>& stop, std::string& error);
    // Removes the temporary file now; nothing is written afterwards.
    void abandon();

    // Encoded bytes so far (the file's size once finished).
    long long bytes_written() const;

private:
    struct Encoders;
    std::unique_ptr<Encoders> encoders;
};
