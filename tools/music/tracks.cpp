#include "tools/music/tracks.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace music {

const char* const artist = "diskplayer";

namespace {

// One chord per entry, written as pitches; a progression repeats bar by bar.
using Progression = std::vector<std::string>;

// Every bar of a tune is its own string, so a bar of the wrong length is
// caught by the bar it is in, not by everything after it drifting.
void tune(Channel& channel, const Score& score, const std::vector<std::string>& bars, int first_bar,
          float velocity, float semitones = 0.0f)
{
    for (size_t b = 0; b < bars.size(); ++b) {
        if (phrase_sixteenths(bars[b]) != score.beats_per_bar * 4)
            throw std::logic_error(score.title + ": bar \"" + bars[b] + "\" of " + channel.name
                                   + " has the wrong length");
        const double beat = score.beat_of_bar(first_bar + static_cast<int>(b));
        channel.add(transpose(parse_phrase(bars[b], beat, velocity), semitones));
    }
}

// Held chords from first_bar up to end_bar, chord k of the progression in
// bar first_bar + k (cycled).
void chords(Channel& channel, const Score& score, const Progression& progression, int first_bar, int end_bar,
            float velocity)
{
    for (int bar = first_bar; bar < end_bar; ++bar) {
        const std::string& chord = progression[static_cast<size_t>(bar - first_bar) % progression.size()];
        for (int pitch : parse_chord(chord)) {
            Note note;
            note.beat = score.beat_of_bar(bar);
            note.length = score.beats_per_bar;
            note.pitch = static_cast<float>(pitch);
            note.velocity = velocity;
            channel.notes.push_back(note);
        }
    }
}

// A one-bar pattern of semitone offsets ("0:2 12:2 ...") laid on each bar's
// root, the roots cycled like a progression.
void bass_line(Channel& channel, const Score& score, const std::vector<std::string>& roots, const std::string& pattern,
               int first_bar, int end_bar, float velocity)
{
    if (phrase_sixteenths(pattern) != score.beats_per_bar * 4)
        throw std::logic_error(score.title + ": bass pattern \"" + pattern + "\" has the wrong length");
    for (int bar = first_bar; bar < end_bar; ++bar) {
        const int root = parse_pitch(roots[static_cast<size_t>(bar - first_bar) % roots.size()]);
        channel.add(transpose(parse_phrase(pattern, score.beat_of_bar(bar), velocity), static_cast<float>(root)));
    }
}

// Runs up and down the chord of each bar: order holds indexes into the
// chord's pitches, an index past the last one climbing an octave.
void arpeggio(Channel& channel, const Score& score, const Progression& progression, const std::vector<int>& order,
              double step_beats, int first_bar, int end_bar, float velocity, int semitones = 12)
{
    for (int bar = first_bar; bar < end_bar; ++bar) {
        std::vector<int> chord = parse_chord(progression[static_cast<size_t>(bar - first_bar) % progression.size()]);
        std::sort(chord.begin(), chord.end());
        const int n = static_cast<int>(chord.size());
        const int steps = static_cast<int>(score.beats_per_bar / step_beats + 0.5);
        for (int s = 0; s < steps; ++s) {
            const int index = order[static_cast<size_t>(s) % order.size()];
            Note note;
            note.beat = score.beat_of_bar(bar) + s * step_beats;
            note.length = step_beats * 0.9;
            note.pitch = static_cast<float>(chord[index % n] + 12 * (index / n) + semitones);
            note.velocity = velocity;
            channel.notes.push_back(note);
        }
    }
}

// A step pattern repeated from first_bar up to end_bar; a pattern longer than
// a bar spans several.
void drums(Channel& channel, const Score& score, const std::string& pattern, int first_bar, int end_bar,
           float velocity = 1.0f)
{
    int steps = 0;
    for (char c : pattern)
        if (c != ' ' && c != '|') ++steps;
    const int pattern_bars = std::max(1, steps / (score.beats_per_bar * 4));
    for (int bar = first_bar; bar < end_bar; bar += pattern_bars) {
        for (Note note : parse_steps(pattern, score.beat_of_bar(bar), 60.0f)) {
            if (note.beat >= score.beat_of_bar(end_bar)) break;
            note.velocity *= velocity;
            channel.notes.push_back(note);
        }
    }
}

void hit(Channel& channel, const Score& score, int bar, float velocity)
{
    Note note;
    note.beat = score.beat_of_bar(bar);
    note.length = 0.25;
    note.velocity = velocity;
    channel.notes.push_back(note);
}

void riser(Channel& channel, const Score& score, int first_bar, int end_bar, float velocity)
{
    Note note;
    note.beat = score.beat_of_bar(first_bar);
    note.length = score.beat_of_bar(end_bar) - note.beat;
    note.velocity = velocity;
    channel.notes.push_back(note);
}

// Moves the filter of the notes starting in [from_bar, to_bar) from one
// shift to another, linearly: the opening sweep of a build-up.
void sweep(Channel& channel, const Score& score, int from_bar, int to_bar, float from_octaves, float to_octaves)
{
    const double from = score.beat_of_bar(from_bar), to = score.beat_of_bar(to_bar);
    for (Note& note : channel.notes) {
        if (note.beat < from || note.beat >= to) continue;
        const double t = (note.beat - from) / (to - from);
        note.cutoff_shift = static_cast<float>(from_octaves + t * (to_octaves - from_octaves));
    }
}

// Small fixed variations of loudness, so repeated hits do not sound pasted.
void humanise(Channel& channel, float amount, uint32_t seed)
{
    Noise noise(seed);
    for (Note& note : channel.notes)
        note.velocity = std::clamp(note.velocity * (1.0f + amount * noise.next()), 0.0f, 1.0f);
}

void fade(Channel& channel, const Score& score, std::vector<std::pair<double, float>> bars_and_db)
{
    for (const auto& [bar, db] : bars_and_db) channel.gain_curve.push_back({bar * score.beats_per_bar, db});
}

Channel& drum_channel(Score& score, const std::string& name, Drum drum, float gain_db)
{
    Channel& channel = score.add_channel(name, Instrument::drum);
    channel.drum = drum;
    channel.gain_db = gain_db;
    return channel;
}

}  // namespace

