// Turns a score into its stereo mix: every note of every channel, the
// channels' levels, pans and kick ducking, and the echo and reverb sends.
// The result is the raw mix; master levels it for release.
#pragma once

#include "tools/music/score.h"

namespace music {

// channel_rms_db, when given, receives each channel's RMS level in dBFS as
// it enters the mix (before the sends), for balancing a piece.
StereoBuffer render_score(const Score& score, std::vector<float>* channel_rms_db = nullptr);

// Where a note starts, in frames: on the grid, or late by the score's swing
// when the channel is swung and the note sits on an off-beat sixteenth.
size_t note_start_frame(const Score& score, const Channel& channel, const Note& note);

// The channel's level in dB at a beat, from its gain curve: linear between
// points, held flat before the first and after the last.
float channel_gain_db(const Channel& channel, double beat);

}  // namespace music
