// Levels a rendered mix for release: takes out DC and sub-sonic rumble,
// brings every track to the same loudness and holds the peaks under a ceiling
// with a lookahead limiter, so the tracks of the disk play at one volume and
// none clips. make_music runs it once per track before encoding.
#pragma once

#include "tools/music/dsp.h"

namespace music {

struct Levels {
    float peak_db;  // highest absolute sample of either channel, dBFS
    float rms_db;   // over all samples of both channels, dBFS
};

Levels measure(const StereoBuffer& buffer);

// Scales to target_rms_db and limits so no sample exceeds ceiling_db,
// repeating both until the limited result is at the target.
void master_track(StereoBuffer& buffer, float target_rms_db, float ceiling_db);

// Multiplies each frame by the gain that keeps it under ceiling (linear). The
// gain falls early enough to meet every peak and recovers smoothly, so it
// changes slowly compared with the audio and does not distort it.
void limit_peaks(StereoBuffer& buffer, float ceiling);

}  // namespace music