Score quiet_orbit()
{
    Score score;
    score.title = "Quiet Orbit";
    score.key = "D minor";
    score.scale = {2, 4, 5, 7, 9, 10, 0, 1};  // D natural minor, and C# for the A major turn
    score.bpm = 68.0;
    score.bars = 32;
    score.tail_seconds = 7.0;
    score.swing = 0.1f;
    score.reverb = {0.9f, 0.35f, 1.0f, 0.03f};
    score.delay_beats = 0.75;
    score.delay_feedback = 0.45f;
    score.comment =
        "Welcome to Vellumbra, a music disk made by the diskplayer project. You are listening to Quiet Orbit, "
        "a slow drift around a sleeping planet: soft pads, a glassy bell melody and long echoes that let every "
        "note hang in the dark. Turn the lights down and let it float. Warm greetings to everyone who still "
        "listens to music disks at night! Every sound here was synthesised note by note by make_music, the "
        "project's own generator in plain C++, and encoded with libvorbis.";

    const Progression home = {"D3 A3 C4 E4 F4", "Bb2 F3 A3 D4", "F3 A3 C4 E4", "C3 G3 D4 E4"};
    const Progression away = {"G2 D3 Bb3 F4 A4", "D3 A3 D4 F4", "Bb2 F3 A3 D4", "A2 E3 A3 C#4 E4"};
    const Progression ending = {"D3 A3 C4 E4 F4", "Bb2 F3 A3 D4", "F3 A3 C4 E4", "D3 A3 D4 E4 F4"};
    const std::vector<std::string> home_roots = {"D2", "Bb1", "F2", "C2"};
    const std::vector<std::string> away_roots = {"G1", "D2", "Bb1", "A1"};

    Channel& pad = score.add_channel("pad", Instrument::synth);
    pad.synth.unison = 5;
    pad.synth.detune_cents = 20.0f;
    pad.synth.stereo_spread = 0.9f;
    pad.synth.cutoff_hz = 700.0f;
    pad.synth.key_tracking = 0.3f;
    pad.synth.resonance = 0.15f;
    pad.synth.lfo_octaves = 0.7f;
    pad.synth.lfo_hz = 0.06f;
    pad.synth.amp = {1.8f, 1.0f, 1.0f, 3.0f};
    pad.gain_db = -11.0f;
    pad.reverb_send = 0.45f;
    chords(pad, score, home, 0, 12, 0.8f);
    chords(pad, score, away, 12, 20, 0.8f);
    chords(pad, score, home, 20, 28, 0.8f);
    chords(pad, score, ending, 28, 32, 0.8f);
    sweep(pad, score, 0, 4, -1.0f, 0.0f);
    sweep(pad, score, 12, 20, 0.3f, 0.3f);
    sweep(pad, score, 28, 32, 0.0f, -0.8f);
    fade(pad, score, {{0, -24.0f}, {4, 0.0f}});

    Channel& bell = score.add_channel("bell", Instrument::bell);
    bell.bell = {3.0f, 0.8f, 0.5f, 3.5f, 1.2f};
    bell.gain_db = -6.0f;
    bell.pan = 0.1f;
    bell.reverb_send = 0.5f;
    bell.delay_send = 0.35f;
    const std::vector<std::string> theme = {
        "r:4 A4:2 D5:2 E5:4 F5:4", "D5:8 r:2 C5:2 D5:2 F5:2", "A5:6 G5:2 F5:4 E5:2 F5:2", "E5:12 r:4",
        "r:4 A4:2 D5:2 E5:4 F5:2 G5:2", "A5:6 G5:2 F5:4 D5:4", "C5:4 F5:4 E5:4 C5:4", "D5:16"};
    tune(bell, score, {"r:16", "r:16", "r:8 A5:8", "G5:8 E5:8"}, 0, 0.5f);
    tune(bell, score, theme, 4, 0.75f);
    tune(bell, score, theme, 20, 0.8f);
    tune(bell, score, {"r:4 A4:2 D5:2 E5:4 F5:4", "D5:16", "C5:8 A4:8", "D5:16"}, 28, 0.65f);

    Channel& flute = score.add_channel("flute", Instrument::synth);
    flute.synth.saw = 0.25f;
    flute.synth.sine = 0.8f;
    flute.synth.cutoff_hz = 1400.0f;
    flute.synth.key_tracking = 0.6f;
    flute.synth.resonance = 0.05f;
    flute.synth.vibrato_cents = 14.0f;
    flute.synth.vibrato_hz = 5.0f;
    flute.synth.vibrato_delay = 0.4f;
    flute.synth.amp = {0.12f, 0.8f, 0.85f, 0.7f};
    flute.gain_db = -5.0f;
    flute.pan = -0.15f;
    flute.reverb_send = 0.45f;
    flute.delay_send = 0.3f;
    tune(flute, score,
         {"Bb5:6 A5:2 G5:4 D5:4", "F5:6 E5:2 D5:4 A4:4", "Bb4:4 D5:4 F5:4 A5:4", "G5:4 E5:4 C#5:8",
          "D5:4 G5:4 Bb5:4 A5:4", "F5:8 E5:4 D5:4", "D5:6 C5:2 Bb4:4 D5:4", "C#5:4 E5:4 A5:8"},
         12, 0.8f);
    // Under the returning theme, a slow second voice a sixth or so below.
    tune(flute, score,
         {"F4:12 E4:4", "D4:16", "C4:8 A3:8", "E4:8 G4:8", "F4:12 G4:4", "F4:8 D4:8", "E4:8 C4:8", "D4:16"},
         20, 0.6f);

    Channel& bass = score.add_channel("bass", Instrument::synth);
    bass.synth.saw = 0.2f;
    bass.synth.sine = 1.0f;
    bass.synth.cutoff_hz = 300.0f;
    bass.synth.key_tracking = 0.0f;
    bass.synth.amp = {0.4f, 2.0f, 0.8f, 1.2f};
    bass.gain_db = -9.0f;
    bass.reverb_send = 0.05f;
    bass_line(bass, score, away_roots, "0:16", 12, 20, 0.8f);
    bass_line(bass, score, home_roots, "0:16", 20, 28, 0.8f);

    Channel& kick = drum_channel(score, "kick", Drum::kick, -11.5f);
    kick.drum_tune = 0.9f;
    kick.drum_decay = 1.3f;
    kick.reverb_send = 0.15f;
    drums(kick, score, "X.........x.....", 12, 28);

    Channel& clap = drum_channel(score, "clap", Drum::clap, 2.5f);
    clap.drum_decay = 1.5f;
    clap.reverb_send = 0.6f;
    drums(clap, score, "........X.......", 16, 28);

    Channel& shaker = drum_channel(score, "shaker", Drum::shaker, -4.0f);
    shaker.pan = 0.3f;
    shaker.reverb_send = 0.3f;
    shaker.swung = true;
    drums(shaker, score, "o.x.o.x.o.x.o.x.", 8, 28);
    humanise(shaker, 0.15f, 11);

    Channel& swell = score.add_channel("riser", Instrument::riser);
    swell.gain_db = -2.0f;
    swell.reverb_send = 0.4f;
    riser(swell, score, 19, 20, 0.4f);

    Channel& crash = drum_channel(score, "crash", Drum::crash, -5.0f);
    crash.reverb_send = 0.4f;
    hit(crash, score, 20, 0.7f);
    return score;
}

