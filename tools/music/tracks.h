// The pieces of the demo disk, each written as a score: one slow ambient
// piece, one mid-tempo electronic piece and a brighter closer. make_music
// renders them in this order, and the tags and comments credit it and the
// project: no made-up musician is named.
#pragma once

#include <string>
#include <vector>

#include "tools/music/score.h"

namespace music {

// The name in every ARTIST tag: the project itself, whose own generator
// wrote and played every note.
extern const char* const artist;

Score quiet_orbit();
Score vellumbra_signal();
Score first_light();

// All pieces in playing order.
std::vector<Score> demo_scores();

// "01 - Quiet Orbit.ogg": the number makes the playlist's byte order the
// playing order. position counts from 1.
std::string track_file_name(int position, const Score& score);

}  // namespace music
