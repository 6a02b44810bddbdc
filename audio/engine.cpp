#include "audio/engine.h"

#include "gfx/misc.h"
#include "audio/playlist.h"
#include "audio/spectrum.h"
#include "audio/vorbis.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <list>
#include <vector>
// The decoder runs on a thread of its own wherever the build has threads;
// a page in a browser has none, and its main loop runs audio_service.
#ifndef DISKPLAYER_THREADS
#ifdef __EMSCRIPTEN__
#define DISKPLAYER_THREADS 0
#else
#define DISKPLAYER_THREADS 1
#endif
#endif
#if DISKPLAYER_THREADS
#include <system_error>
#include <thread>
#endif

// Everything here lives at namespace scope, not in function-local statics:
// those would be destroyed after SDL_Quit's exit handler is registered, that
// is before it runs, while the callback might still be using them.
dlib::mutex audio_lock;
std::mutex decoder_lock;
float gain = 1.0f;
float fade_step = 0;
FadeAction pending_action = FadeAction::Pause;
float seek_target = 0;
bool paused = false;

namespace {

// ---- what the callback and the decoder share, under audio_lock ----

Feed feed;
// Bumped whenever the waiting sound is thrown away: a decoder step begun
// before publishes nothing.
std::uint32_t feed_generation = 0;

enum class Request { none, open, seek };
// The latest open or seek asked of the decoder; a newer one replaces it.
struct DecoderRequest {
    Request kind = Request::none;
    std::uint32_t generation = 0;
    std::int32_t index = 0;     // open: the entry; seek: the playing track's
    std::uint32_t serial = 0;   // seek: the playing track
    double seconds = 0;         // seek: the target
    double length = 0;          // seek: the playing track's length
    bool announce = false;      // open: one more track-changed notification after it
    bool stop_after = false;    // open: the list wrapped; announce the stop after the track
};
DecoderRequest request;
std::uint32_t request_generation = 0;
// The generation of the latest request and of the latest one carried out:
// read without audio_lock by whoever waits for the decoder.
std::atomic<std::uint32_t> asked_generation{0};
std::atomic<std::uint32_t> served_generation{0};

// The play position: the decoder's time after the piece read last, less
// what of that piece is still to be handed out.
double played_end_time = 0;
int played_remaining = 0;

// ---- the decoder's own, touched only under decoder_lock ----

Vorbis decoder_track;
std::uint32_t decoder_serial = 0;   // 0: none open
std::int32_t decoder_index = -1;
bool decoder_stopped = true;        // nothing more to decode from it
std::uint32_t serials_given = 0;
bool seek_unfinished = false;       // a seek cut into slices is under way
std::uint32_t seek_generation = 0;

// ---- the decoder thread and its wake-up: a leaf lock ----

bool use_decoder_thread = DISKPLAYER_THREADS != 0;
std::mutex wake_lock;
std::condition_variable wake_signal;
std::condition_variable served_signal;
bool woken = false;
// The callback is short of sound: the decoder skips its courtesy pause.
bool hurry = false;
bool decoder_stopping = false;
// Whether a decoder thread runs, for the callback (which must not touch the
// thread object the main thread starts and joins).
std::atomic<bool> decoder_live{false};
// Counts the pieces the decoder has published; with served_signal, what a
// callback short of sound waits for.
std::atomic<std::uint32_t> pieces_published{0};
#if DISKPLAYER_THREADS
std::thread decoder_thread;
#endif

void wake_decoder() {
    {
        std::lock_guard<std::mutex> lock(wake_lock);
        woken = true;
    }
    wake_signal.notify_one();
}

std::atomic<void (*)()> track_changed_handler{nullptr};
std::atomic<void (*)()> playback_stopped_handler{nullptr};

// One record per notification thread. The thread sets done as its very last
// step, so a record whose flag is set belongs to a thread that has returned
// or is about to: joining it never waits on anything.
struct Notification {
    explicit Notification(std::atomic<void (*)()>* handler_slot) : slot(handler_slot) {}
    std::atomic<void (*)()>* slot;
#if DISKPLAYER_THREADS
    std::thread thread;
#endif
    std::atomic<bool> done{false};
};

// A leaf lock: taken inside audio_lock by deliveries, never around another
// lock or a join of a running thread. std::list keeps each record in place
// while its thread runs.
dlib::mutex notification_lock;
std::list<Notification> notifications;

void run_notification(Notification* record) {
    // The slot is read now, not when the event happened: a handler installed
    // after the event still gets it.
    if (void (*handler)() = record->slot->load())
        handler();
    record->done.store(true, std::memory_order_release);
}

// Joins the record's thread, or runs its handler here where it has none.
void finish_notification(Notification& record) {
#if DISKPLAYER_THREADS
    if (record.thread.joinable()) {
        record.thread.join();
        return;
    }
#endif
    run_notification(&record);
}

// Joins the threads that have finished; bounded however often tracks change.
void reap_finished_notifications() {
    std::list<Notification> finished;
    {
        dlib::auto_mutex lock(notification_lock);
        for (auto it = notifications.begin(); it != notifications.end();) {
            const auto record = it++;
            if (record->done.load(std::memory_order_acquire))
                finished.splice(finished.end(), notifications, record);
        }
    }
    for (Notification& record : finished)
        finish_notification(record);
}

void deliver(std::atomic<void (*)()>& slot) {
    reap_finished_notifications();
    dlib::auto_mutex lock(notification_lock);
    notifications.emplace_back(&slot);
    Notification& record = notifications.back();
#if DISKPLAYER_THREADS
    // Not SDL_CreateThread: it waits until the new thread has started,
    // which is a trip through the scheduler under audio_lock, and the
    // frame thread waited 1.5 to 2 ms for that lock at every track change.
    try {
        record.thread = std::thread(run_notification, &record);
    } catch (const std::system_error&) {
    }
#endif
    // Without a thread (a build without threads, as in a web page) the
    // record waits, and the next wait_for_notifications runs the handler on
    // its caller's thread, outside audio_lock: the notification comes late
    // rather than never.
}

void notify_track_changed() {
    deliver(track_changed_handler);
}

// Raised only when a handler is set at the moment of the event.
void notify_playback_stopped() {
    if (playback_stopped_handler.load() != nullptr)
        deliver(playback_stopped_handler);
}

// Throws away the sound waiting and asks the decoder to open entry index.
void ask_open(std::int32_t index, bool announce) {
    feed.clear();
    ++feed_generation;
    request = DecoderRequest();
    request.kind = Request::open;
    request.generation = ++request_generation;
    request.index = index;
    request.announce = announce;
    asked_generation.store(request.generation);
    wake_decoder();
}

// The playing track stays; its sound waiting is thrown away only once the
// decoder has moved (a refused seek leaves it to play on).
void ask_seek(double seconds) {
    FeedTrack& playing = feed.track(0);
    playing.seeking = true;
    request = DecoderRequest();
    request.kind = Request::seek;
    request.generation = ++request_generation;
    request.index = playing.index;
    request.serial = playing.serial;
    request.seconds = seconds;
    request.length = playing.length;
    asked_generation.store(request.generation);
    wake_decoder();
}

bool request_pending() {
    return asked_generation.load() != served_generation.load();
}

double playing_length() {
    return track_loaded() ? feed.track(0).length : 0;
}

// Copies up to length bytes of the playing track's sound; ended is set when
// its decoding stopped and everything before the stop has been handed out.
// Short without ended only where the decoder has fallen behind.
int hand_out(Uint8* stream, int length, bool& ended) {
    const std::uint32_t serial = feed.track(0).serial;
    int delivered = 0;
    bool room = false;
    while (delivered < length && feed.pieces() > 0 && feed.piece(0).serial == serial) {
        FeedPiece& piece = feed.piece(0);
        if (piece.used == piece.size) {
            // Said where the listener hears it: damage found while decoding
            // ahead ends the track only once the sound before it has played.
            if (!piece.lines.empty())
                print_line(piece.lines);
            const bool last = piece.last;
            feed.drop_piece();
            room = true;
            if (last) {
                ended = true;
                break;
            }
            continue;
        }
        const int n = std::min(length - delivered, piece.size - piece.used);
        std::memcpy(stream + delivered, piece.bytes.get() + piece.used, static_cast<std::size_t>(n));
        piece.used += n;
        delivered += n;
        played_end_time = piece.end_time;
        played_remaining = piece.size - piece.used;
    }
    if (room)
        wake_decoder();
    if (ended)
        return delivered;
    // Behind: silence rather than a wait. Not an end of the track.
    std::memset(stream + delivered, 0, static_cast<std::size_t>(length - delivered));
    return length;
}

// The first track of the feed is the one playing from now on.
void start_playing_first_track() {
    FeedTrack& playing = feed.track(0);
    if (!playing.lines.empty())
        print_line(playing.lines);
    played_end_time = playing.start_time;
    played_remaining = 0;
    if (playing.opened)
        notify_track_changed();
    else
        print_line("failed to open: " + playlist[playing.index] + "\n");
}

void begin_fade_out(FadeAction action) {
    pending_action = action;
    fade_step = -FADE_INCREMENT;
}

// The fade-out has reached zero: carry out what was asked last. True when
// that left the track (a step) or moved within it (a seek).
bool finish_fade_out() {
    bool moved = false;
    switch (pending_action) {
    case FadeAction::Pause:
        paused = true;  // gain stays 0 and the step negative until a start
        break;
    case FadeAction::Previous:
        change_track(-1);
        moved = true;
        break;
    case FadeAction::Next:
        change_track(+1);
        moved = true;
        break;
    case FadeAction::Seek:
        pending_action = FadeAction::None;
        fade_step = FADE_INCREMENT;  // gain stays 0: the sound after the seek fades in
        moved = true;
        if (feed.tracks() > 0 && feed.track(0).opened) {
            // The target stays shown until the decoder has reached it.
            ask_seek(seek_target);
            return moved;
        }
        break;
    case FadeAction::None:
        break;
    }
    // A seek replaced by another request is dropped here too.
    seek_target = 0;
    return moved;
}

// Whether a request must fade the sound out first. Once paused is set the
// device may still run for one silent buffer, but nothing is heard: a fade
// begun then would be left over for the next start.
bool sounding() {
    return is_playing() && !paused;
}

// Returns false when the device refused the request or granted another
// format; prints the buffer-size line either way.
bool open_device() {
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = audio_callback;
    // Zeroed: SDL leaves it untouched when the open fails, and the line
    // below then reads "buffer size: 0 (0 ms)".
    SDL_AudioSpec obtained{};
    const int result = SDL_OpenAudio(&wanted, &obtained);
    const unsigned int samples = obtained.samples;
    print_line("buffer size: " + std::to_string(samples) + " (" +
               std::to_string(samples * 1000u / 44100u) + " ms)\n");
    // A different buffer size is fine; anything that would need conversion is not.
    if (result < 0 || obtained.freq != wanted.freq || obtained.format != wanted.format ||
        obtained.channels != wanted.channels) {
        print_line("can't open audio device\n");
        SDL_CloseAudio();
        return false;
    }
    return true;
}


// ---- the decoder: each job is claimed under audio_lock, done without it,
// and published under it unless a newer request made it stale ----

// Opens entry index into a track record of its own, holding what the
// opening prints for when the track plays.
void open_for_feed(std::int32_t index, FeedTrack& made) {
    made.index = index;
    decoder_track.hold_lines(&made.lines);
    made.opened = decoder_track.open(playlist[static_cast<std::size_t>(index)]);
    decoder_track.hold_lines(nullptr);
    if (made.opened) {
        decoder_track.read_tags(made.artist, made.title, made.comment);
        made.length = decoder_track.total();
        made.start_time = decoder_track.decoded_time();
    }
    if (++serials_given == 0)
        ++serials_given;  // 0 means no track
    made.serial = decoder_serial = serials_given;
    decoder_index = index;
    decoder_stopped = !made.opened;
    seek_unfinished = false;
}

// Wakes whoever waits for the decoder: for a request carried out, or for
// a piece published. Through the leaf lock, so a waiter between its test
// and its sleep cannot miss it.
void announce_served() {
    { std::lock_guard<std::mutex> lock(wake_lock); }
    served_signal.notify_all();
}

void serve_open(const DecoderRequest& asked) {
    FeedTrack made;
    open_for_feed(asked.index, made);
    {
        dlib::auto_mutex lock(audio_lock);
        if (asked_generation.load() != asked.generation)
            return;  // replaced while it opened
        feed.clear();
        ++feed_generation;
        std::swap(feed.free_track(), made);
        feed.publish_track();
        served_generation.store(asked.generation);
        start_playing_first_track();
        if (request.announce)
            notify_track_changed();
        if (request.stop_after)
            notify_playback_stopped();
    }
    announce_served();
}

// One slice of a seek: the first checks the target and, when the decoder
// has moved on to the next entry already, reopens the playing one.
void serve_seek(const DecoderRequest& asked) {
    Vorbis::SeekProgress progress = Vorbis::SeekProgress::unmoved;
    if (seek_unfinished && seek_generation == asked.generation) {
        progress = decoder_track.continue_seek();
    } else if (std::isfinite(asked.length) && asked.seconds >= 0 && asked.seconds < asked.length) {
        if (decoder_serial != asked.serial) {
            FeedTrack reopened;
            open_for_feed(asked.index, reopened);
            decoder_serial = asked.serial;
        }
        progress = decoder_track.begin_seek(asked.seconds);
    }
    seek_generation = asked.generation;
    seek_unfinished = progress == Vorbis::SeekProgress::unfinished;
    if (seek_unfinished)
        return;
    const bool moved = progress == Vorbis::SeekProgress::moved;
    if (moved)
        decoder_stopped = false;
    const double start_time = decoder_track.decoded_time();
    {
        dlib::auto_mutex lock(audio_lock);
        if (asked_generation.load() != asked.generation)
            return;
        served_generation.store(asked.generation);
        seek_target = 0;
        if (feed.tracks() == 0 || feed.track(0).serial != asked.serial)
            return;
        FeedTrack& playing = feed.track(0);
        playing.seeking = false;
        if (moved) {
            feed.clear_pieces();
            feed.drop_newer_tracks();
            ++feed_generation;
            playing.start_time = start_time;
            played_end_time = start_time;
            played_remaining = 0;
        }
    }
    announce_served();
}

void serve_preload(std::int32_t index, std::uint32_t generation) {
    FeedTrack made;
    open_for_feed(index, made);
    dlib::auto_mutex lock(audio_lock);
    if (feed_generation != generation || feed.tracks() != 1)
        return;
    std::swap(feed.free_track(), made);
    feed.publish_track();
}

void serve_fill(FeedPiece& slot, std::uint32_t generation) {
    slot.lines.clear();
    decoder_track.hold_lines(&slot.lines);
    const int n = decoder_track.read(reinterpret_cast<Sint16*>(slot.bytes.get()), Vorbis::read_ahead_bytes);
    decoder_track.hold_lines(nullptr);
    slot.serial = decoder_serial;
    slot.size = n;
    slot.used = 0;
    slot.end_time = decoder_track.decoded_time();
    slot.last = n < Vorbis::read_ahead_bytes;
    dlib::auto_mutex lock(audio_lock);
    if (feed_generation != generation)
        return;
    feed.publish_piece();
    decoder_stopped = slot.last;
    pieces_published.fetch_add(1);
    announce_served();  // to a callback waiting for this piece
}

#if DISKPLAYER_THREADS
// The decoder runs at the program's own priority. Set behind the others
// (a nice value), it would still take audio_lock for its moments of
// bookkeeping, and a loaded machine then leaves it waiting for the
// processor while it holds that lock: the audio callback and the frame
// thread waited up to 18 ms for it behind two busy loops, against 1 to
// 5 ms at the same priority.
void decoder_loop() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(wake_lock);
            if (decoder_stopping)
                return;
            woken = false;
            hurry = false;
        }
        if (audio_service())
            continue;
        std::unique_lock<std::mutex> lock(wake_lock);
        wake_signal.wait(lock, [] { return woken || decoder_stopping; });
        // Woken by the callback for room, with a piece still ahead: the
        // audio thread that woke it hands its buffer to the device first.
        // Run at once, the freshly woken decoder takes the audio thread's
        // core for a whole piece, and a sound server with 11 ms buffers
        // then runs dry on a loaded machine.
        wake_signal.wait_for(lock, std::chrono::milliseconds(20), [] {
            return decoder_stopping || hurry || asked_generation.load() != served_generation.load();
        });
    }
}
#endif

