// Writes a stereo 44100 Hz mix as an Ogg Vorbis file with its tags, and
// reads back how loud its peaks came out. The stream serial number is fixed
// and nothing depends on the clock, so the same mix always gives the same bytes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/music/dsp.h"

namespace music {

using Tags = std::vector<std::pair<std::string, std::string>>;

// quality as for vorbis_encode_init_vbr (-0.1 to 1). Returns false, after a
// line on standard error, when the encoder refuses or the file cannot be
// written; a partly written file is removed.
bool write_ogg(const std::string& path, const StereoBuffer& mix, const Tags& tags, float quality);

// The highest absolute sample of the decoded file in dBFS, before any
// conversion to integers, so codec overshoots above full scale show; below
// -200 when the file does not open.
float decoded_peak_db(const std::string& path);

}  // namespace music
