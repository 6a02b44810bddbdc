// One Ogg Vorbis track read through libvorbisfile: the playback engine's
// current track. Admits only streams the device plays unconverted (2 channels,
// 44100 Hz), hands out interleaved signed 16-bit little-endian PCM, reports
// length and position in seconds, seeks with lapped seeking and picks the
// ARTIST, TITLE and COMMENT tags. Diagnostics are lines on stdout (or held
// for the caller to say later); nothing throws. Not thread-safe: the engine
// calls it from its decoder only, one call at a time.
#pragma once

#include <SDL.h>
#include <vorbis/vorbisfile.h>
#include <memory>
#include <string>

class OggPageCheck;

class Vorbis {
public:
    Vorbis();
    virtual ~Vorbis();
    Vorbis(const Vorbis&) = delete;
    Vorbis& operator=(const Vorbis&) = delete;

    // Closes any open stream first, so a failed open leaves the object closed;
    // prints why a file was refused.
    bool open(const std::string& path);
    bool is_open() const { return opened; }
    void close();
    // Fills up to bytes of buffer; fewer means end of stream or a decoding
    // error. Bytes past the count returned are left as they were.
    int read(Sint16* buffer, int bytes);
    // Seconds handed out by read; 0 when closed.
    double tell();
    // Seconds in the whole stream; 0 when closed, the library's negative error
    // codes passed on as they are.
    double total();
    // Lapped seek, so the jump does not click; does nothing when closed.
    // Only targets from 0 up to (not including) the length are made: the
    // library refuses the others, but only after taking its lap from the
    // decoder, and the sound decoded ahead would then jump. A stream whose
    // pages are damaged is sought by decoding up to the target instead.
    void seek(double seconds);
    // The same seek cut into slices, each checking or decoding a bounded
    // stretch, so the first seek in a long track and any seek in a damaged
    // one can give way to other work or to a newer request between slices. begin_seek makes the first; while the
    // result is unfinished, continue_seek makes the next. Unmoved: nothing
    // was asked of the library (a target outside the track) or its seek
    // failed, and what was decoded ahead still plays.
    enum class SeekProgress { unmoved, moved, unfinished };
    SeekProgress begin_seek(double seconds);
    SeekProgress continue_seek();
    // The decoder's own position in seconds, past everything decoded ahead;
    // not a number when closed. The play position is this less what is
    // still to be handed out.
    double decoded_time();
    // With a sink, every line the decoder would print is appended to it
    // instead, for the caller to say where the listener hears its cause;
    // nullptr prints again.
    void hold_lines(std::string* sink) { held = sink; }
    // Overwrites each string whose tag has a non-empty value (the last such
    // entry wins); leaves the strings alone when closed.
    void read_tags(std::string& artist, std::string& title, std::string& comment);

    // Sound is decoded this many bytes ahead of what read hands out: a
    // decoder woken for a few milliseconds at a time runs on cold caches
    // and costs twice as much per second of sound as one that decodes a
    // stretch at once.
    static constexpr int read_ahead_bytes = 32768 * 4;

private:
    enum class Stop { none, end, fault };
    // Decodes up to read_ahead_bytes into ahead; notes why it stopped short.
    void decode_ahead();
    void forget_ahead();
    // After the library divided by zero inside a call (see decoder_guard):
    // the handle is cleared with a "vorbis fuckup" line and the track, still
    // open to the engine, reads as ended, so the engine moves on.
    void abandon();
    // The library's bisecting seek reads past freed memory on some damaged
    // streams, so a stream's pages are checked once, before its first seek,
    // in slices like the seek's own.
    enum class Framing { unchecked, intact, damaged };
    SeekProgress continue_page_check();
    // The seek once the pages are known.
    SeekProgress seek_checked(double seconds);
    // Reaches the target by decoding, from where the decoder stands when the
    // target lies ahead of it, else from a fresh start of the same file.
    SeekProgress seek_by_decoding(double seconds);
    // Decodes toward seek_goal for at most read_ahead_bytes of sound.
    SeekProgress decode_toward_goal();
    bool restart_stream();
    void say(const std::string& line);

    bool opened;
    bool dropped;  // open, but its library handle is gone: reads as ended
    int bitstream;
    vorbis_info* info;
    OggVorbis_File file;
    char ahead[read_ahead_bytes];
    int ahead_begin;
    int ahead_end;
    Stop stop;  // reported once read has handed out everything before it
    Framing framing;
    long long seek_goal;  // sample the seek by decoding is heading for
    std::unique_ptr<OggPageCheck> page_check;  // under way for a first seek
    double check_seconds;  // where that seek goes once the pages are known
    std::string* held;
};
