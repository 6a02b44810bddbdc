#include "audio/vorbis.h"

#include "audio/decoder_guard.h"
#include "audio/ogg_pages.h"
#include "gfx/misc.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

Vorbis::Vorbis()
    : opened(false), dropped(false), bitstream(0), info(nullptr), file(), ahead(), ahead_begin(0), ahead_end(0),
      stop(Stop::none), framing(Framing::unchecked), seek_goal(0), check_seconds(0), held(nullptr) {}

Vorbis::~Vorbis() {
    if (opened && !dropped)
        ov_clear(&file);
}

void Vorbis::close() {
    if (opened && !dropped)
        ov_clear(&file);
    opened = false;
    dropped = false;
    info = nullptr;
    forget_ahead();
    framing = Framing::unchecked;
    page_check.reset();
}

bool Vorbis::open(const std::string& path) {
    close();

    int result = -1;
    if (!guarded([&] { result = ov_fopen(path.c_str(), &file); })) {
        guarded([&] { ov_clear(&file); });  // else it stays where it fell
        result = -1;
    }
    if (result < 0) {
        // ov_fopen has already released whatever it opened.
        say("cant open " + path + "\n");
        return false;
    }
    info = ov_info(&file, -1);
    // The channel test comes first: a mono file at another rate is reported
    // as not stereo.
    if (info == nullptr || info->channels != 2) {
        say("not stereo " + path + "\n");
        ov_clear(&file);
        return false;
    }
    if (info->rate != 44100) {
        say("samplerate not 44100 " + path + "\n");
        ov_clear(&file);
        return false;
    }
    opened = true;
    return true;
}

void Vorbis::say(const std::string& line) {
    if (held != nullptr)
        held->append(line);
    else
        print_line(line);
}

void Vorbis::forget_ahead() {
    ahead_begin = ahead_end = 0;
    stop = Stop::none;
}

void Vorbis::abandon() {
    // The library stands where the division left it; clearing it frees
    // what it holds, and if even that fails the handle is left alone.
    guarded([&] { ov_clear(&file); });
    dropped = true;
    info = nullptr;
    forget_ahead();
    say("vorbis fuckup\n");
}

void Vorbis::decode_ahead() {
    ahead_begin = ahead_end = 0;
    while (ahead_end < read_ahead_bytes) {
        // little-endian, 16-bit words, signed: the device's format as it is
        long last = 0;
        const int room = read_ahead_bytes - ahead_end;
        if (!guarded([&] { last = ov_read(&file, ahead + ahead_end, room, 0, 2, 1, &bitstream); })) {
            abandon();
            return;
        }
        if (last <= 0) {
            stop = last < 0 ? Stop::fault : Stop::end;
            return;
        }
        ahead_end += static_cast<int>(last);
    }
}

int Vorbis::read(Sint16* buffer, int bytes) {
    if (!opened || dropped)
        return 0;
    char* out = reinterpret_cast<char*>(buffer);
    int delivered = 0;
    while (delivered < bytes) {
        if (ahead_begin == ahead_end) {
            if (stop != Stop::none) {
                // A hole or a damaged packet ends the track like its end
                // would; reading on tries the decoder again.
                if (stop == Stop::fault) say("vorbis fuckup\n");
                stop = Stop::none;
                break;
            }
            decode_ahead();
            if (dropped)
                break;  // with its line; the short read ends the track
            continue;
        }
        int n = std::min(bytes - delivered, ahead_end - ahead_begin);
        std::memcpy(out + delivered, ahead + ahead_begin, static_cast<std::size_t>(n));
        ahead_begin += n;
        delivered += n;
    }
    return delivered;
}

double Vorbis::tell() {
    if (!opened || dropped)
        return 0;
    // The decoder stands past the sound decoded ahead and not yet handed out.
    double seconds = ov_time_tell(&file) - (ahead_end - ahead_begin) / 4 / 44100.0;
    // Besides its invalid-argument code, the library can report a negative
    // or infinite position after a lapped seek it could not make; a play
    // position is never that, so all of these read as the start.
    return std::isfinite(seconds) && seconds >= 0 ? seconds : 0;
}

