// The Vorbis decoder on arbitrary and mutated Ogg files, driven the way the
// engine drives it: open, read_tags, reads of one device buffer each (the
// decoder reads ahead of them), seeks at several fractions of the length
// computed as the engine computes them (the scale's right end included,
// which asks for exactly the length), reading on after each.
//
// The input is the file; its last byte picks one more fraction. Inputs of an
// odd size first get their pages' checksums put right, so that mutations
// reach the library's own seek and not only the decoder's damaged-stream
// path. Besides the sanitizers it checks the decoder's contracts: a refused
// file leaves nothing open, read hands out whole stereo frames and never
// touches the buffer past what it delivered, tags are only ever replaced by
// non-empty values, position and length are never negative once a stream
// is open, and the position after a seek to the very end is the one before
// it (the seek is refused without a jump).
#include "fuzz/ogg_fuzz.h"

#include <sanitizer/lsan_interface.h>

#include <cmath>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_track_file();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size % 2 == 1) {
        std::vector<std::uint8_t> copy(data, data + size);
        fix_page_checksums(copy.data(), copy.size());
        write_track(copy.data(), copy.size());
    } else {
        write_track(data, size);
    }

    // libvorbisfile itself leaks a few bytes when it refuses some broken
    // streams (its serial number list, inside ov_open_callbacks). Nothing of
    // ours is allocated on that path, so those opens run with leak tracking
    // off; every open the library accepts is tracked, and a stream we then
    // refuse or keep must leave nothing behind.
    OggVorbis_File probe;
    __lsan_disable();
    bool library_accepts = ov_fopen(track_path.c_str(), &probe) >= 0;
    if (library_accepts) ov_clear(&probe);
    __lsan_enable();

    Vorbis track;
    if (!library_accepts) __lsan_disable();
    bool opened = track.open(track_path);
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

    const double length = track.total();
    check(!std::isnan(length), "total is not a number");
    read_chunks(track, 48);
    check(track.tell() >= 0, "the position is negative");

    // The engine's target: the length as a float times the scale's value.
    const float fractions[] = {0.5f, 1.0f, 0.9f, 0.2f, size ? data[size - 1] / 200.0f : 0.0f, 0.97f, 0.0f};
    for (float fraction : fractions) {
        const double before = track.tell();
        const float target = static_cast<float>(length) * fraction;
        track.seek(target);
        // After a lapped seek that libvorbisfile cannot make, the library is
        // left at sample -1, or at -inf when the stream's next link claims a
        // rate of 0 (fuzz/corpus/vorbis/failed_seek.ogg): tell must say 0 then.
        const double position = track.tell();
        if (!(position >= 0)) {
            std::fprintf(stderr, "position %g of %g s after a seek\n", position, length);
            fault("the position is negative after a seek");
        }
        if (!(target >= 0 && target < length))
            check(position == before, "a seek the library refuses moved the position");
        read_chunks(track, 12);
    }
    track.seek(-1.0);
    read_chunks(track, 2);

    // Opening a file that fails closes the open one.
    check(!track.open(track_path + ".missing"), "a missing file opened");
    check(!track.is_open() && track.read(nullptr, chunk) == 0, "a failed open left a track open");
    return 0;
}
