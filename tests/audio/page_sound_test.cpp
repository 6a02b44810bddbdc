// The sound the web page's host pulls through the headless driver: the
// engine's callback in the device's buffers, whatever the host asks for.
#include "app/frame_loop.h"
#include "app/headless.h"
#include "ogg_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

TEST(PageSound, pulled_sound_is_the_track_whatever_the_hosts_buffer_size) {
    TempFolder music;
    OggSpec spec;
    spec.frames = 44100;
    ASSERT_TRUE(write_ogg(music / "01.ogg", spec));
    HeadlessOptions options;
    options.disk = DISK_DIR;
    options.music = music.path();
    options.frame_ms = frame_period_ms;
    HeadlessProgram program;
    std::string error;
    ASSERT_TRUE(program.start(options, error)) << error;
    // Sizes around and across the device's 1024-frame buffers.
    const int sizes[] = {4096, 1000, 1024, 1, 2049, 3000};
    std::vector<Sint16> pulled;
    for (int frames : sizes) {
        std::vector<Sint16> part(static_cast<std::size_t>(frames) * 2, 12345);
        program.pull_sound(part.data(), frames);
        pulled.insert(pulled.end(), part.begin(), part.end());
    }
    std::vector<Sint16> expected = decode_ogg(music / "01.ogg");
    ASSERT_GE(expected.size(), pulled.size());
    expected.resize(pulled.size());
    EXPECT_EQ(pulled, expected);
}

}  // namespace
