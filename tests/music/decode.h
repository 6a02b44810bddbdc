// Reads an Ogg Vorbis file back through libvorbisfile, the way the player
// does, for the tests of the encoder and of the rendered tracks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace music {

struct Decoded {
    bool opened = false;
    int channels = 0;
    long rate = 0;
    int64_t frames = 0;                      // as the stream's header promises
    std::map<std::string, std::string> tags; // upper-cased key -> value
    std::vector<int16_t> samples;            // interleaved, as the player reads them
};

Decoded decode_ogg(const std::string& path);

}  // namespace music
