// The headless driver's way for the web page: frames by the clock and
// events from the host (the sound it pulls: tests/audio/page_sound_test).
#include "app/frame_loop.h"
#include "app/headless.h"

#include <gtest/gtest.h>

#include <SDL.h>

namespace {

HeadlessOptions page_options() {
    HeadlessOptions options;
    options.disk = DISK_DIR;
    options.music = "none";  // the frames and the quit need no sound
    options.frame_ms = frame_period_ms;
    return options;
}

TEST(HeadlessPage, a_late_frame_skips_the_frames_between_and_escape_ends_after_the_quit_delay) {
    HeadlessProgram program;
    std::string error;
    ASSERT_TRUE(program.start(page_options(), error)) << error;
    program.advance_to(0);
    EXPECT_FALSE(in_player_phase());
    // A tab that stalled across the end of the intro: one frame drawn, the
    // counter where the clock is, the player screen up.
    program.advance_to(last_intro_frame + 40);
    EXPECT_EQ(program.frame(), last_intro_frame + 40);
    EXPECT_EQ(frame_counter.load(), last_intro_frame + 40);
    EXPECT_TRUE(in_player_phase());
    program.advance_to(5);  // the clock never goes back
    EXPECT_EQ(program.frame(), last_intro_frame + 40);

    SDL_Event escape{};
    escape.type = SDL_KEYUP;
    escape.key.type = SDL_KEYUP;
    escape.key.keysym.sym = SDLK_ESCAPE;
    program.send(escape);
    // 333 ms at 33 ms a frame: the loop ends before the 11th frame after.
    const Uint32 asked = program.frame();
    program.advance_to(asked + 9);
    EXPECT_FALSE(program.quit_over());
    program.advance_to(asked + 10);
    EXPECT_TRUE(program.quit_over());
}

}  // namespace
