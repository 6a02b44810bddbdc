// Decodes every track a disk's playlist takes, once, before the disk goes
// on the web: a page cannot survive what the Linux program survives (an
// integer division by zero inside the decoder ends the whole page, where
// the program drops the one track), so a track the player would refuse or
// that is damaged is refused here, named with its reason.
// Usage: check_tracks <disk>   (the folder holding "music")
// Exit status 0 when every track plays through, 1 otherwise.
#include "audio/decoder_guard.h"
#include "audio/ogg_pages.h"
#include "audio/playlist.h"

#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Why the page could not play path through, or empty when it can.
std::string fault_of(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return "cannot be read";
    const bool intact = ogg_pages_intact(fd);
    close(fd);
    if (!intact) return "damaged: its Ogg pages are broken (bytes lost, changed or cut off)";

    OggVorbis_File file;
    int result = -1;
    if (!guarded([&] { result = ov_fopen(path.c_str(), &file); }))
        return "damaged: the decoder divides by zero on its headers";
    if (result != 0) return "not an Ogg Vorbis stream";
    std::string fault;
    static char buffer[65536];
    int previous_link = -1;
    for (;;) {
        int link = 0;
        long got = 0;
        if (!guarded([&] { got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &link); })) {
            // The library's state is unknown after the jump: it is not cleared.
            return "damaged: the decoder divides by zero in its sound";
        }
        if (got < 0) {
            fault = "damaged: its sound cannot be decoded (error " + std::to_string(got) + ")";
            break;
        }
        if (got == 0) break;
        if (link != previous_link) {
            previous_link = link;
            const vorbis_info* info = ov_info(&file, link);
            // The same test as the player's, for every part of a chained file.
            if (info == nullptr || info->channels != 2) {
                fault = "not stereo: the player plays only two channels";
                break;
            }
            if (info->rate != 44100) {
                fault = "sample rate " + std::to_string(info->rate) + " Hz: the player plays only 44100 Hz";
                break;
            }
        }
    }
    ov_clear(&file);
    return fault;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: check_tracks <disk folder>\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::current_path(argv[1], error);
    if (error) {
        std::fprintf(stderr, "check_tracks: no folder %s\n", argv[1]);
        return 2;
    }
    scan_music_folder();
    int refused = 0;
    for (const std::string& path : playlist) {
        const std::string fault = fault_of(path);
        if (fault.empty()) continue;
        std::fprintf(stderr, "refused: %s: %s\n", path.c_str(), fault.c_str());
        ++refused;
    }
    if (refused) {
        std::fprintf(stderr, "check_tracks: %d of %zu tracks cannot go on the web; mend or remove them\n",
                     refused, playlist.size());
        return 1;
    }
    std::printf("%zu tracks play through\n", playlist.size());
    return 0;
}
