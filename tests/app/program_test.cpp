#include "app/frame_loop.h"
#include "app/player_screen.h"
#include "app/program.h"
#include "app/zoom.h"
#include "widgets/image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(CommandLine, only_an_exact_dash_b_gives_a_frame) {
    const char* plain[] = {"diskplayer"};
    const char* framed[] = {"diskplayer", "x", "-b", "y"};
    const char* near_misses[] = {"diskplayer", "-B", "-bb", "b-", " -b", "-b "};
    EXPECT_FALSE(parse_bordered(1, const_cast<char**>(plain)));
    EXPECT_TRUE(parse_bordered(4, const_cast<char**>(framed)));
    EXPECT_FALSE(parse_bordered(6, const_cast<char**>(near_misses)));
    const char* program_name_only[] = {"-b"};
    EXPECT_FALSE(parse_bordered(1, const_cast<char**>(program_name_only)));
}

TEST(CommandLine, the_last_zoom_option_counts_and_other_arguments_are_ignored) {
    struct Case {
        std::vector<const char*> arguments;
        int zoom;
    } cases[] = {
        {{}, 1},
        {{"-2"}, 2},
        {{"x", "-3", "y"}, 3},
        {{"-a"}, zoom_to_fit},
        {{"-b", "-2"}, 2},
        {{"-2", "-3"}, 3},
        {{"-3", "-a"}, zoom_to_fit},
        {{"-a", "-2", "-b"}, 2},
        {{"-1", "-4", "-22", "2", "-A", " -2", "-2 "}, 1},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"diskplayer"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(parse_zoom(static_cast<int>(argv.size()), const_cast<char**>(argv.data())), c.zoom)
            << "after " << argv.size() - 1 << " arguments";
    }
    const char* program_name_only[] = {"-3"};
    EXPECT_EQ(parse_zoom(1, const_cast<char**>(program_name_only)), 1);
}

TEST(CommandLine, zoom_to_fit_takes_the_largest_window_within_80_percent_of_the_screen) {
    struct Case {
        int width, height, zoom;
    } cases[] = {
        {1024, 768, 1},  {1920, 1080, 2}, {3840, 2160, 3},
        {1600, 1000, 2},  // 1280 x 800 is exactly 80 %
        {1599, 1000, 1}, {1600, 999, 1},
        {2400, 1500, 3}, {2560, 1440, 2},  // too low for 1200 rows
        {7680, 4320, 3},                   // no zoom beyond 3
        {0, 0, 1},       {-1, 768, 1},     // SDL did not know the desktop
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitting_zoom(c.width, c.height), c.zoom) << c.width << " x " << c.height;
}

int failing_wait(SDL_Event*) {
    SDL_SetError("no events today");
    return 0;
}

TEST(EventLoop, a_failing_event_source_ends_the_loop_with_status_one_and_a_line) {
    CaptureStdout();
    EXPECT_EQ(event_loop(failing_wait), 1);
    EXPECT_EQ(GetCapturedStdout(), "SDL_WaitEvent: no events today\n");
}

SDL_Event key_release(SDLKey key) {
    SDL_Event event{};
    event.type = SDL_KEYUP;
    event.key.keysym.sym = key;
    return event;
}

SDL_Event user_event(int code) {
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    event.user.code = code;
    return event;
}

class QuitTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER), 0) << SDL_GetError();
        canvas.create_surface(640, 400);
        background = new Image();
    }
    void TearDown() override {
        effect_list.clear();
        delete background;
        background = nullptr;
        SDL_Quit();
    }
};

TEST_F(QuitTest, escape_release_appends_the_fade_and_the_fill_and_redraws_everything) {
    SDL_Event press{};
    press.type = SDL_KEYDOWN;
    press.key.keysym.sym = SDLK_ESCAPE;
    EXPECT_TRUE(dispatch_event(press));
    EXPECT_TRUE(effect_list.empty());  // keys act on release only

    EXPECT_TRUE(dispatch_event(key_release(SDLK_ESCAPE)));
    EXPECT_EQ(effect_list.size(), 2u);
    EXPECT_TRUE(background->test_flag(Widget::redraw_all));
}

TEST_F(QuitTest, keys_outside_the_map_do_nothing) {
    for (SDLKey key : {SDLK_a, SDLK_TAB, SDLK_F1, SDLK_KP_ENTER, SDLK_PAGEUP})
        EXPECT_TRUE(dispatch_event(key_release(key)));
    EXPECT_TRUE(effect_list.empty());
    EXPECT_FALSE(background->test_flag(Widget::redraw_all));
}

TEST_F(QuitTest, a_close_request_quits_like_escape) {
    SDL_Event close{};
    close.type = SDL_QUIT;
    EXPECT_TRUE(dispatch_event(close));
    EXPECT_EQ(effect_list.size(), 2u);
}

TEST_F(QuitTest, the_quit_event_ends_the_loop_with_status_zero) {
    EXPECT_TRUE(dispatch_event(user_event(7)));  // unknown codes are ignored
    EXPECT_FALSE(dispatch_event(user_event(user_event_quit)));
    // The timer's event ends a real loop too, a third of a second later.
    {
        ScreenLock lock;
        begin_quit();
        begin_quit();  // twice: the first quit event still ends it
    }
    EXPECT_EQ(event_loop(SDL_WaitEvent), 0);
    EXPECT_EQ(effect_list.size(), 4u);
}

TEST_F(QuitTest, quit_event_is_posted_once_and_the_timer_cancelled) {
    EXPECT_EQ(post_quit_event(333, nullptr), 0u);
    SDL_Event event;
    SDL_PumpEvents();
    ASSERT_EQ(SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_EVENTMASK(SDL_USEREVENT)), 1);
    EXPECT_EQ(event.user.code, user_event_quit);
}

TEST(LengthText, whole_seconds_as_minutes_and_seconds_without_hours) {
    EXPECT_EQ(length_text(0), "0:00");
    EXPECT_EQ(length_text(59.99), "0:59");
    EXPECT_EQ(length_text(60), "1:00");
    EXPECT_EQ(length_text(65.9), "1:05");
    EXPECT_EQ(length_text(600), "10:00");
    EXPECT_EQ(length_text(3725), "62:05");
}

TEST(LengthText, broken_lengths_show_zero) {
    EXPECT_EQ(length_text(-131), "0:00");
    EXPECT_EQ(length_text(std::nan("")), "0:00");
    EXPECT_EQ(length_text(1e300), "0:00");
    EXPECT_EQ(length_text(4294967295.5), "71582788:15");
}

}  // namespace
