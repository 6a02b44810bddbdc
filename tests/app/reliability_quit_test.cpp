// The quit request against a full event queue: SDL drops whatever does not
// fit, so a quit posted while the main thread is stalled would be lost, and
// Escape with it, unless the timer tries again.
#include "app/frame_loop.h"
#include "app/program.h"

#include <gtest/gtest.h>

namespace {

class FullQueue : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_NE(SDL_SetVideoMode(640, 400, 32, SDL_NOFRAME), nullptr);
    }
    void TearDown() override { SDL_Quit(); }
};

TEST_F(FullQueue, the_quit_timer_retries_until_the_queue_has_room) {
    SDL_Event filler{};
    filler.type = SDL_USEREVENT;
    filler.user.code = 7;  // a code the loop ignores
    int pushed = 0;
    while (SDL_PushEvent(&filler) == 0 && pushed < 10000) ++pushed;
    ASSERT_GT(pushed, 0);
    ASSERT_LT(pushed, 10000) << "the queue never filled";

    // Full: the timer asks to be called again a frame later.
    EXPECT_EQ(post_quit_event(333, nullptr), frame_period_ms);
    EXPECT_EQ(post_quit_event(frame_period_ms, nullptr), frame_period_ms);

    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(post_quit_event(frame_period_ms, nullptr), 0u);
    // The quit is the last event in the queue, and the only one.
    int quits = 0;
    while (SDL_PollEvent(&event) == 1)
        if (event.type == SDL_USEREVENT && event.user.code == user_event_quit) ++quits;
    EXPECT_EQ(quits, 1);
}

}  // namespace