Score vellumbra_signal()
{
    Score score;
    score.title = "Vellumbra Signal";
    score.key = "F# minor";
    score.scale = {6, 8, 9, 11, 1, 2, 4, 5};  // F# natural minor, and E# for the C# major turn
    score.bpm = 110.0;
    score.bars = 56;
    score.tail_seconds = 5.0;
    score.swing = 0.12f;
    score.reverb = {0.82f, 0.35f, 1.0f, 0.015f};
    score.delay_beats = 0.75;
    score.delay_feedback = 0.42f;
    score.comment =
        "This is Vellumbra Signal, a pulse picked up from somewhere past the last lighthouse of the night. "
        "It starts as a lonely arpeggio, the drums and the bass lock in, and the lead carries the message home. "
        "Greetings to all the coders, pixel artists and musicians out there, keep the scene alive! "
        "Synthesised from scratch by make_music, the project's own generator in C++, mixed with its homemade "
        "reverb and packed with libvorbis.";

    const Progression main = {"F#3 A3 C#4 E4", "D3 A3 C#4 F#4", "B2 F#3 A3 D4", "C#3 G#3 B3 E4",
                              "F#3 A3 C#4 E4", "D3 A3 C#4 F#4", "B2 F#3 A3 D4", "C#3 G#3 B3 E#4"};
    const Progression ending = {"F#3 A3 C#4 E4", "D3 A3 C#4 F#4", "B2 F#3 A3 D4", "F#3 A3 C#4 F#4"};
    const std::vector<std::string> roots = {"F#1", "D2", "B1", "C#2"};

    Channel& pad = score.add_channel("pad", Instrument::synth);
    pad.synth.unison = 6;
    pad.synth.detune_cents = 25.0f;
    pad.synth.stereo_spread = 1.0f;
    pad.synth.cutoff_hz = 1000.0f;
    pad.synth.key_tracking = 0.3f;
    pad.synth.resonance = 0.1f;
    pad.synth.lfo_octaves = 0.4f;
    pad.synth.lfo_hz = 0.11f;
    pad.synth.amp = {0.6f, 1.0f, 1.0f, 1.2f};
    pad.gain_db = -14.0f;
    pad.duck = 0.5f;
    pad.reverb_send = 0.35f;
    chords(pad, score, main, 0, 52, 0.8f);
    chords(pad, score, ending, 52, 56, 0.8f);
    sweep(pad, score, 0, 8, -1.0f, 0.0f);
    sweep(pad, score, 32, 40, -0.6f, 0.2f);
    sweep(pad, score, 52, 56, 0.0f, -1.0f);
    fade(pad, score, {{0, -18.0f}, {4, 0.0f}, {53, 0.0f}, {56, -10.0f}});

    Channel& arp = score.add_channel("arpeggio", Instrument::synth);
    arp.synth.unison = 2;
    arp.synth.detune_cents = 8.0f;
    arp.synth.stereo_spread = 0.5f;
    arp.synth.saw = 0.7f;
    arp.synth.square = 0.5f;
    arp.synth.cutoff_hz = 600.0f;
    arp.synth.key_tracking = 0.5f;
    arp.synth.resonance = 0.35f;
    arp.synth.filter_env_octaves = 3.5f;
    arp.synth.filter_decay = 0.18f;
    arp.synth.amp = {0.002f, 0.35f, 0.25f, 0.12f};
    arp.gain_db = 1.0f;
    arp.duck = 0.3f;
    arp.delay_send = 0.4f;
    arp.reverb_send = 0.2f;
    const std::vector<int> climb = {0, 1, 2, 3, 4, 3, 2, 1, 0, 2, 1, 3, 2, 4, 3, 5};
    arpeggio(arp, score, main, climb, 0.25, 0, 52, 0.8f);
    arpeggio(arp, score, ending, climb, 0.25, 52, 55, 0.7f);
    sweep(arp, score, 0, 8, -2.5f, -0.5f);
    sweep(arp, score, 8, 16, -0.5f, 0.0f);
    sweep(arp, score, 32, 40, -1.2f, 0.3f);
    sweep(arp, score, 52, 55, 0.0f, -2.0f);
    humanise(arp, 0.1f, 21);

    Channel& bass = score.add_channel("bass", Instrument::synth);
    bass.synth.sine = 0.8f;
    bass.synth.cutoff_hz = 220.0f;
    bass.synth.key_tracking = 0.3f;
    bass.synth.resonance = 0.25f;
    bass.synth.filter_env_octaves = 2.5f;
    bass.synth.filter_decay = 0.2f;
    bass.synth.amp = {0.003f, 0.3f, 0.7f, 0.08f};
    bass.gain_db = -6.0f;
    bass.duck = 0.55f;
    const std::string groove = "0:3 0:3 0:2 r:2 12:2 0:2 7:2";
    bass_line(bass, score, roots, groove, 8, 32, 0.85f);
    bass_line(bass, score, roots, "0:16", 36, 40, 0.6f);
    bass_line(bass, score, roots, groove, 40, 52, 0.9f);

    Channel& lead = score.add_channel("lead", Instrument::synth);
    lead.synth.unison = 2;
    lead.synth.detune_cents = 12.0f;
    lead.synth.stereo_spread = 0.3f;
    lead.synth.square = 0.3f;
    lead.synth.cutoff_hz = 1500.0f;
    lead.synth.key_tracking = 0.5f;
    lead.synth.resonance = 0.2f;
    lead.synth.filter_env_octaves = 1.5f;
    lead.synth.filter_decay = 0.3f;
    lead.synth.vibrato_cents = 15.0f;
    lead.synth.vibrato_hz = 5.5f;
    lead.synth.vibrato_delay = 0.25f;
    lead.synth.amp = {0.01f, 0.5f, 0.7f, 0.25f};
    lead.gain_db = 0.0f;
    lead.delay_send = 0.3f;
    lead.reverb_send = 0.3f;
    const std::vector<std::string> question = {
        "C#5:3 C#5:3 E5:2 F#5:4 E5:2 C#5:2", "F#5:6 E5:2 D5:4 C#5:2 A4:2",
        "B4:3 D5:3 F#5:2 F#5:4 E5:4", "G#5:6 E5:2 C#5:8"};
    const std::vector<std::string> answer = {
        "C#5:3 C#5:3 E5:2 F#5:2 A5:2 G#5:2 F#5:2", "A5:6 F#5:2 D5:4 E5:4",
        "F#5:3 E5:3 D5:2 B4:4 C#5:4", "G#5:4 E#5:4 C#5:8"};
    const std::vector<std::string> climax = {
        "C#6:3 B5:3 A5:2 G#5:4 F#5:4", "A5:3 G#5:3 F#5:2 E5:4 D5:4",
        "D5:3 E5:3 F#5:2 B5:4 A5:4", "G#5:6 E#5:2 G#5:8"};
    tune(lead, score, question, 16, 0.8f);
    tune(lead, score, answer, 20, 0.8f);
    tune(lead, score, question, 24, 0.85f);
    tune(lead, score, climax, 28, 0.9f);
    tune(lead, score, {"C#5:16", "A4:16", "B4:16", "G#4:16", "C#5:8 E5:8", "F#5:16", "D5:16", "E#5:16"}, 32, 0.5f);
    tune(lead, score, question, 40, 0.85f);
    tune(lead, score, climax, 44, 0.9f);
    tune(lead, score, question, 48, 0.85f);
    tune(lead, score, {"r:16", "r:16", "r:16", "F#5:16"}, 52, 0.6f);

    Channel& kick = drum_channel(score, "kick", Drum::kick, -7.5f);
    drums(kick, score, "X...X...X...X...", 8, 16);
    drums(kick, score, "X.....x...X..x..", 16, 32);
    drums(kick, score, "X.....x...X..x..", 40, 52);
    humanise(kick, 0.05f, 31);

    Channel& snare = drum_channel(score, "snare", Drum::snare, 1.0f);
    snare.reverb_send = 0.25f;
    drums(snare, score, "....X.......X...", 12, 32);
    drums(snare, score, "....X.......X...", 40, 52);
    humanise(snare, 0.05f, 32);

    Channel& clap = drum_channel(score, "clap", Drum::clap, 0.0f);
    clap.reverb_send = 0.3f;
    drums(clap, score, "....X.......X...", 16, 32);
    drums(clap, score, "....X.......X...", 40, 52);

    Channel& hats = drum_channel(score, "closed hat", Drum::closed_hat, 1.0f);
    hats.pan = 0.25f;
    hats.swung = true;
    drums(hats, score, "x.x.x.x.x.x.x.x.", 4, 8, 0.6f);
    drums(hats, score, "x.xox.xox.xox.xo", 8, 32);
    drums(hats, score, "x.x.x.x.x.x.x.x.", 36, 40, 0.6f);
    drums(hats, score, "x.xox.xox.xox.xo", 40, 54);
    humanise(hats, 0.12f, 33);

    Channel& open_hat = drum_channel(score, "open hat", Drum::open_hat, 0.5f);
    open_hat.pan = -0.2f;
    open_hat.swung = true;
    drums(open_hat, score, "..............x.", 16, 32);
    drums(open_hat, score, "..............x.", 40, 52);

    Channel& roll = drum_channel(score, "snare roll", Drum::snare, -2.0f);
    roll.reverb_send = 0.3f;
    drums(roll, score, "x...x...x...x...x.x.x.x.x.x.x.x.", 36, 38, 0.6f);
    drums(roll, score, "x.x.x.x.x.x.x.x.xxxxxxxxXXXXXXXX", 38, 40);
    fade(roll, score, {{36, -14.0f}, {40, 0.0f}});

    Channel& crash = drum_channel(score, "crash", Drum::crash, -6.5f);
    crash.reverb_send = 0.3f;
    for (int bar : {8, 16, 24, 40, 48}) hit(crash, score, bar, 0.8f);

    Channel& swell = score.add_channel("riser", Instrument::riser);
    swell.gain_db = -6.0f;
    swell.reverb_send = 0.3f;
    riser(swell, score, 6, 8, 0.5f);
    riser(swell, score, 14, 16, 0.7f);
    riser(swell, score, 36, 40, 0.9f);
    return score;
}