void start_decoder_thread() {
#if DISKPLAYER_THREADS
    if (!use_decoder_thread || decoder_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(wake_lock);
        decoder_stopping = false;
    }
    decoder_thread = std::thread(decoder_loop);
    decoder_live.store(true);
#endif
}

// Returns within one step: a long seek gives way between its slices.
void stop_decoder_thread() {
#if DISKPLAYER_THREADS
    if (!decoder_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(wake_lock);
        decoder_stopping = true;
    }
    decoder_live.store(false);
    wake_signal.notify_one();
    served_signal.notify_all();
    decoder_thread.join();
#endif
}

bool decoder_thread_running();

// A sound server starts its clock with the first buffer: silence handed
// out while the decoder makes the first piece would start it early, and on
// a loaded machine the server then skips sound that came late. Bounded:
// a track that never decodes starts after a second anyway.
void wait_for_first_piece() {
    for (int waited = 0; waited < 1000; ++waited) {
        {
            dlib::auto_mutex lock(audio_lock);
            if (feed.tracks() == 0 || !feed.track(0).opened || feed.pieces_of(feed.track(0).serial) > 0 ||
                request_pending())
                return;
        }
        if (!decoder_thread_running()) {
            if (!audio_service())
                return;
        } else {
            SDL_Delay(1);
        }
    }
}

