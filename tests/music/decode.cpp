#include "tests/music/decode.h"

#include <cctype>
#include <vorbis/vorbisfile.h>

namespace music {

Decoded decode_ogg(const std::string& path)
{
    Decoded decoded;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) < 0) return decoded;
    decoded.opened = true;
    const vorbis_info* info = ov_info(&file, -1);
    decoded.channels = info->channels;
    decoded.rate = info->rate;
    decoded.frames = ov_pcm_total(&file, -1);
    const vorbis_comment* comment = ov_comment(&file, -1);
    for (int i = 0; i < comment->comments; ++i) {
        const std::string entry(comment->user_comments[i], comment->comment_lengths[i]);
        const size_t equals = entry.find('=');
        std::string key = entry.substr(0, equals);
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        decoded.tags[key] = equals == std::string::npos ? "" : entry.substr(equals + 1);
    }
    char buffer[8192];
    int bitstream = 0;
    for (;;) {
        const long got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &bitstream);
        if (got <= 0) break;
        const int16_t* words = reinterpret_cast<const int16_t*>(buffer);
        decoded.samples.insert(decoded.samples.end(), words, words + got / 2);
    }
    ov_clear(&file);
    return decoded;
}

}  // namespace music
