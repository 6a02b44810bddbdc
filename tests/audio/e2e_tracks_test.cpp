// The two tracks of the end-to-end playback test and their reference PCM.
// Run on its own it checks the writer and a plain decode against each other;
// tests/e2e/audio_pcm.sh runs it with DISKPLAYER_E2E_MUSIC (the music folder
// to fill) and DISKPLAYER_E2E_REFERENCE (where each track's decoded PCM goes,
// as 1.pcm, 2.pcm) and compares what the program plays with those files.
#include "ogg_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

TEST(e2e_tracks, two_tracks_decode_to_their_exact_length_with_distinct_channels) {
    TempFolder scratch;
    const char* music = std::getenv("DISKPLAYER_E2E_MUSIC");
    const char* reference = std::getenv("DISKPLAYER_E2E_REFERENCE");
    const std::string music_folder = music ? music : scratch.path();
    const std::string reference_folder = reference ? reference : scratch.path();

    struct Track { const char* name; long frames; double frequency; };
    // The first ends exactly on a buffer boundary (20 x 1024 frames), the
    // second part-way through one.
    const Track tracks[] = {{"01 first.ogg", 20480, 440}, {"02 second.OGG", 33000, 660}};
    int number = 0;
    for (const Track& track : tracks) {
        OggSpec spec;
        spec.frames = track.frames;
        spec.frequency = track.frequency;
        spec.tags = {"ARTIST=Test Signal", std::string("TITLE=") + track.name};
        const std::string path = music_folder + "/" + track.name;
        ASSERT_TRUE(write_ogg(path, spec)) << path;

        const std::vector<Sint16> pcm = decode_ogg(path);
        ASSERT_EQ(pcm.size(), std::size_t(2 * track.frames)) << path;
        double error[2] = {0, 0};
        for (long i = 0; i < track.frames; ++i)
            for (int c = 0; c < 2; ++c)
                error[c] += std::fabs(pcm[2 * i + c] / 32768.0 - written_sample(spec, i, c));
        EXPECT_LT(error[0] / track.frames, 0.02) << path;
        EXPECT_LT(error[1] / track.frames, 0.02) << path;

        const std::string out_path = reference_folder + "/" + std::to_string(++number) + ".pcm";
        std::ofstream out(out_path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(pcm.data()), std::streamsize(pcm.size() * 2));
        ASSERT_TRUE(out.good()) << out_path;
    }
}