bool decoder_thread_running() {
#if DISKPLAYER_THREADS
    return decoder_thread.joinable();
#else
    return false;
#endif
}

}  // namespace

bool audio_service() {
    std::lock_guard<std::mutex> step(decoder_lock);
    enum class Job { none, request, preload, fill } job = Job::none;
    DecoderRequest asked;
    FeedPiece* slot = nullptr;
    std::int32_t next_index = 0;
    std::uint32_t generation = 0;
    {
        dlib::auto_mutex lock(audio_lock);
        generation = feed_generation;
        const int tracks = feed.tracks();
        if (request_pending()) {
            asked = request;
            job = Job::request;
        } else if (decoder_serial != 0 && tracks > 0 && feed.track(tracks - 1).serial == decoder_serial &&
                   feed.pieces() < Feed::piece_slots) {
            // Two pieces ahead of the playing one's end, then the start of
            // the entry after it.
            if (!decoder_stopped && feed.pieces_of(decoder_serial) < 2) {
                slot = &feed.free_piece();
                job = Job::fill;
            } else if (decoder_stopped && tracks == 1 && !playlist.empty()) {
                next_index = static_cast<std::int32_t>(step_index(static_cast<std::size_t>(decoder_index), +1));
                job = Job::preload;
            }
        }
    }
    switch (job) {
    case Job::none:
        return false;
    case Job::request:
        if (asked.kind == Request::open)
            serve_open(asked);
        else
            serve_seek(asked);
        break;
    case Job::preload:
        serve_preload(next_index, generation);
        break;
    case Job::fill:
        serve_fill(*slot, generation);
        break;
    }
    return true;
}