Score first_light()
{
    Score score;
    score.title = "First Light";
    score.key = "E major";
    score.scale = {4, 6, 8, 9, 11, 1, 3};
    score.bpm = 122.0;
    score.bars = 60;
    score.tail_seconds = 5.0;
    score.swing = 0.06f;
    score.reverb = {0.8f, 0.3f, 1.0f, 0.012f};
    score.delay_beats = 0.75;
    score.delay_feedback = 0.35f;
    score.comment =
        "First Light closes the disk: the night is almost over and the sky turns pale over the horizon. "
        "Bright chords, a bouncing bass and a lead that climbs towards the sunrise. Thank you for listening "
        "all the way to the end, and hello to everyone who ever shared a tune! Synthesised by make_music, the "
        "project's own tiny generator in C++, and encoded with libvorbis. See you next time.";

    const Progression main = {"E3 B3 F#4 G#4", "B2 F#3 C#4 D#4", "C#3 G#3 B3 E4", "A2 E3 B3 C#4"};
    const Progression lift = {"A2 E3 B3 C#4", "A2 E3 B3 C#4", "B2 F#3 C#4 D#4", "B2 F#3 B3 D#4"};
    const Progression ending = {"E3 B3 F#4 G#4", "B2 F#3 C#4 D#4", "A2 E3 B3 C#4", "E3 B3 E4 G#4"};
    const std::vector<std::string> roots = {"E2", "B1", "C#2", "A1"};
    const std::vector<std::string> lift_roots = {"A1", "A1", "B1", "B1"};

    Channel& pad = score.add_channel("pad", Instrument::synth);
    pad.synth.unison = 7;
    pad.synth.detune_cents = 22.0f;
    pad.synth.stereo_spread = 1.0f;
    pad.synth.cutoff_hz = 1500.0f;
    pad.synth.key_tracking = 0.3f;
    pad.synth.resonance = 0.1f;
    pad.synth.lfo_octaves = 0.3f;
    pad.synth.lfo_hz = 0.13f;
    pad.synth.amp = {0.3f, 1.0f, 1.0f, 0.8f};
    pad.gain_db = -15.0f;
    pad.duck = 0.6f;
    pad.reverb_send = 0.3f;
    chords(pad, score, main, 0, 16, 0.8f);
    chords(pad, score, lift, 16, 20, 0.8f);
    chords(pad, score, main, 20, 56, 0.8f);
    chords(pad, score, ending, 56, 60, 0.8f);
    sweep(pad, score, 0, 8, -1.5f, 0.0f);
    sweep(pad, score, 16, 20, -0.5f, 0.8f);
    sweep(pad, score, 36, 44, -0.4f, 0.4f);
    fade(pad, score, {{0, -20.0f}, {4, 0.0f}});

    Channel& pluck = score.add_channel("pluck", Instrument::synth);
    pluck.synth.unison = 3;
    pluck.synth.detune_cents = 10.0f;
    pluck.synth.stereo_spread = 0.7f;
    pluck.synth.square = 0.3f;
    pluck.synth.cutoff_hz = 900.0f;
    pluck.synth.resonance = 0.25f;
    pluck.synth.filter_env_octaves = 3.0f;
    pluck.synth.filter_decay = 0.2f;
    pluck.synth.amp = {0.002f, 0.3f, 0.0f, 0.1f};
    pluck.gain_db = 1.0f;
    pluck.duck = 0.3f;
    pluck.delay_send = 0.35f;
    pluck.reverb_send = 0.2f;
    const std::vector<int> sparkle = {0, 2, 1, 3, 2, 4, 3, 5};
    arpeggio(pluck, score, main, sparkle, 0.5, 4, 16, 0.75f);
    arpeggio(pluck, score, lift, sparkle, 0.25, 16, 20, 0.7f);
    arpeggio(pluck, score, main, sparkle, 0.25, 20, 36, 0.75f);
    arpeggio(pluck, score, main, sparkle, 0.25, 44, 56, 0.75f);
    arpeggio(pluck, score, ending, sparkle, 0.5, 56, 59, 0.6f);
    sweep(pluck, score, 4, 16, -1.5f, 0.0f);
    sweep(pluck, score, 16, 20, -1.0f, 0.6f);
    sweep(pluck, score, 56, 59, 0.0f, -1.5f);
    humanise(pluck, 0.1f, 41);

    Channel& bass = score.add_channel("bass", Instrument::synth);
    bass.synth.saw = 0.8f;
    bass.synth.square = 0.2f;
    bass.synth.sine = 0.9f;
    bass.synth.cutoff_hz = 300.0f;
    bass.synth.key_tracking = 0.3f;
    bass.synth.resonance = 0.2f;
    bass.synth.filter_env_octaves = 2.0f;
    bass.synth.filter_decay = 0.15f;
    bass.synth.amp = {0.002f, 0.25f, 0.6f, 0.06f};
    bass.gain_db = -5.5f;
    bass.duck = 0.5f;
    const std::string offbeat = "r:2 0:2 r:2 0:2 r:2 0:2 r:2 0:2";
    const std::string bounce = "0:2 12:2 0:2 12:2 0:2 12:2 0:2 12:2";
    bass_line(bass, score, roots, offbeat, 8, 16, 0.85f);
    bass_line(bass, score, lift_roots, offbeat, 16, 19, 0.85f);
    bass_line(bass, score, roots, bounce, 20, 36, 0.9f);
    bass_line(bass, score, roots, "0:16", 40, 44, 0.6f);
    bass_line(bass, score, roots, bounce, 44, 56, 0.9f);
    bass_line(bass, score, {"E2", "B1", "A1", "E2"}, "0:16", 56, 60, 0.7f);

    Channel& lead = score.add_channel("lead", Instrument::synth);
    lead.synth.unison = 3;
    lead.synth.detune_cents = 14.0f;
    lead.synth.stereo_spread = 0.6f;
    lead.synth.square = 0.2f;
    lead.synth.cutoff_hz = 2200.0f;
    lead.synth.key_tracking = 0.4f;
    lead.synth.resonance = 0.15f;
    lead.synth.filter_env_octaves = 1.0f;
    lead.synth.filter_decay = 0.4f;
    lead.synth.vibrato_cents = 12.0f;
    lead.synth.vibrato_hz = 5.5f;
    lead.synth.vibrato_delay = 0.3f;
    lead.synth.amp = {0.01f, 0.6f, 0.75f, 0.3f};
    lead.gain_db = -3.0f;
    lead.delay_send = 0.3f;
    lead.reverb_send = 0.3f;
    const std::vector<std::string> sunrise = {
        "G#4:2 B4:2 E5:4 F#5:2 G#5:6", "F#5:4 D#5:4 B4:2 D#5:2 F#5:4",
        "E5:6 C#5:2 G#5:4 E5:4", "C#5:2 E5:2 A5:6 G#5:2 F#5:2 E5:2",
        "G#4:2 B4:2 E5:4 F#5:2 G#5:6", "A5:4 G#5:4 F#5:2 D#5:2 B4:4",
        "C#5:2 E5:2 G#5:4 B5:4 G#5:4", "A5:4 G#5:4 F#5:4 E5:4"};
    tune(lead, score, sunrise, 20, 0.85f);
    tune(lead, score, sunrise, 28, 0.9f);
    tune(lead, score, sunrise, 44, 0.9f);
    tune(lead, score, {"G#4:2 B4:2 E5:4 F#5:2 G#5:6", "F#5:4 D#5:4 B4:2 D#5:2 F#5:4",
                       "E5:6 C#5:2 G#5:4 E5:4", "C#5:2 E5:2 A5:6 G#5:2 F#5:2 E5:2"}, 52, 0.9f);

    // The last chorus doubles the tune an octave up, quietly, for the lift.
    Channel& high = score.add_channel("lead octave", Instrument::synth);
    high.synth = lead.synth;
    high.synth.unison = 1;
    high.gain_db = -6.0f;
    high.pan = 0.2f;
    high.delay_send = 0.35f;
    high.reverb_send = 0.35f;
    tune(high, score, sunrise, 44, 0.8f, 12.0f);

    Channel& bell = score.add_channel("bell", Instrument::bell);
    bell.bell = {4.0f, 0.6f, 0.4f, 2.5f, 0.8f};
    bell.gain_db = -10.5f;
    bell.pan = -0.15f;
    bell.delay_send = 0.4f;
    bell.reverb_send = 0.4f;
    tune(bell, score, {"G#5:4 B5:4 E6:8", "F#6:8 D#6:8", "E6:4 C#6:4 G#5:8", "A5:8 E6:8"}, 4, 0.7f);
    tune(bell, score, sunrise, 36, 0.75f, 12.0f);

    Channel& kick = drum_channel(score, "kick", Drum::kick, -7.5f);
    kick.drum_tune = 1.05f;
    drums(kick, score, "X...X...X...X...", 8, 19);
    drums(kick, score, "X...X...X...X...", 20, 36);
    drums(kick, score, "X...X...X...X...", 44, 58);
    humanise(kick, 0.04f, 51);

    Channel& clap = drum_channel(score, "clap", Drum::clap, 2.5f);
    clap.reverb_send = 0.3f;
    drums(clap, score, "....X.......X...", 12, 16);
    drums(clap, score, "....X.......X...", 20, 36);
    drums(clap, score, "....X.......X...", 44, 56);
    humanise(clap, 0.05f, 52);

    Channel& hats = drum_channel(score, "closed hat", Drum::closed_hat, 1.5f);
    hats.pan = 0.2f;
    hats.swung = true;
    drums(hats, score, "x.o.x.o.x.o.x.o.", 8, 19);
    drums(hats, score, "xoxoxoxoxoxoxoxo", 20, 36);
    drums(hats, score, "xoxoxoxoxoxoxoxo", 44, 58);
    humanise(hats, 0.12f, 53);

    Channel& open_hat = drum_channel(score, "open hat", Drum::open_hat, -3.5f);
    open_hat.pan = -0.2f;
    drums(open_hat, score, "..o...o...o...o.", 4, 8);
    drums(open_hat, score, "..x...x...x...x.", 8, 19);
    drums(open_hat, score, "..x...x...x...x.", 20, 36);
    drums(open_hat, score, "..x...x...x...x.", 44, 58);
    humanise(open_hat, 0.08f, 54);

    Channel& roll = drum_channel(score, "snare roll", Drum::snare, -6.0f);
    roll.reverb_send = 0.3f;
    drums(roll, score, "x...x...x...x...x.x.x.x.x.x.x.x.", 16, 18, 0.7f);
    drums(roll, score, "xxxxxxxxxxxxxxxxXXXXXXXXXXXXXXXX", 18, 20);
    drums(roll, score, "x.x.x.x.x.x.x.x.xxxxxxxxXXXXXXXX", 42, 44, 0.8f);
    fade(roll, score, {{16, -14.0f}, {20, 0.0f}, {42, -10.0f}, {44, 0.0f}});

    Channel& crash = drum_channel(score, "crash", Drum::crash, -7.5f);
    crash.reverb_send = 0.3f;
    for (int bar : {8, 20, 28, 44, 52, 56}) hit(crash, score, bar, 0.8f);

    Channel& swell = score.add_channel("riser", Instrument::riser);
    swell.gain_db = -6.0f;
    swell.reverb_send = 0.3f;
    riser(swell, score, 6, 8, 0.5f);
    riser(swell, score, 16, 20, 0.9f);
    riser(swell, score, 42, 44, 0.7f);
    return score;
}

std::vector<Score> demo_scores() { return {quiet_orbit(), vellumbra_signal(), first_light()}; }

std::string track_file_name(int position, const Score& score)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d", position);
    return std::string(number) + " - " + score.title + ".ogg";
}

}  // namespace music
