// The written form of a demo track: tempo, length, the channels with their
// instrument, level and sends, and the notes on a beat grid. The pieces in
// tracks.cpp build scores with the phrase and step parsers below; the
// renderer in render.cpp turns a score into sound.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tools/music/effects.h"
#include "tools/music/voices.h"

namespace music {

// A note on the beat grid: beat and length in beats (quarter notes), pitch as
// a MIDI note number (60 = C4), velocity 0 to 1. cutoff_shift opens or closes
// the synth filter in octaves, for build-ups.
struct Note {
    double beat = 0.0;
    double length = 1.0;
    float pitch = 60.0f;
    float velocity = 0.8f;
    float cutoff_shift = 0.0f;
};

enum class Instrument { synth, bell, riser, drum };

// A level change on the beat grid; the level moves linearly between points.
struct GainPoint {
    double beat;
    float db;
};

struct Channel {
    std::string name;
    Instrument instrument = Instrument::synth;
    SynthPatch synth;
    BellPatch bell;
    Drum drum = Drum::kick;
    float drum_tune = 1.0f;
    float drum_decay = 1.0f;
    float gain_db = 0.0f;
    float pan = 0.0f;          // -1 left to +1 right
    float reverb_send = 0.0f;
    float delay_send = 0.0f;
    float duck = 0.0f;         // 0 to 1: how far each kick pushes this channel down
    bool swung = false;        // off-beat sixteenths come late by the score's swing
    std::vector<Note> notes;
    std::vector<GainPoint> gain_curve;  // empty: the level stays at gain_db

    void add(const std::vector<Note>& more) { notes.insert(notes.end(), more.begin(), more.end()); }
};

struct Score {
    std::string title;
    std::string key;            // "D minor", for the listing
    std::string comment;        // the scroller text
    std::vector<int> scale;     // pitch classes (0 = C) every pitched note must use
    double bpm = 120.0;
    int bars = 32;
    int beats_per_bar = 4;
    double tail_seconds = 5.0;  // after the last bar, for echoes and the reverb to ring out
    float swing = 0.0f;         // fraction of a sixteenth that off-beat sixteenths are late
    ReverbSettings reverb;
    double delay_beats = 0.75;  // echo step of the delay send, dotted eighth by default
    float delay_feedback = 0.4f;
    std::deque<Channel> channels;  // a deque: adding a channel keeps references to the others valid

    Channel& add_channel(const std::string& name, Instrument instrument);
    double seconds_per_beat() const { return 60.0 / bpm; }
    double beat_of_bar(int bar) const { return static_cast<double>(bar) * beats_per_bar; }
    size_t frame_of(double beat) const;
    size_t frames() const;       // whole track including the tail
    double seconds() const;
};

// "C4" is 60, "F#3" 54, "Bb2" 46, "E#5" 77; octaves 0 to 9. Throws
// std::invalid_argument for anything else.
int parse_pitch(const std::string& name);

// A phrase of space-separated tokens "pitch:sixteenths": "D5:4" is D5 for a
// beat, "r:2" an eighth rest, a missing length means a beat. A pitch may also
// be a signed number of semitones ("0:2", "-5:2", "+12:4") for patterns that
// are moved onto chord roots with transpose. Notes start at start_beat.
// Throws std::invalid_argument on a bad token.
std::vector<Note> parse_phrase(const std::string& text, double start_beat, float velocity);

// Length of a phrase in sixteenths, rests included.
int phrase_sixteenths(const std::string& text);

// One character per sixteenth from start_beat: 'X' accent, 'x' normal,
// 'o' ghost, '.' or '-' nothing; '|' and spaces only group the steps.
std::vector<Note> parse_steps(const std::string& pattern, double start_beat, float pitch);

// A chord written as pitches: "D3 A3 C4 F4".
std::vector<int> parse_chord(const std::string& text);

std::vector<Note> transpose(std::vector<Note> notes, float semitones);

}  // namespace music