void set_decoder_thread(bool on) {
    use_decoder_thread = on && DISKPLAYER_THREADS != 0;
    if (!use_decoder_thread)
        stop_decoder_thread();
}

void wait_for_decoder() {
    if (decoder_thread_running()) {
        std::unique_lock<std::mutex> lock(wake_lock);
        served_signal.wait(lock, [] { return asked_generation.load() == served_generation.load() || decoder_stopping; });
        return;
    }
    while (asked_generation.load() != served_generation.load() && audio_service()) {
    }
}

void audio_init(unsigned int bands) {
    init_spectrum(bands);
    scan_music_folder();
}

bool is_playing() {
    // SDL only reads its own flags here, without its device lock, so this
    // may be called under audio_lock.
    return SDL_GetAudioStatus() == SDL_AUDIO_PLAYING;
}

void change_track(int offset) {
    if (playlist.empty())
        return;
    current_index = step_index(current_index, offset);
    // The decoder opens the entry after the one it played to its end ahead
    // of time, so a track follows the last without a gap.
    if (offset != 0 && feed.tracks() > 1 && feed.track(1).index == static_cast<std::int32_t>(current_index)) {
        const std::uint32_t ended = feed.track(0).serial;
        while (feed.pieces() > 0 && feed.piece(0).serial == ended)
            feed.drop_piece();
        feed.drop_track();
        start_playing_first_track();
        wake_decoder();
    } else {
        ask_open(static_cast<std::int32_t>(current_index), false);
    }
    gain = 1.0f;
    fade_step = 0;
    // A seek that the end of the track overtook must not stay pending, or
    // the position would show its target on the new track for ever.
    seek_target = 0;
}

