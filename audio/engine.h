// The playback engine: plays the playlist on the SDL audio device (44100 Hz,
// signed 16-bit stereo, 1024-frame buffers) with soft transport. Pause, next,
// previous and seek fade the sound out over a third of a second; the deferred
// action runs inside the callback when the gain reaches zero, and resume and
// seek fade back in. The screen code calls the transport and the queries; the
// engine answers with two notifications, each run on a thread of its own.
//
// The callback and audio_lock only ever do bounded work: copying decoded
// sound, the gain ramp, the spectrum capture, the transport's bookkeeping.
// Everything that grows with a track (decoding ahead, opening a track, the
// page check and the seek in a damaged track) is the decoder's: audio_service
// does it in bounded steps, on a thread of the engine's own where threads are
// built, else when the host's main loop calls it. While the decoder has not
// caught up the callback plays silence rather than wait.
//
// Locks: audio_lock guards every field below, the decoded sound waiting for
// the callback and the spectrum buffers; the decoder's own track is touched
// by the decoder alone, under decoder_lock, which is never taken inside
// audio_lock. Lock order: the screen lock, then audio_lock; decoder_lock,
// then audio_lock. SDL holds its own device lock around the callback, which
// takes audio_lock; so outside the callback nothing calls SDL_OpenAudio,
// SDL_PauseAudio, SDL_CloseAudio or SDL_LockAudio while holding audio_lock.
// Under it nothing takes another lock (but the notification list's and the
// decoder wake-up's own leaf locks) or joins a running thread, and no handler
// ever runs.
#pragma once

#include "audio/feed.h"

#include <SDL.h>
#include <dlib/threads.h>

#include <atomic>
#include <mutex>
#include <cstdint>
#include <string>

struct TrackInfo {
    std::string artist;
    std::string title;
    std::string comment;
    double length = 0;      // seconds; 0 when no track is open
    std::int32_t index = -1;  // playlist position; -1 when no track is open
};

// What a fade-out carries out when it reaches zero. Scoped: None and Pause
// are too common to leave in the global namespace (X11 defines None).
enum class FadeAction : int { Pause = 0, Previous = 1, Next = 2, Seek = 3, None = 4 };

// The float nearest 1/14700 (bit pattern 0x388ea9d5): a ramp between 0 and 1
// lasts 14700 sample frames, a third of a second at 44100 Hz (14702 frames
// in range, counted in float as the ramp runs).
constexpr float FADE_INCREMENT = 0x1.1d53aap-14f;  // bits 0x388ea9d5

extern dlib::mutex audio_lock;

// Sizes the spectrum for bands bands and scans the music folder; the device is
// not touched. Main calls it once with 39.
void audio_init(unsigned int bands);
// True while the device runs (not closed, not paused); reads only SDL's status.
bool is_playing();
// Opens the device at the first start, waits until the first track is open
// and plays; resumes with a fade-in after a pause, else at full level (never
// fading out). With an empty playlist prints "nothing to play" and notifies.
void start_playback();
// "Sounding" below: the device runs and paused is not set. Once paused is
// set the device runs one more silent buffer, but these act as if paused.
//
// Fades out and pauses while sounding; otherwise nothing.
void pause_playback();
// While sounding: fade out, then step. Otherwise the selection moves at once.
void next_track();
void previous_track();
// While sounding: fade out, jump to x times the track's length, fade in. A
// target that is not a finite number is ignored, and so is any while not sounding.
void seek_fraction(float x);
// Play position as a fraction of the track (the pending seek target during a
// seek's fade-out); 0 without a track or a valid length. Not clamped.
float position_fraction();
// Tags, length and playlist index of the open track; index -1 when none.
TrackInfo& current_track_info(TrackInfo& out);
// The handlers run on a notification thread of their own, which reads the
// slot when it runs; where no thread can be made, on the thread of the next
// wait_for_notifications.
void set_track_changed_handler(void (*handler)());
void set_playback_stopped_handler(void (*handler)());
// Stops the device, the decoder thread and every notification thread, and
// leaves the engine as at start-up (no track, no fade). Call holding no
// lock; afterwards no callback, no decoding and no notification runs.
void audio_shutdown();
// Joins every notification thread delivered so far, and those their
// handlers deliver in turn: every handler of an event already raised has
// run when it returns. Call holding no lock (a handler takes the screen
// lock). A headless render calls it after each buffer, so a track change
// reaches the screen in the same frame on every run instead of whenever
// the notification thread happens to be scheduled.
void wait_for_notifications();

// The SDL callback: hand out one buffer of decoded sound, ramp and capture
// it, then handle a track end. Silence while the decoder is opening or
// seeking, and where it has fallen behind.
void audio_callback(void* userdata, Uint8* stream, int length);

// Runs one bounded step of the decoder's pending work: a requested open, a
// slice of a requested seek, or one stretch of sound decoded ahead; true
// when it did something, so more may wait. The decoder thread runs it over
// and over; a host without one calls it every tick, and the headless driver
// until it says false, before and after each buffer it pulls. Takes no lock
// the caller may hold but audio_lock's order allows.
bool audio_service();
// Whether start_playback starts a decoder thread (the default where threads
// are built). A host that runs audio_service itself turns it off before the
// first start; nothing else then decodes.
void set_decoder_thread(bool on);
// Returns when the decoder has carried out every open and seek asked of it
// so far: with no decoder thread by running audio_service here. Call
// holding no lock.
void wait_for_decoder();

// ---- internals, for tests (call with audio_lock held unless noted) ----

extern float gain;
extern float fade_step;
extern FadeAction pending_action;
extern float seek_target;
extern bool paused;

// Runs the gain ramp over length bytes of interleaved stereo frames and
// carries out the pending action when a fade-out ends; true when that action
// stepped to another track or sought within this one.
bool apply_fade(Uint8* stream, int length);
// Steps offset entries through the playlist at full level: takes the track
// the decoder has already opened there, else asks it to open one.
void change_track(int offset);
// The track came up short: steps as a fade-out under way asked (back for
// Previous, else on), pauses at gain 0 for Pause, stops at the wrap unless
// a Next was asked for.
void on_track_end();
// Seconds of the playing track handed out so far (what the position shows).
double play_position();
// Whether the track the callback plays is open (false while one is opening).
bool track_loaded();
// Held by audio_service for each step: a test that holds it holds the
// decoder up.
extern std::mutex decoder_lock;
// Number of notification threads not yet joined (takes its own leaf lock).
std::size_t pending_notification_threads();
// Reopens the first playlist entry at full level with no fade or action
// pending and an empty capture block, so a test or a headless recording can
// start from a known state after SDL's thread may already have run a
// callback; returns once it is open. Takes audio_lock.
void rewind_engine();
