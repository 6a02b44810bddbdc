// The instruments of the demo music: a subtractive synthesiser voice (pads,
// bass, leads, plucks), an FM bell, a noise riser, and the drum kit, whose
// hits are rendered once into sample buffers and then copied per hit. The
// score renderer calls these once per note.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/music/dsp.h"

namespace music {

struct SynthPatch {
    int unison = 1;              // detuned copies of each oscillator
    float detune_cents = 0.0f;   // spread between the outermost copies
    float stereo_spread = 0.0f;  // 0 all centred to 1 outermost copies hard left/right
    float saw = 1.0f;            // oscillator mix levels
    float square = 0.0f;
    float sine = 0.0f;           // centred and not detuned, the weight of a bass
    float cutoff_hz = 2000.0f;   // at note 60, velocity 0, envelope closed
    float key_tracking = 0.5f;   // octaves of cutoff per octave of pitch
    float resonance = 0.1f;
    float filter_env_octaves = 0.0f;  // added at the note's start, scaled by velocity
    float filter_decay = 0.3f;        // seconds for the filter envelope to close
    float lfo_octaves = 0.0f;    // slow cutoff movement, for pads
    float lfo_hz = 0.1f;
    float vibrato_cents = 0.0f;
    float vibrato_hz = 5.0f;
    float vibrato_delay = 0.3f;  // seconds until the vibrato reaches full depth
    EnvelopeShape amp;
};

// Adds one note to out from frame start: the gate lasts gate_frames, the
// release rings on after it (cut at the buffer's end). cutoff_shift moves the
// filter in octaves for automation; seed picks the oscillators' start phases.
void render_synth_note(StereoBuffer& out, size_t start, int gate_frames, float pitch,
                       float velocity, float cutoff_shift, const SynthPatch& patch, uint32_t seed);

struct BellPatch {
    float ratio = 3.5f;       // modulator to carrier frequency
    float index = 1.0f;       // modulation depth at the strike
    float index_decay = 0.8f; // seconds for the brightness to fade
    float decay = 4.0f;       // seconds to fall by 60 dB while held
    float release = 1.0f;
};

// Adds one FM bell note, two carriers a few cents apart spread left and right.
void render_bell_note(StereoBuffer& out, size_t start, int gate_frames, float pitch,
                      float velocity, const BellPatch& patch);

// Adds a noise sweep that rises in pitch and level over length_frames and
// stops at its end, to lead into a new section.
void render_riser(StereoBuffer& out, size_t start, int length_frames, float velocity, uint32_t seed);

enum class Drum { kick, snare, clap, closed_hat, open_hat, shaker, crash };

// One hit of the kit at full level, mono. tune scales the pitch, decay the
// length; the same arguments always give the same samples.
std::vector<float> make_drum(Drum drum, float tune, float decay);

}  // namespace music