void start_playback() {
    if (playlist.empty()) {
        print_line("nothing to play\n");
        notify_playback_stopped();
        return;
    }
    if (is_playing())
        return;
    start_decoder_thread();
    // SDL's device calls run without audio_lock: SDL holds its own device
    // lock around the callback, which waits for ours.
    if (SDL_GetAudioStatus() == SDL_AUDIO_STOPPED) {
        if (!open_device())
            return;
        {
            // A notification thread of an earlier next or previous may be
            // reading the track right now.
            dlib::auto_mutex lock(audio_lock);
            change_track(0);
            // Announced once more after the open, as every first start is.
            request.announce = true;
        }
        // The first track is open, and announced, before the sound starts.
        wait_for_decoder();
        wait_for_first_piece();
    }
    {
        // A callback that is just pausing the device may still hold the state.
        dlib::auto_mutex lock(audio_lock);
        paused = false;
        // Resume from where the fade-out left off; never start fading out.
        fade_step = gain < 1 ? FADE_INCREMENT : 0;
    }
    SDL_PauseAudio(0);
}

void pause_playback() {
    if (!is_playing())
        return;
    dlib::auto_mutex lock(audio_lock);
    if (sounding())
        begin_fade_out(FadeAction::Pause);
}

void next_track() {
    dlib::auto_mutex lock(audio_lock);
    if (sounding())
        begin_fade_out(FadeAction::Next);
    else
        change_track(+1);
}