double Vorbis::decoded_time() {
    if (!opened || dropped)
        return std::numeric_limits<double>::quiet_NaN();
    return ov_time_tell(&file);
}

double Vorbis::total() {
    if (!opened || dropped)
        return 0;
    return ov_time_total(&file, -1);
}

void Vorbis::seek(double seconds) {
    for (SeekProgress progress = begin_seek(seconds); progress == SeekProgress::unfinished;)
        progress = continue_seek();
}

Vorbis::SeekProgress Vorbis::begin_seek(double seconds) {
    if (!opened || dropped)
        return SeekProgress::unmoved;
    // The library refuses targets outside [0, length) only after it has
    // taken its lap from the decoder, which the sound decoded ahead would
    // then jump over; asked for nothing, it keeps playing without a seam.
    // NaN fails the test too, and so does any target of a stream whose
    // length is not finite: the library turns seconds into a sample count
    // unchecked.
    const double length = total();
    if (!std::isfinite(length) || !(seconds >= 0 && seconds < length))
        return SeekProgress::unmoved;
    if (framing == Framing::unchecked) {
        // ov_fopen reads through a stdio stream of its own; the check reads
        // the same descriptor without moving it. A newer target asked for
        // while the check runs goes on with it.
        FILE* source = static_cast<FILE*>(file.datasource);
        if (source == nullptr) {
            framing = Framing::damaged;
        } else {
            if (!page_check)
                page_check.reset(new OggPageCheck(fileno(source)));
            check_seconds = seconds;
            return continue_page_check();
        }
    }
    return seek_checked(seconds);
}

Vorbis::SeekProgress Vorbis::continue_page_check() {
    if (!page_check->step())
        return SeekProgress::unfinished;
    framing = page_check->intact() ? Framing::intact : Framing::damaged;
    page_check.reset();
    return seek_checked(check_seconds);
}

Vorbis::SeekProgress Vorbis::seek_checked(double seconds) {
    if (framing != Framing::intact)
        return seek_by_decoding(seconds);
    // What was decoded ahead still plays when the seek fails.
    int result = -1;
    if (!guarded([&] { result = ov_time_seek_lap(&file, seconds); })) {
        abandon();
        return SeekProgress::moved;
    }
    if (result != 0)
        return SeekProgress::unmoved;
    forget_ahead();
    return SeekProgress::moved;
}

Vorbis::SeekProgress Vorbis::continue_seek() {
    if (!opened || dropped)
        return SeekProgress::moved;
    if (page_check)
        return continue_page_check();
    return decode_toward_goal();
}

Vorbis::SeekProgress Vorbis::seek_by_decoding(double seconds) {
    // The target sample, computed the way the library's time seek does:
    // the links before the one the time falls in count whole.
    ogg_int64_t target = 0;
    double link_start = 0;
    for (int link = 0; link < ov_streams(&file); ++link) {
        const double link_length = ov_time_total(&file, link);
        const ogg_int64_t link_samples = std::max<ogg_int64_t>(ov_pcm_total(&file, link), 0);
        if (seconds < link_start + link_length) {
            const vorbis_info* link_info = ov_info(&file, link);
            const double into = (seconds - link_start) * (link_info != nullptr ? link_info->rate : 0);
            if (into > 0 && into < static_cast<double>(link_samples))
                target += std::min(static_cast<ogg_int64_t>(into),
                                   std::numeric_limits<ogg_int64_t>::max() - target);
            break;
        }
        link_start += link_length;
        // Saturating: damaged links may claim lengths near the largest
        // granule position, and their sum must not wrap.
        target = link_samples > std::numeric_limits<ogg_int64_t>::max() - target
                     ? std::numeric_limits<ogg_int64_t>::max()
                     : target + link_samples;
    }
    // Only ov_read moves the decoder here, the very path that plays every
    // damaged file from its start to its end.
    if (target < ov_pcm_tell(&file) && !restart_stream())
        return SeekProgress::moved;
    forget_ahead();
    seek_goal = target;
    return decode_toward_goal();
}

