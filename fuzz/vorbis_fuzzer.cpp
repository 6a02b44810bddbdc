// The Vorbis decoder on arbitrary and mutated Ogg files: open, read_tags,
// read, seek, tell and total, as the engine uses them.
//
// The input is the file; its last byte also picks where to seek. Besides the
// sanitizers it checks the decoder's contracts: a refused file leaves nothing
// open, read hands out whole stereo frames and never touches the buffer past
// what it delivered, tags are only ever replaced by non-empty values, and
// position and length are never negative once a stream is open.
#include "audio/vorbis.h"

#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <sanitizer/lsan_interface.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string path;


void remove_track() { unlink(path.c_str()); }

constexpr int chunk = 4096;  // what the engine asks for: one 1024-frame buffer
constexpr std::uint8_t untouched = 0xAB;

// Reads up to count chunks; false once the stream has ended.
bool read_chunks(Vorbis& track, int count) {
    static std::uint8_t buffer[chunk + 64];
    for (int i = 0; i < count; ++i) {
        std::memset(buffer, untouched, sizeof buffer);
        int n = track.read(reinterpret_cast<Sint16*>(buffer), chunk);
        check(n >= 0 && n <= chunk, "read delivered more than asked for");
        check(n % 4 == 0, "read delivered part of a stereo frame");
        for (size_t j = size_t(n); j < sizeof buffer; ++j)
            check(buffer[j] == untouched, "read wrote past what it delivered");
        if (n < chunk) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char name[] = "/dev/shm/diskplayer-fuzz-XXXXXX.ogg";
    int fd = mkstemps(name, 4);
    if (fd < 0) {
        char fallback[] = "/tmp/diskplayer-fuzz-XXXXXX.ogg";
        fd = mkstemps(fallback, 4);
        check(fd >= 0, "no temporary file");
        path = fallback;
    } else {
        path = name;
    }
    close(fd);
    std::atexit(remove_track);
    // "vorbis fuckup" and the refusal lines would flood the fuzzer's log.
    check(std::freopen("/dev/null", "w", stdout) != nullptr, "cannot silence stdout");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    check(fd >= 0, "cannot write the track");
    check(write(fd, data, size) == static_cast<ssize_t>(size), "cannot write the track");
    close(fd);

    // libvorbisfile itself leaks a few bytes when it refuses some broken
    // streams (its serial number list, inside ov_open_callbacks). Nothing of
    // ours is allocated on that path, so those opens run with leak tracking
    // off; every open the library accepts is tracked, and a stream we then
    // refuse or keep must leave nothing behind.
    OggVorbis_File probe;
    __lsan_disable();
    bool library_accepts = ov_fopen(path.c_str(), &probe) >= 0;
    if (library_accepts) ov_clear(&probe);
    __lsan_enable();

    Vorbis track;
    if (!library_accepts) __lsan_disable();
    bool opened = track.open(path);
    if (!library_accepts) __lsan_enable();
    check(opened == track.is_open(), "open's result disagrees with is_open");

    std::string artist = "a", title = "t", comment = "c";
    track.read_tags(artist, title, comment);
    if (!opened) {
        check(artist == "a" && title == "t" && comment == "c", "read_tags changed tags of a closed track");
        check(track.read(nullptr, chunk) == 0, "read on a closed track delivered bytes");
        check(track.tell() == 0 && track.total() == 0, "a closed track has a position or length");
        track.seek(1.0);
        return 0;
    }
    check(!artist.empty() && !title.empty() && !comment.empty(), "read_tags stored an empty value");

    double length = track.total();
    check(!std::isnan(length), "total is not a number");
    read_chunks(track, 48);
    check(track.tell() >= 0, "the position is negative");

    double fraction = size ? data[size - 1] / 200.0 : 0.0;  // up to 1.275: past the end too
    track.seek(length > 0 ? fraction * length : fraction);
    // After a lapped seek that libvorbisfile cannot make, the library is
    // left at sample -1, or at -inf when the stream's next link claims a
    // rate of 0 (fuzz/corpus/vorbis/failed_seek.ogg): tell must say 0 then.
    double position = track.tell();
    if (!(position >= 0)) {
        std::fprintf(stderr, "position %g of %g s after a seek\n", position, length);
        fault("the position is negative after a seek");
    }
    read_chunks(track, 16);
    track.seek(-1.0);
    read_chunks(track, 2);

    // Opening a file that fails closes the open one.
    check(!track.open(path + ".missing"), "a missing file opened");
    check(!track.is_open() && track.read(nullptr, chunk) == 0, "a failed open left a track open");
    return 0;
}
