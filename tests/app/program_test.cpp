#include "app/frame_loop.h"
#include "app/player_screen.h"
#include "app/program.h"
#include "app/zoom.h"
#include "audio/engine.h"
#include "audio/playlist.h"
#include "effects/blend_effect.h"
#include "effects/timed_fill_effect.h"
#include "gfx/misc.h"
#include "gfx/resource_table.h"
#include "widgets/image.h"
#include "widgets/skinned_button.h"
#include "widgets/skinned_button2.h"
#include "widgets/skinned_scale.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

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

// SDL reports two monitors as one wide (or tall) screen: -a must size and
// centre the window by the monitor under the pointer, else the first.
TEST(CommandLine, zoom_to_fit_goes_by_the_monitor_the_window_opens_on) {
    struct Case {
        const char* layout;
        std::vector<MonitorArea> monitors;
        int pointer_x, pointer_y;
        int zoom, x, y;  // the window's zoom and top left corner
    } cases[] = {
        {"side by side, pointer on the right", {{0, 0, 1280, 1024}, {1280, 0, 1280, 1024}}, 2000, 500, 1, 1600, 312},
        {"side by side, pointer on the left", {{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}}, 10, 10, 2, 320, 140},
        {"stacked", {{0, 0, 1920, 1080}, {0, 1080, 1920, 1080}}, 100, 1500, 2, 320, 1220},
        {"upright", {{0, 0, 1440, 2560}, {1440, 0, 1440, 2560}}, 1500, 0, 1, 1840, 1080},
        {"mixed sizes, on the large one", {{0, 0, 1280, 1024}, {1280, 0, 3840, 2160}}, 1280, 2159, 3, 2240, 480},
        {"mixed sizes, in the gap below the small one", {{1280, 0, 3840, 2160}, {0, 0, 1280, 1024}}, 100, 1500, 3,
         2240, 480},
        {"pointer on no monitor: the first", {{0, 0, 1280, 1024}, {1280, 0, 2560, 1440}}, -5, -5, 1, 320, 312},
    };
    for (const Case& c : cases) {
        const MonitorArea* monitor = window_monitor(c.monitors, c.pointer_x, c.pointer_y);
        ASSERT_NE(monitor, nullptr) << c.layout;
        const int zoom = fitting_zoom(monitor->width, monitor->height);
        const WindowOrigin origin = centred_on(*monitor, 640 * zoom, 400 * zoom);
        EXPECT_EQ(zoom, c.zoom) << c.layout;
        EXPECT_EQ(origin.x, c.x) << c.layout;
        EXPECT_EQ(origin.y, c.y) << c.layout;
    }
    EXPECT_EQ(window_monitor({}, 0, 0), nullptr);
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

// The keyboard map with the engine stopped, where next and previous move
// the selection at once: a playlist of three (unreadable) entries at the
// second, and a play button whose face shows a start.
class KeyMap : public QuitTest {
protected:
    void SetUp() override {
        QuitTest::SetUp();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
        play_button = new SkinnedButton2();
        playlist = {"/nonexistent/a.ogg", "/nonexistent/b.ogg", "/nonexistent/c.ogg"};
    }
    void TearDown() override {
        audio_shutdown();
        playlist.clear();
        delete play_button;
        play_button = nullptr;
        QuitTest::TearDown();
    }
};

TEST_F(KeyMap, each_key_acts_on_release_as_the_map_says) {
    const struct {
        SDLKey key;
        std::size_t index;  // the selection afterwards, from 1
        bool playing_face;  // toggle_playback ran
        bool quitting;      // begin_quit ran
    } rows[] = {
        {SDLK_BACKSPACE, 0, false, false}, {SDLK_UP, 0, false, false},
        {SDLK_LEFT, 0, false, false},      {SDLK_RETURN, 2, false, false},
        {SDLK_DOWN, 2, false, false},      {SDLK_RIGHT, 2, false, false},
        {SDLK_SPACE, 1, true, false},      {SDLK_ESCAPE, 1, false, true},
        {SDLK_a, 1, false, false},         {SDLK_TAB, 1, false, false},
        {SDLK_F1, 1, false, false},        {SDLK_KP_ENTER, 1, false, false},
        {SDLK_PAGEUP, 1, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(SDL_GetKeyName(row.key));
        audio_shutdown();  // closed again after a start
        effect_list.clear();
        background->set_flag(Widget::redraw_all, false);
        play_button->set_second_face(false);
        current_index = 1;
        CaptureStdout();  // the failed opens
        EXPECT_TRUE(dispatch_event(key_release(row.key)));
        GetCapturedStdout();
        EXPECT_EQ(current_index, row.index);
        EXPECT_EQ(play_button->test_flag(Widget::second_face), row.playing_face);
        EXPECT_EQ(effect_list.size(), row.quitting ? 2u : 0u);
        EXPECT_EQ(background->test_flag(Widget::redraw_all), row.quitting);
    }
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

TEST_F(QuitTest, the_quit_fades_the_canvas_over_nine_frames_and_fills_it_black_from_frame_nine) {
    {
        ScreenLock lock;
        begin_quit();
    }
    ASSERT_EQ(effect_list.size(), 2u);
    auto* fade = dynamic_cast<BlendEffect*>(effect_list.front().get());
    auto* fill = dynamic_cast<TimedFillEffect*>(effect_list.back().get());
    ASSERT_NE(fade, nullptr);
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(&fade->target, &canvas);
    EXPECT_EQ(fade->frame, 0);  // no delay
    EXPECT_EQ(fade->length, 9);
    EXPECT_EQ(fade->opacity, 1.0f);
    EXPECT_EQ(fade->step, -(1.0f / 9));  // fading out
    EXPECT_EQ(&fill->target, &canvas);
    EXPECT_EQ(fill->frame, -9);
    EXPECT_EQ(fill->end, 1800);
    EXPECT_EQ(fill->red + fill->green + fill->blue, 0);
}

// Hover and press wait for the player screen; the click pass does not (a
// release over a control during the intro acts, as intended).
using PointerGate = QuitTest;

TEST_F(PointerGate, the_intro_ignores_pointer_moves_and_presses_but_not_releases) {
    SkinnedButton button;
    button.set_skin(nullptr, 0, 0, 27, 15);
    button.set_position(320, 44);
    static int clicks = 0;
    button.action.store([] { ++clicks; });
    SkinnedScale scale(0x10);
    scale.set_skin(nullptr, 0, 0, 106, 8, 15);
    scale.set_position(240, 20);
    widget_list = {&button, &scale};

    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.x = 330;
    move.motion.y = 50;
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.x = 240 + 53;  // the middle of the knob's travel
    press.button.y = 27;
    SDL_Event release{};
    release.type = SDL_MOUSEBUTTONUP;
    release.button.x = 330;
    release.button.y = 50;

    const struct {
        Uint32 frame;
        bool hover;
        bool pressed;
        float drag;
        int clicks;
    } phases[] = {
        {last_intro_frame, false, false, 0.0f, 1},
        {last_intro_frame + 1, true, true, 0.5f, 2},
    };
    for (const auto& phase : phases) {
        SCOPED_TRACE(phase.frame);
        frame_counter.store(phase.frame);
        dispatch_event(move);
        EXPECT_EQ(button.test_flag(Widget::hover), phase.hover);
        dispatch_event(press);
        EXPECT_EQ(scale.test_flag(Widget::pressed), phase.pressed);
        EXPECT_EQ(scale.drag_value(), phase.drag);
        dispatch_event(release);
        EXPECT_EQ(clicks, phase.clicks);
    }
    widget_list.clear();
}

TEST_F(QuitTest, quit_event_is_posted_once_and_the_timer_cancelled) {
    EXPECT_EQ(post_quit_event(333, nullptr), 0u);
    SDL_Event event;
    SDL_PumpEvents();
    ASSERT_EQ(SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_EVENTMASK(SDL_USEREVENT)), 1);
    EXPECT_EQ(event.user.code, user_event_quit);
}

// The icon's bytes in a copy of the shipped data file overwritten with
// garbage of the same size: the id still matches, the picture is 0 x 0, and
// SDL's X11 code would end the process on it.
TEST(WindowIcon, an_icon_that_is_no_picture_is_not_set) {
    const ResourceEntry* icon = nullptr;
    for (const ResourceEntry& entry : resource_table)
        if (std::strcmp(entry.name, "res/icon.png") == 0) icon = &entry;
    ASSERT_NE(icon, nullptr);
    const fs::path folder = fs::temp_directory_path() / ("diskplayer-icon-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ifstream shipped(fs::path(DISK_DIR) / "data", std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(shipped)), std::istreambuf_iterator<char>());
    ASSERT_GE(data.size(), icon->offset + icon->size);
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    for (bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "garbage" : "shipped");
        if (damaged)
            for (std::uint64_t i = 0; i < icon->size; ++i)
                data[icon->offset + i] = static_cast<char>(i * 37 + 11);
        std::ofstream("data", std::ios::binary | std::ios::trunc).write(data.data(), std::streamsize(data.size()));
        reset_resource_reader();
        CaptureStdout();
        SDL_Surface* loaded = load_window_icon();
        EXPECT_EQ(GetCapturedStdout(), "");  // the id matched and the bytes were read
        EXPECT_EQ(loaded != nullptr, !damaged);
        if (loaded) {
            EXPECT_GT(loaded->w, 0);
            EXPECT_GT(loaded->h, 0);
            SDL_FreeSurface(loaded);
        }
    }
    reset_resource_reader();
    fs::current_path(before);
    fs::remove_all(folder);
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