Vorbis::SeekProgress Vorbis::decode_toward_goal() {
    const ogg_int64_t target = seek_goal;
    long long decoded = 0;
    for (;;) {
        // The library labels the sound after lost pages by counting on from
        // before them until the next granule position: a target inside lost
        // sound thus plays the first sound decoded after the loss.
        const ogg_int64_t at = ov_pcm_tell(&file);
        if (at >= target)
            return SeekProgress::moved;
        if (at < 0) {
            stop = Stop::fault;  // no place in the stream: nothing to count from
            return SeekProgress::moved;
        }
        // One slice is about as much sound as one decoding step ahead.
        if (decoded >= read_ahead_bytes)
            return SeekProgress::unfinished;
        const vorbis_info* now = ov_info(&file, -1);
        const ogg_int64_t frame_bytes = 2 * (now != nullptr && now->channels > 0 ? now->channels : 2);
        // Frames first: a length a damaged stream claims can be as large as
        // a granule position, and in bytes that product would overflow.
        const ogg_int64_t frames = std::min<ogg_int64_t>(target - at, read_ahead_bytes / frame_bytes);
        const int wanted = static_cast<int>(frames * frame_bytes);
        // Decoded into the read-ahead buffer, which is empty now.
        long got = 0;
        if (!guarded([&] { got = ov_read(&file, ahead, wanted, 0, 2, 1, &bitstream); })) {
            abandon();
            return SeekProgress::moved;
        }
        // Lost sound before the target was jumped over: never heard, so
        // not reported; the decoder goes on after it.
        if (got == OV_HOLE)
            continue;
        if (got <= 0) {
            // Nothing more to read (the next read ends the track) or an
            // error the decoder cannot pass (reported by that read).
            stop = got == 0 ? Stop::end : Stop::fault;
            return SeekProgress::moved;
        }
        decoded += got;
    }
}

bool Vorbis::restart_stream() {
    // The same file through a descriptor of its own: the path may name
    // another file by now, or none.
    FILE* source = static_cast<FILE*>(file.datasource);
    const int copy = source != nullptr ? dup(fileno(source)) : -1;
    FILE* fresh = copy >= 0 ? fdopen(copy, "rb") : nullptr;
    if (copy >= 0 && fresh == nullptr)
        ::close(copy);
    ov_clear(&file);
    forget_ahead();
    int result = -1;
    if (fresh != nullptr && std::fseek(fresh, 0, SEEK_SET) == 0 &&
        !guarded([&] { result = ov_open_callbacks(fresh, &file, nullptr, 0, OV_CALLBACKS_DEFAULT); })) {
        guarded([&] { ov_clear(&file); });
        fresh = nullptr;  // it belongs to the handle left where it fell
    }
    if (result == 0) {
        info = ov_info(&file, -1);
        return true;
    }
    // The library leaves a stream it refused open.
    if (fresh != nullptr)
        std::fclose(fresh);
    dropped = true;
    info = nullptr;
    say("vorbis fuckup\n");
    return false;
}

void Vorbis::read_tags(std::string& artist, std::string& title, std::string& comment) {
    if (!opened || dropped)
        return;
    vorbis_comment* comments = ov_comment(&file, -1);
    if (comments == nullptr)
        return;
    for (int i = 0; i < comments->comments; ++i) {
        const char* raw = comments->user_comments[i];
        if (raw == nullptr)
            continue;
        // Tags are untrusted bytes of any length; they are copied as they
        // are, never interpreted beyond the prefix.
        const std::string entry(raw, std::strlen(raw));
        if (starts_with_nocase(entry, "TITLE=")) {
            if (entry.size() > 6)
                title = entry.substr(6);
        } else if (starts_with_nocase(entry, "ARTIST=")) {
            if (entry.size() > 7)
                artist = entry.substr(7);
        } else if (starts_with_nocase(entry, "COMMENT=")) {
            if (entry.size() > 8)
                comment = entry.substr(8);
        }
    }
}
