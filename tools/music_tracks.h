// The pieces of the demo disk, each written as a score: one slow ambient
// piece, one mid-tempo electronic piece and a brighter closer, all by the same
// fictional composer. make_music renders them in this order.
#pragma once

#include <string>
#include <vector>

#include "music_score.h"

namespace music {

// The composer named in every ARTIST tag.
extern const char* const composer;

Score quiet_orbit();
Score vellumbra_signal();
Score first_light();

// All pieces in playing order.
std::vector<Score> demo_scores();

// "01 - Quiet Orbit.ogg": the number makes the playlist's byte order the
// playing order. position counts from 1.
std::string track_file_name(int position, const Score& score);

}  // namespace music
