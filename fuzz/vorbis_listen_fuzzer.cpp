// The listener's case: a track whose damage lies past its first second.
// The track plays for over a second exactly as a plain decode of the file
// gives it, then the listener seeks at several places and it plays on.
//
// The input is an Ogg file; inputs whose first second does not lie in whole,
// correct pages are passed over, so the fuzzer's time goes to damage later
// in the file. Besides the sanitizers it checks that the second before the
// first seek is exactly the plain decode, and, in a file the page check
// finds intact, that the sound after a seek's lap is exactly the plain
// decode from the position the seek reports.
#include "fuzz/ogg_fuzz.h"

#include "audio/decoder_guard.h"
#include "audio/ogg_pages.h"

#include <sanitizer/lsan_interface.h>

#include <cmath>

namespace {

constexpr long second = 44100;

// True when the pages that hold the first second of sound are whole and
// follow each other without a byte between them.
bool first_second_intact(const std::uint8_t* data, size_t size) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(size));
    std::memcpy(buffer, data, size);
    ogg_sync_wrote(&sync, static_cast<long>(size));
    bool intact = false;
    ogg_page page;
    long result;
    while ((result = ogg_sync_pageseek(&sync, &page)) > 0) {
        if (ogg_page_granulepos(&page) > 2 * second) {
            intact = true;
            break;
        }
    }
    ogg_sync_clear(&sync);
    return intact;
}

// The file through ov_read alone, as a player that never seeks hears it;
// one_link tells whether sample positions in it are the stream's own.
std::vector<Sint16> plain_decode(size_t most_samples, bool& one_link, bool& divided) {
    std::vector<Sint16> pcm;
    OggVorbis_File file;
    one_link = false;
    divided = false;
    if (ov_fopen(track_path.c_str(), &file) < 0) return pcm;
    one_link = ov_streams(&file) == 1;
    static char buffer[chunk];
    int section = 0;
    long got = 0;
    while (pcm.size() < most_samples) {
        // The same guard as the decoder's: a setup that makes the library
        // divide by zero ends this decode too.
        if (!guarded([&] { got = ov_read(&file, buffer, chunk, 0, 2, 1, &section); })) {
            divided = true;
            guarded([&] { ov_clear(&file); });
            return pcm;
        }
        if (got <= 0) break;
        const Sint16* samples = reinterpret_cast<const Sint16*>(buffer);
        pcm.insert(pcm.end(), samples, samples + got / 2);
    }
    ov_clear(&file);
    return pcm;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_track_file();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0 || !first_second_intact(data, size)) return 0;
    write_track(data, size);
    // libvorbisfile leaks a little when it refuses a broken stream (see
    // fuzz_vorbis); such files are none of the listener's case anyway.
    OggVorbis_File probe;
    __lsan_disable();
    const bool library_accepts = ov_fopen(track_path.c_str(), &probe) >= 0;
    if (library_accepts) ov_clear(&probe);
    __lsan_enable();
    if (!library_accepts) return 0;

    Vorbis track;
    if (!track.open(track_path)) return 0;
    const double length = track.total();
    if (!(length > 1.5)) return 0;

    // Not the listener's case when even a plain decode stops within the
    // first second (a damaged setup header makes every packet fail).
    bool one_link = false, divided = false;
    const std::vector<Sint16> plain = plain_decode(40 * 44100 * 2, one_link, divided);
    if (divided || plain.size() < 48 * chunk / 2) return 0;
    std::vector<Sint16> heard;
    read_chunks(track, 48, &heard);  // 1.1 s
    check(heard.size() == 48 * chunk / 2, "the first second did not play whole");
    check(std::equal(heard.begin(), heard.end(), plain.begin()), "the first second differs from a plain decode");

    int fd = open(track_path.c_str(), O_RDONLY);
    check(fd >= 0, "cannot read the track");
    const bool intact = ogg_pages_intact(fd);
    close(fd);

    const float fractions[] = {0.8f, 0.3f, 1.0f, size ? data[size - 1] / 256.0f : 0.0f, 0.6f, 0.05f};
    for (float fraction : fractions) {
        const float target = static_cast<float>(length) * fraction;
        track.seek(target);
        const double position = track.tell();
        // Not bounded by the length: in a file whose pages were shuffled
        // the library takes each page's granule position as it comes.
        check(position >= 0 && std::isfinite(position), "the position after a seek is not a place in the track");
        std::vector<Sint16> after;
        read_chunks(track, 8, &after);
        // The lap blends the first half short block (at most 4096 frames)
        // with the sound before the seek; from there on it is the plain sound.
        const long from = std::lround(position * 44100);
        constexpr size_t lap = 4096 * 2;
        if (intact && one_link && target < length && after.size() > lap && from >= 0 &&
            plain.size() >= size_t(from) * 2 + after.size()) {
            check(std::equal(after.begin() + lap, after.end(), plain.begin() + from * 2 + lap),
                  "after an intact seek the sound differs from a plain decode");
        }
    }
    return 0;
}
