// What the two Vorbis targets share: the file the decoder opens, reading in
// the engine's buffer size with the decoder's contracts checked, and
// putting right the checksums of the pages in a mutated file, so that the
// library's own seek meets streams that pass the page check yet carry
// mutated headers and packets.
#pragma once

#include "audio/vorbis.h"
#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <ogg/ogg.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string track_path;

inline void remove_track() { unlink(track_path.c_str()); }

// A file in memory when the system offers one; "vorbis fuckup" and the
// refusal lines would flood the fuzzer's log, so stdout goes nowhere.
inline void make_track_file() {
    char name[] = "/dev/shm/diskplayer-fuzz-XXXXXX.ogg";
    int fd = mkstemps(name, 4);
    if (fd < 0) {
        char fallback[] = "/tmp/diskplayer-fuzz-XXXXXX.ogg";
        fd = mkstemps(fallback, 4);
        check(fd >= 0, "no temporary file");
        track_path = fallback;
    } else {
        track_path = name;
    }
    close(fd);
    std::atexit(remove_track);
    check(std::freopen("/dev/null", "w", stdout) != nullptr, "cannot silence stdout");
}

inline void write_track(const std::uint8_t* data, size_t size) {
    int fd = open(track_path.c_str(), O_WRONLY | O_TRUNC);
    check(fd >= 0, "cannot write the track");
    check(size == 0 || write(fd, data, size) == static_cast<ssize_t>(size), "cannot write the track");
    close(fd);
}

constexpr int chunk = 4096;  // what the engine asks for: one 1024-frame buffer
constexpr std::uint8_t untouched = 0xAB;

// Reads up to count chunks, appending them to pcm when given; false once
// the stream has ended.
inline bool read_chunks(Vorbis& track, int count, std::vector<Sint16>* pcm = nullptr) {
    static std::uint8_t buffer[chunk + 64];
    for (int i = 0; i < count; ++i) {
        std::memset(buffer, untouched, sizeof buffer);
        int n = track.read(reinterpret_cast<Sint16*>(buffer), chunk);
        check(n >= 0 && n <= chunk, "read delivered more than asked for");
        check(n % 4 == 0, "read delivered part of a stereo frame");
        for (size_t j = size_t(n); j < sizeof buffer; ++j)
            check(buffer[j] == untouched, "read wrote past what it delivered");
        if (pcm != nullptr) {
            const Sint16* samples = reinterpret_cast<const Sint16*>(buffer);
            pcm->insert(pcm->end(), samples, samples + n / 2);
        }
        if (n < chunk) return false;
    }
    return true;
}

// Gives every whole page in data the checksum of its bytes.
inline void fix_page_checksums(std::uint8_t* data, size_t size) {
    size_t at = 0;
    while (at + 27 <= size) {
        if (std::memcmp(data + at, "OggS", 4) != 0) {
            ++at;
            continue;
        }
        const size_t segments = data[at + 26];
        size_t body = 0;
        if (at + 27 + segments <= size)
            for (size_t i = 0; i < segments; ++i) body += data[at + 27 + i];
        const size_t header = 27 + segments;
        if (at + header + body > size) {
            ++at;
            continue;
        }
        ogg_page page;
        page.header = data + at;
        page.header_len = static_cast<long>(header);
        page.body = data + at + header;
        page.body_len = static_cast<long>(body);
        ogg_page_checksum_set(&page);
        at += header + body;
    }
}

}  // namespace
