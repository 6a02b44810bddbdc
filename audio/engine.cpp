#include "audio/engine.h"

#include "gfx/misc.h"
#include "audio/playlist.h"
#include "audio/spectrum.h"

#include <cmath>
#include <list>
#include <vector>

// Everything here lives at namespace scope, not in function-local statics:
// those would be destroyed after SDL_Quit's exit handler is registered, that
// is before it runs, while the callback might still be using them.
Vorbis current_track;
dlib::mutex audio_lock;
float gain = 1.0f;
float fade_step = 0;
FadeAction pending_action = FadeAction::Pause;
float seek_target = 0;
bool paused = false;

namespace {

std::atomic<void (*)()> track_changed_handler{nullptr};
std::atomic<void (*)()> playback_stopped_handler{nullptr};

// One record per notification thread. The thread sets done as its very last
// step, so a record whose flag is set belongs to a thread that has returned
// or is about to: joining it never waits on anything.
struct Notification {
    explicit Notification(std::atomic<void (*)()>* handler_slot) : slot(handler_slot) {}
    std::atomic<void (*)()>* slot;
    SDL_Thread* thread = nullptr;
    std::atomic<bool> done{false};
};

// A leaf lock: taken inside audio_lock by deliveries, never around another
// lock or a join of a running thread. std::list keeps each record in place
// while its thread runs.
dlib::mutex notification_lock;
std::list<Notification> notifications;

int run_notification(void* data) {
    Notification* record = static_cast<Notification*>(data);
    // The slot is read now, not when the event happened: a handler installed
    // after the event still gets it.
    if (void (*handler)() = record->slot->load())
        handler();
    record->done.store(true, std::memory_order_release);
    return 0;
}

// Joins the threads that have finished; bounded however often tracks change.
void reap_finished_notifications() {
    std::vector<SDL_Thread*> finished;
    {
        dlib::auto_mutex lock(notification_lock);
        for (auto it = notifications.begin(); it != notifications.end();) {
            if (it->done.load(std::memory_order_acquire)) {
                finished.push_back(it->thread);
                it = notifications.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (SDL_Thread* thread : finished)
        SDL_WaitThread(thread, nullptr);
}

void deliver(std::atomic<void (*)()>& slot) {
    reap_finished_notifications();
    dlib::auto_mutex lock(notification_lock);
    notifications.emplace_back(&slot);
    Notification& record = notifications.back();
    record.thread = SDL_CreateThread(run_notification, &record);
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
        current_track.seek(seek_target);
        pending_action = FadeAction::None;
        fade_step = FADE_INCREMENT;  // gain stays 0: the next buffer fades in
        moved = true;
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

}  // namespace

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
    const std::string& path = playlist[current_index];
    if (current_track.open(path))
        notify_track_changed();
    else
        print_line("failed to open: " + path + "\n");
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
        }
        notify_track_changed();
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
    const float target = static_cast<float>(current_track.total()) * x;
    // A NaN or infinite target (a NaN from the scale, a broken length) would
    // reach the library's seconds-to-samples conversion, which is undefined.
    if (!std::isfinite(target))
        return;
    begin_fade_out(FadeAction::Seek);
    seek_target = target;
}

float position_fraction() {
    dlib::auto_mutex lock(audio_lock);
    const float total = static_cast<float>(current_track.total());
    // The library reports errors as negative lengths: no position then.
    if (!(total > 0) || !std::isfinite(total))
        return 0;
    if (seek_target != 0)
        return seek_target / total;
    return static_cast<float>(current_track.tell() / total);
}

TrackInfo& current_track_info(TrackInfo& out) {
    dlib::auto_mutex lock(audio_lock);
    out.artist.clear();
    out.title.clear();
    out.comment.clear();
    if (current_track.is_open()) {
        current_track.read_tags(out.artist, out.title, out.comment);
        out.length = current_track.total();
        out.index = static_cast<std::int32_t>(current_index);
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
        for (Notification& record : all) {
            if (record.thread)
                SDL_WaitThread(record.thread, nullptr);
            else
                run_notification(&record);
        }
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

void audio_callback(void*, Uint8* stream, int length) {
    // One locked section: a request between the buffer and the track end
    // (a next while the pause just completed, say) would make a second step.
    dlib::auto_mutex lock(audio_lock);
    if (paused || !current_track.is_open()) {
        std::memset(stream, 0, static_cast<std::size_t>(length));
        seek_target = 0;
        // Inside the callback SDL's device lock is already ours, so this
        // cannot wait; doing it under audio_lock keeps a start that
        // clears paused from being undone by a late pause.
        SDL_PauseAudio(1);
        return;
    }
    const int n = current_track.read(reinterpret_cast<Sint16*>(stream), length);
    // Not every audio layer hands over a silent buffer: clear what the
    // track did not fill, so a track end never plays stale bytes.
    if (n < length)
        std::memset(stream + n, 0, static_cast<std::size_t>(length - n));
    const bool moved = apply_fade(stream, length);
    capture_spectrum(stream, length);
    // At most one step per buffer: a fade-out that stepped or sought in
    // this buffer has already left the read that came up short.
    if (n != length && !moved)
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
// A forward step that wraps to the first track stops playback there.
void on_track_end() {
    const FadeAction request = fade_step < 0 ? pending_action : FadeAction::None;
    change_track(request == FadeAction::Previous ? -1 : +1);
    if (request == FadeAction::Pause) {
        paused = true;
        gain = 0.0f;
        fade_step = -FADE_INCREMENT;
    }
    if (request != FadeAction::Previous && current_index == 0) {
        // The list wrapped: stop with the first track loaded at its start.
        paused = true;
        notify_playback_stopped();
    }
}

std::size_t pending_notification_threads() {
    dlib::auto_mutex lock(notification_lock);
    return notifications.size();
}

void rewind_engine() {
    dlib::auto_mutex lock(audio_lock);
    current_index = 0;
    change_track(0);
    paused = false;
    pending_action = FadeAction::Pause;
    spectrum_state = Wanted;
    block_fill = 0;
    mono_block.fill(0);
}
