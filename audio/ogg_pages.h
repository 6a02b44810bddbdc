// Whether an Ogg file is framed exactly as an encoder writes it: every byte
// belongs to a page whose capture pattern and checksum are right, each
// logical stream starts with its first page, numbers its pages without a gap,
// never moves its granule position backwards and ends with its last page.
// A file damaged in a copy or a download (bytes inserted, overwritten or
// removed, pages lost or repeated, the end cut off) fails at least one of
// these; the decoder then keeps away from the library's bisecting seek.
#pragma once

#include <memory>

// The check cut into steps of a bounded stretch of the file each, so a long
// file never holds its reader for long: a decoder checking a two-hour mix
// gives way to newer requests and to the program's main loop between steps.
// Reads the file behind fd at explicit offsets, so a stdio stream on the
// same descriptor keeps its position.
class OggPageCheck {
public:
    explicit OggPageCheck(int fd);
    ~OggPageCheck();
    OggPageCheck(const OggPageCheck&) = delete;
    OggPageCheck& operator=(const OggPageCheck&) = delete;

    // Reads at most bytes_per_step more of the file; true once the verdict
    // is in (and from then on).
    bool step();
    // The verdict, once step has said it is in; false also when the file
    // cannot be read.
    bool intact() const { return verdict; }

    static constexpr long bytes_per_step = 1L << 20;

private:
    struct State;
    std::unique_ptr<State> state;
    bool done = false;
    bool verdict = false;
};

// The whole check at once.
bool ogg_pages_intact(int fd);
