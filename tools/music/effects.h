// The two send effects of the demo music mixer: a ping-pong echo timed in
// beats and a plate-like reverb. Both run once over a whole send buffer after
// all notes are rendered; the mixer adds their output to the dry mix.
#pragma once

#include "tools/music/dsp.h"

namespace music {

struct ReverbSettings {
    float room = 0.84f;     // comb feedback, 0.7 (small) to 0.95 (huge)
    float damping = 0.3f;   // 0 bright to 1 dark tail
    float width = 1.0f;     // 0 mono to 1 full stereo
    float predelay = 0.02f; // seconds before the tail starts
};

// Replaces the buffer by its reverberated tail (wet only); the caller mixes
// it back. The buffer keeps its length, so a tail past its end is cut.
void apply_reverb(StereoBuffer& buffer, const ReverbSettings& settings);

struct DelaySettings {
    float seconds = 0.3f;   // one echo step; the left and right echoes alternate
    float feedback = 0.4f;  // level of each repeat relative to the one before
    float tone_hz = 3500.0f; // repeats lose their highs above this, like tape
};

// Replaces the buffer by its echoes only (the first one `seconds` late).
void apply_delay(StereoBuffer& buffer, const DelaySettings& settings);

}  // namespace music
