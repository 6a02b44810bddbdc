// make_music: renders the demo tracks of the disk into a folder as Ogg
// Vorbis files, "01 - <title>.ogg" onwards, tagged with ARTIST, TITLE and
// COMMENT. Everything is synthesised from the scores in tracks.cpp; the
// output depends on nothing but this program, so two runs give the same bytes.
//
// usage: make_music <output folder> [--levels]
//   --levels also prints each channel's level, for balancing a mix.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tools/music/master.h"
#include "tools/music/ogg.h"
#include "tools/music/render.h"
#include "tools/music/tracks.h"

namespace {

// Every track is brought to this loudness, so the disk plays at one volume,
// with its decoded peaks at about peak_db.
constexpr float target_rms_db = -16.0f;
constexpr float peak_db = -1.0f;
constexpr float peak_tolerance_db = 0.25f;
constexpr int encoding_attempts = 4;
constexpr float vorbis_quality = 0.4f;

// Levels and encodes the mix into path. The codec rebuilds transients with
// overshoots of up to 2 dB, so the decoded peak is measured, and when it
// comes out too high the limiter's ceiling is lowered by the excess and the
// track encoded again; the loudness stays at the target throughout. The
// first ceiling allows for a typical overshoot, to save an encoding.
bool release(const music::StereoBuffer& mix, const std::string& path, const music::Tags& tags,
             music::Levels& released, float& decoded_db, int& attempts)
{
    float ceiling_db = peak_db - 0.5f;
    for (attempts = 1; attempts <= encoding_attempts; ++attempts) {
        music::StereoBuffer levelled = mix;
        music::master_track(levelled, target_rms_db, ceiling_db);
        released = music::measure(levelled);
        if (!music::write_ogg(path, levelled, tags, vorbis_quality)) return false;
        decoded_db = music::decoded_peak_db(path);
        if (decoded_db <= peak_db + peak_tolerance_db) break;
        ceiling_db -= decoded_db - peak_db;
    }
    return true;
}

bool make_track(const std::string& folder, int position, const music::Score& score, bool show_levels)
{
    std::vector<float> channel_levels;
    const music::StereoBuffer mix = music::render_score(score, show_levels ? &channel_levels : nullptr);
    const music::Levels raw = music::measure(mix);

    const std::string name = music::track_file_name(position, score);
    const std::string path = folder + "/" + name;
    // Written under a temporary name and renamed, so an interrupted build
    // never leaves a truncated track that looks finished.
    const std::string partial = path + ".part";
    const music::Tags tags = {{"ARTIST", music::artist}, {"TITLE", score.title}, {"COMMENT", score.comment}};
    music::Levels released{};
    float decoded_db = 0.0f;
    int attempts = 0;
    if (!release(mix, partial, tags, released, decoded_db, attempts)) return false;
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "make_music: cannot rename %s\n", partial.c_str());
        std::remove(partial.c_str());
        return false;
    }
    std::printf("%s: %.1f s, %.0f bpm, %s; mix peak %.1f rms %.1f; released peak %.2f rms %.2f; decoded peak %.2f"
                " (dBFS), encoded %d times\n", name.c_str(), score.seconds(), score.bpm, score.key.c_str(), raw.peak_db,
                raw.rms_db, released.peak_db, released.rms_db, decoded_db, std::min(attempts, encoding_attempts));
    for (size_t c = 0; c < channel_levels.size(); ++c)
        std::printf("    %-12s %6.1f dBFS\n", score.channels[c].name.c_str(), channel_levels[c]);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: make_music <output folder> [--levels]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool show_levels = argc > 2 && std::strcmp(argv[2], "--levels") == 0;
    try {
        const std::vector<music::Score> scores = music::demo_scores();
        for (size_t i = 0; i < scores.size(); ++i)
            if (!make_track(folder, static_cast<int>(i) + 1, scores[i], show_levels)) return 1;
    } catch (const std::exception& error) {
        // A mistyped note or pattern in a score ends up here, named.
        std::fprintf(stderr, "make_music: %s\n", error.what());
        return 1;
    }
    return 0;
}
