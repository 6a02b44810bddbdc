// Test music: small Ogg Vorbis files written with libvorbisenc, the same
// bytes on every run (fixed stream serial, no clock, no randomness), and a
// plain libvorbisfile decode to compare the engine's output with.
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

struct OggSpec {
    int channels = 2;
    long rate = 44100;
    long frames = 44100;
    // Left is a sine of frequency, right one of 1.5 times it, so a swapped or
    // mis-ordered channel shows.
    double frequency = 440;
    double amplitude = 0.5;
    std::vector<std::string> tags;  // raw "KEY=value" comment entries
};

// Writes path; false when the file or the encoder could not be set up.
bool write_ogg(const std::string& path, const OggSpec& spec);
// The interleaved int16 PCM of the whole file, decoded with ov_read.
std::vector<Sint16> decode_ogg(const std::string& path);
// The sample the writer fed the encoder for channel c of frame i.
double written_sample(const OggSpec& spec, long frame, int channel);

// A fresh folder under /dev/shm (or /tmp), removed with everything in it when destroyed.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return root; }
    std::string operator/(const std::string& name) const { return root + "/" + name; }

private:
    std::string root;
};