void previous_track() {
    dlib::auto_mutex lock(audio_lock);
    if (sounding())
        begin_fade_out(FadeAction::Previous);
    else
        change_track(-1);
}

void seek_fraction(float x) {
    dlib::auto_mutex lock(audio_lock);
    if (!sounding())
        return;
    const float target = static_cast<float>(playing_length()) * x;
    // A NaN or infinite target (a NaN from the scale, a broken length) would
    // reach the library's seconds-to-samples conversion, which is undefined.
    if (!std::isfinite(target))
        return;
    begin_fade_out(FadeAction::Seek);
    seek_target = target;
}

float position_fraction() {
    dlib::auto_mutex lock(audio_lock);
    const float total = static_cast<float>(playing_length());
    // The library reports errors as negative lengths: no position then.
    if (!(total > 0) || !std::isfinite(total))
        return 0;
    if (seek_target != 0)
        return seek_target / total;
    return static_cast<float>(play_position() / total);
}

double play_position() {
    if (!track_loaded())
        return 0;
    // The same sum the decoder made when it handed out from its own buffer.
    const double seconds = played_end_time - played_remaining / 4 / 44100.0;
    // Besides its invalid-argument code, the library can report a negative
    // or infinite position after a lapped seek it could not make; a play
    // position is never that, so all of these read as the start.
    return std::isfinite(seconds) && seconds >= 0 ? seconds : 0;
}

