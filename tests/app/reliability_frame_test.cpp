// The frame thread against the main thread when frames overrun: a render
// that takes longer than the frame period makes the frame thread lock the
// screen again at once, and presentation (and with it input) must still get
// the lock between its frames rather than wait behind it for ever.
#include "app/frame_loop.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Holds the screen lock (taken around every render) for 50 ms a frame.
struct OverlongEffect : Effect {
    bool draw() override {
        SDL_Delay(50);
        return true;
    }
    void advance() override {}
};

class OverlongFrames : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 0) << SDL_GetError();
        SDL_Surface* window = SDL_SetVideoMode(640, 400, 32, SDL_NOFRAME);
        ASSERT_NE(window, nullptr);
        screen.set_surface(window);
        canvas.create_surface(640, 400);
        frame_counter.store(0);
        effect_lock.lock();
        effect_list.push_back(std::make_unique<OverlongEffect>());
        effect_lock.unlock();
    }
    void TearDown() override {
        stop_frame_thread();
        effect_lock.lock();
        effect_list.clear();
        effect_lock.unlock();
        SDL_Quit();
    }
};

TEST_F(OverlongFrames, presentation_gets_the_screen_between_frames_that_overrun) {
    ASSERT_TRUE(start_frame_thread());
    // Each overlong render is followed by one caught-up frame, so 24 counts
    // are 12 renders. A lock that hands over to the waiting main thread lets
    // it present about once per render; one that lets the frame thread take
    // it straight back starves presentation to a present or two.
    // A present with nothing drawn costs next to nothing, so the main
    // thread rests a moment between them, as waiting for the next frame
    // event does; the bound ends a starved run instead of spinning.
    int presents = 0;
    while (frame_counter.load() < 24 && presents < 5000) {
        present_frame();
        ++presents;
        SDL_Delay(1);
    }
    stop_frame_thread();
    EXPECT_GE(frame_counter.load(), 24u);
    EXPECT_GE(presents, 6);
}

}  // namespace
