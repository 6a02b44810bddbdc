#include "audio/vorbis.h"

#include "gfx/misc.h"

#include <algorithm>
#include <cmath>
#include <cstring>

Vorbis::Vorbis()
    : opened(false), bitstream(0), info(nullptr), file(), ahead(), ahead_begin(0), ahead_end(0),
      stop(Stop::none) {}

Vorbis::~Vorbis() {
    if (opened)
        ov_clear(&file);
}

bool Vorbis::open(const std::string& path) {
    if (opened)
        ov_clear(&file);
    opened = false;
    info = nullptr;
    forget_ahead();

    if (ov_fopen(path.c_str(), &file) < 0) {
        // ov_fopen has already released whatever it opened.
        print_line("cant open " + path + "\n");
        return false;
    }
    info = ov_info(&file, -1);
    // The channel test comes first: a mono file at another rate is reported
    // as not stereo.
    if (info == nullptr || info->channels != 2) {
        print_line("not stereo " + path + "\n");
        ov_clear(&file);
        return false;
    }
    if (info->rate != 44100) {
        print_line("samplerate not 44100 " + path + "\n");
        ov_clear(&file);
        return false;
    }
    opened = true;
    return true;
}

void Vorbis::forget_ahead() {
    ahead_begin = ahead_end = 0;
    stop = Stop::none;
}

void Vorbis::decode_ahead() {
    ahead_begin = ahead_end = 0;
    while (ahead_end < read_ahead_bytes) {
        // little-endian, 16-bit words, signed: the device's format as it is
        long last = ov_read(&file, ahead + ahead_end, read_ahead_bytes - ahead_end, 0, 2, 1, &bitstream);
        if (last <= 0) {
            stop = last < 0 ? Stop::fault : Stop::end;
            return;
        }
        ahead_end += static_cast<int>(last);
    }
}

int Vorbis::read(Sint16* buffer, int bytes) {
    if (!opened)
        return 0;
    char* out = reinterpret_cast<char*>(buffer);
    int delivered = 0;
    while (delivered < bytes) {
        if (ahead_begin == ahead_end) {
            if (stop != Stop::none) {
                // A hole or a damaged packet ends the track like its end
                // would; reading on tries the decoder again.
                if (stop == Stop::fault) print_line("vorbis fuckup\n");
                stop = Stop::none;
                break;
            }
            decode_ahead();
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
    if (!opened)
        return 0;
    // The decoder stands past the sound decoded ahead and not yet handed out.
    double seconds = ov_time_tell(&file) - (ahead_end - ahead_begin) / 4 / 44100.0;
    // Besides its invalid-argument code, the library can report a negative
    // or infinite position after a lapped seek it could not make; a play
    // position is never that, so all of these read as the start.
    return std::isfinite(seconds) && seconds >= 0 ? seconds : 0;
}

double Vorbis::total() {
    if (!opened)
        return 0;
    return ov_time_total(&file, -1);
}

void Vorbis::seek(double seconds) {
    // The library turns seconds into a sample count unchecked; NaN or
    // infinity would make that conversion undefined.
    // What was decoded ahead still plays when the seek fails.
    if (opened && std::isfinite(seconds) && ov_time_seek_lap(&file, seconds) == 0)
        forget_ahead();
}

void Vorbis::read_tags(std::string& artist, std::string& title, std::string& comment) {
    if (!opened)
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