bool track_loaded() {
    return feed.tracks() > 0 && feed.track(0).opened;
}

TrackInfo& current_track_info(TrackInfo& out) {
    dlib::auto_mutex lock(audio_lock);
    out.artist.clear();
    out.title.clear();
    out.comment.clear();
    if (track_loaded()) {
        const FeedTrack& playing = feed.track(0);
        out.artist = playing.artist;
        out.title = playing.title;
        out.comment = playing.comment;
        out.length = playing.length;
        out.index = playing.index;
    } else {
        out.length = 0;
        out.index = -1;
    }
    return out;
}

void set_track_changed_handler(void (*handler)()) {
    track_changed_handler.store(handler);
}

void set_playback_stopped_handler(void (*handler)()) {
    playback_stopped_handler.store(handler);
}

void audio_shutdown() {
    SDL_PauseAudio(1);
    SDL_CloseAudio();  // waits for a callback in progress; none runs after it
    stop_decoder_thread();
    {
        // As at start-up: no track, nothing asked of the decoder, no fade.
        std::lock_guard<std::mutex> step(decoder_lock);
        dlib::auto_mutex lock(audio_lock);
        feed.clear();
        ++feed_generation;
        served_generation.store(asked_generation.load());
        request = DecoderRequest();
        decoder_track.close();
        decoder_serial = 0;
        decoder_stopped = true;
        seek_unfinished = false;
        current_index = 0;
        gain = 1.0f;
        fade_step = 0;
        pending_action = FadeAction::Pause;
        seek_target = 0;
        paused = false;
    }
    // Nothing delivers any more.
    wait_for_notifications();
}

void wait_for_notifications() {
    // A handler may still be running (it may be waiting for the screen lock,
    // which is why no lock may be held here).
    for (;;) {
        std::list<Notification> all;
        {
            dlib::auto_mutex lock(notification_lock);
            all.splice(all.begin(), notifications);
        }
        if (all.empty())
            break;
        for (Notification& record : all)
            finish_notification(record);
    }
}

bool apply_fade(Uint8* stream, int length) {
    if (fade_step == 0 && gain == 1.0f)
        return false;
    Sint16* samples = reinterpret_cast<Sint16*>(stream);
    const int frames = length / 4;
    float running = gain;
    for (int frame = 0; frame < frames; ++frame) {
        if (running >= 0 && running <= 1) {
            // The gain before this frame's increment, the same for both samples.
            samples[2 * frame] = static_cast<Sint16>(samples[2 * frame] * running);
            samples[2 * frame + 1] = static_cast<Sint16>(samples[2 * frame + 1] * running);
            running += fade_step;
            continue;
        }
        if (running > 1) {
            gain = 1.0f;  // fade-in complete: the rest stays as decoded
            return false;
        }
        gain = 0.0f;
        std::memset(stream + 4 * frame, 0, static_cast<std::size_t>(length - 4 * frame));
        return finish_fade_out();
    }
    gain = running;
    return false;
}

namespace {

// Bytes of the playing track decoded and not yet handed out; ended when
// its decoding has stopped, so no more will come.
int sound_waiting(bool& ended) {
    ended = false;
    if (paused || feed.tracks() == 0 || !feed.track(0).opened || feed.track(0).seeking) {
        ended = true;
        return 0;
    }
    const std::uint32_t serial = feed.track(0).serial;
    int bytes = 0;
    for (int i = 0; i < feed.pieces() && feed.piece(i).serial == serial; ++i) {
        bytes += feed.piece(i).size - feed.piece(i).used;
        ended = ended || feed.piece(i).last;
    }
    return bytes;
}

// Where the playing track's decoded sound is short of a buffer while its
// decoder is still at work on it, the callback waits for the next piece,
// at most as long as the buffer lasts. A device playing in real time would
// lose that sound anyway and may still catch it in its slack; one that
// asks faster than real time (SDL's disk writer, a recording) then gets
// every sample, not silence in the middle of a track. Outside audio_lock,
// which the decoder needs to publish; opening and seeking never wait here.
void wait_for_sound(int length) {
    if (!decoder_live.load())
        return;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::microseconds(std::int64_t(length / 4) * 1000000 / 44100);
    for (;;) {
        const std::uint32_t published = pieces_published.load();
        {
            dlib::auto_mutex lock(audio_lock);
            bool ended = false;
            if (sound_waiting(ended) >= length || ended)
                return;
        }
        std::unique_lock<std::mutex> lock(wake_lock);
        woken = true;
        hurry = true;
        wake_signal.notify_one();
        if (!served_signal.wait_until(lock, deadline, [published] {
                return pieces_published.load() != published || decoder_stopping;
            }))
            return;
        if (decoder_stopping)
            return;
    }
}

}  // namespace

void audio_callback(void*, Uint8* stream, int length) {
    wait_for_sound(length);
    // One locked section: a request between the buffer and the track end
    // (a next while the pause just completed, say) would make a second step.
    dlib::auto_mutex lock(audio_lock);
    if (paused || (feed.tracks() > 0 && !feed.track(0).opened)) {
        std::memset(stream, 0, static_cast<std::size_t>(length));
        seek_target = 0;
        // Inside the callback SDL's device lock is already ours, so this
        // cannot wait; doing it under audio_lock keeps a start that
        // clears paused from being undone by a late pause.
        SDL_PauseAudio(1);
        return;
    }
    if (feed.tracks() == 0 || feed.track(0).seeking) {
        // The decoder is opening or seeking: the faded-out silence, for as
        // long as it takes. A fade-out asked for meanwhile has nothing to
        // fade, so its action is carried out at once.
        std::memset(stream, 0, static_cast<std::size_t>(length));
        if (fade_step < 0) {
            gain = 0.0f;
            finish_fade_out();
        }
        return;
    }
    bool ended = false;
    const int n = hand_out(stream, length, ended);
    // Not every audio layer hands over a silent buffer: clear what the
    // track did not fill, so a track end never plays stale bytes.
    if (n < length)
        std::memset(stream + n, 0, static_cast<std::size_t>(length - n));
    const bool moved = apply_fade(stream, length);
    capture_spectrum(stream, length);
    // At most one step per buffer: a fade-out that stepped or sought in
    // this buffer has already left the read that came up short.
    if (ended && !moved)
        on_track_end();
}

// What a fade-out still running when the track ends asked for decides the
// step; a fade-in or full level counts as no request:
//
//   request         step  afterwards
//   none, Seek      +1    full level (the seek's place went with its track)
//   Next            +1    full level: the end's own step is the one asked for
//   Previous        -1    full level, from the track that ended; no stop
//   Pause           +1    paused at gain 0, as if the fade had completed
//
// A forward step that wraps to the first track stops playback there, unless
// a Next was asked for: then the first track plays, as after any Next.
void on_track_end() {
    const FadeAction asked = fade_step < 0 ? pending_action : FadeAction::None;
    change_track(asked == FadeAction::Previous ? -1 : +1);
    if (asked == FadeAction::Pause) {
        paused = true;
        gain = 0.0f;
        fade_step = -FADE_INCREMENT;
    }
    if (asked != FadeAction::Previous && asked != FadeAction::Next && current_index == 0) {
        // The list wrapped: stop with the first track loaded at its start.
        paused = true;
        // After the track-changed notification of the opening, as ever.
        if (request_pending())
            request.stop_after = true;
        else
            notify_playback_stopped();
    }
}

std::size_t pending_notification_threads() {
    dlib::auto_mutex lock(notification_lock);
    return notifications.size();
}

void rewind_engine() {
    {
        dlib::auto_mutex lock(audio_lock);
        current_index = 0;
        change_track(0);
        paused = false;
        pending_action = FadeAction::Pause;
        spectrum_state = Wanted;
        block_fill = 0;
        mono_block.fill(0);
    }
    wait_for_decoder();
}
