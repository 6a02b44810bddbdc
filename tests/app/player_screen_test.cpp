#include "app/frame_loop.h"
#include "app/intro.h"
#include "app/player_screen.h"
#include "app/program.h"
#include "audio/engine.h"
#include "effects/blend_effect2.h"
#include "effects/blend_effect3.h"
#include "gfx/blit.h"
#include "gfx/font.h"
#include "gfx/misc.h"
#include "widgets/image.h"
#include "widgets/quorrel_spectrum.h"
#include "widgets/quorrel_stars.h"
#include "widgets/scroller2.h"
#include "widgets/skinned_button.h"
#include "widgets/skinned_button2.h"
#include "widgets/skinned_scale.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A disk folder of the test's own: the built data file (or none) and an
// empty music folder, so the player has pictures but nothing to play.
class PlayerScreenTest : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("diskplayer-screen-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "music");
        if (with_data()) fs::create_symlink(fs::path(DISK_DIR) / "data", folder / "data");
        fs::current_path(folder);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO | SDL_INIT_TIMER), 0);
        canvas.create_surface(640, 400);
        testing::internal::CaptureStdout();
        load_fonts();
        build_player_screen();
        printed = testing::internal::GetCapturedStdout();
    }
    void TearDown() override {
        audio_shutdown();
        effect_list.clear();
        SDL_Quit();
        fs::current_path("/");
        fs::remove_all(folder);
    }
    virtual bool with_data() const { return true; }

    // Renders frames as the frame thread would, from the given frame on.
    void render_frames(Uint32 first, int count) {
        for (int i = 0; i < count; ++i) {
            frame_counter.store(first + static_cast<Uint32>(i));
            render_frame();
        }
    }
    // Rows of the info box picture that hold any visible pixel.
    std::vector<bool> inked_rows() {
        Graphics& box = info_box->picture();
        std::vector<bool> rows(box.surface->h, false);
        for (int y = 0; y < box.surface->h; ++y)
            for (int x = 0; x < box.surface->w; ++x)
                if (static_cast<Uint32*>(box.surface->pixels)[y * (box.surface->pitch / 4) + x] >> 24)
                    rows[y] = true;
        return rows;
    }

    fs::path folder;
    std::string printed;
};

class PlayerScreenWithoutData : public PlayerScreenTest {
protected:
    bool with_data() const override { return false; }
};

TEST_F(PlayerScreenTest, widgets_stand_in_list_order_at_their_places) {
    EXPECT_EQ(printed, "");
    ASSERT_EQ(widget_list.size(), 8u);
    EXPECT_EQ(widget_list, (std::vector<Widget*>{info_box, play_button, next_button,
                                                 previous_button, position_scale, star_field,
                                                 scroller, spectrum_display}));
    auto rect_of = [](Widget* w) {
        return std::vector<int>{w->rect.x, w->rect.y, w->rect.w, w->rect.h};
    };
    EXPECT_EQ(rect_of(background), (std::vector<int>{0, 0, 640, 400}));
    EXPECT_EQ(rect_of(info_box), (std::vector<int>{396, 17, 233, 60}));
    EXPECT_EQ(rect_of(play_button), (std::vector<int>{271, 44, 44, 15}));
    EXPECT_EQ(rect_of(next_button), (std::vector<int>{320, 44, 27, 15}));
    EXPECT_EQ(rect_of(previous_button), (std::vector<int>{239, 44, 27, 15}));
    EXPECT_EQ(rect_of(position_scale), (std::vector<int>{240, 20, 106, 15}));
    EXPECT_EQ(rect_of(scroller),
              (std::vector<int>{0, 92, 640, font_big_cyan.line_height()}));
    EXPECT_EQ(rect_of(star_field), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_FALSE(background->test_flag(Widget::interactive));
    EXPECT_FALSE(info_box->test_flag(Widget::interactive));
    EXPECT_TRUE(position_scale->test_flag(0x10));
}

TEST_F(PlayerScreenTest, track_text_fades_into_the_info_box_over_thirty_frames) {
    TrackInfo info;
    info.artist = "Nyx Arden";
    info.title = "Ink and Shadow";
    info.length = 185.5;
    info.comment = "Hello from the night.";
    show_track_info(info);
    ASSERT_EQ(effect_list.size(), 1u);
    EXPECT_NE(dynamic_cast<BlendEffect2*>(effect_list.front().get()), nullptr);
    EXPECT_LT(scroller->fade_step, 0.0f);  // the old comment fades out for the new one

    render_frames(1111, 30);
    EXPECT_TRUE(effect_list.empty());  // the cross-fade lasts exactly 30 frames
    std::vector<bool> rows = inked_rows();
    auto any_in = [&](int from, int to) {
        for (int y = from; y < to; ++y)
            if (rows[y]) return true;
        return false;
    };
    EXPECT_TRUE(any_in(0, 16)) << "no artist line";
    EXPECT_TRUE(any_in(16, 32)) << "no title line";
    EXPECT_FALSE(any_in(32, 48)) << "something between the title and the length";
    EXPECT_TRUE(any_in(48, 60)) << "no length line";
}

TEST_F(PlayerScreenTest, a_later_cross_fade_goes_in_front_of_an_earlier_one) {
    TrackInfo first, second;
    first.title = "one";
    second.title = "two";
    show_track_info(first);
    Effect* earlier = effect_list.front().get();
    render_frames(1111, 3);
    show_track_info(second);
    ASSERT_EQ(effect_list.size(), 2u);
    EXPECT_EQ(effect_list.back().get(), earlier);
    EXPECT_GT(scroller->fade_step, 0.0f);  // both comments empty: nothing to change
}

TEST_F(PlayerScreenTest, with_nothing_to_play_the_paused_face_wins_after_every_press) {
    set_playback_stopped_handler(on_playback_stopped);
    for (int i = 0; i < 100; ++i) {
        testing::internal::CaptureStdout();
        {
            ScreenLock lock;
            toggle_playback();
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "nothing to play\n");
        audio_shutdown();  // waits for the stopped notification to be handled
        ASSERT_FALSE(play_button->test_flag(Widget::second_face)) << "press " << i;
    }
}

TEST_F(PlayerScreenTest, without_a_stopped_handler_the_face_follows_the_request) {
    testing::internal::CaptureStdout();
    toggle_playback();
    testing::internal::GetCapturedStdout();
    audio_shutdown();
    EXPECT_TRUE(play_button->test_flag(Widget::second_face));
}

TEST_F(PlayerScreenTest, seeking_while_nothing_plays_only_moves_the_knob) {
    position_scale->on_mouse(53, 5, true);
    float chosen = position_scale->drag_value();
    EXPECT_GT(chosen, 0.4f);
    on_seek();
    EXPECT_FLOAT_EQ(position_scale->get_value(), chosen);
    EXPECT_FLOAT_EQ(position_fraction(), 0.0f);
}

TEST_F(PlayerScreenTest, intro_hands_over_to_the_player_screen_at_frame_1111) {
    start_intro();
    render_frames(0, 1111);
    Uint32* pixels = static_cast<Uint32*>(canvas.surface->pixels);
    for (int i = 0; i < 640 * 400; ++i) ASSERT_EQ(pixels[i], 0u) << "frame 1110 is not black at " << i;
    EXPECT_TRUE(effect_list.empty());
    render_frames(1111, 1);
    Uint32* background_pixels = static_cast<Uint32*>(background->picture().surface->pixels);
    EXPECT_EQ(pixels[0], background_pixels[0]);
    EXPECT_EQ(pixels[639 + 399 * 640], background_pixels[639 + 399 * 640]);
}

TEST_F(PlayerScreenTest, intro_pictures_have_their_names_places_and_schedules) {
    const struct {
        const char* picture;
        int x, y;
        int start_ms, length_ms, fade_in_ms, fade_out_ms;
        int start, length, fade_in, fade_out;  // in frames at 30 a second
    } rows[intro_row_count] = {
        {"res/intro-1.png", 225, 129, 4500, 5000, 800, 500, 135, 150, 24, 15},
        {"res/intro-2.png", 206, 129, 9500, 5000, 800, 500, 285, 150, 24, 15},
        {"res/intro-3.png", 154, 27, 14500, 7000, 800, 500, 435, 210, 24, 15},
        {"res/intro-4.png", 247, 143, 22000, 5000, 800, 500, 660, 150, 24, 15},
        {"res/intro-5.png", 64, 100, 29500, 7500, 1000, 0, 885, 225, 30, 1},
        {"res/intro-6.png", 0, 89, 34000, 3000, 3000, 0, 1020, 90, 90, 1},
    };
    start_intro();
    // The star burst, the six pictures, the canvas fade-in.
    ASSERT_EQ(effect_list.size(), 8u);
    auto effect = std::next(effect_list.begin());
    for (int i = 0; i < intro_row_count; ++i, ++effect) {
        const auto& row = rows[i];
        SCOPED_TRACE(row.picture);
        const IntroRow& entry = intro_table[i];
        EXPECT_STREQ(entry.picture, row.picture);
        EXPECT_EQ(std::vector<int>({entry.x, entry.y, entry.start_ms, entry.length_ms,
                                    entry.fade_in_ms, entry.fade_out_ms}),
                  std::vector<int>({row.x, row.y, row.start_ms, row.length_ms, row.fade_in_ms,
                                    row.fade_out_ms}));

        auto* shown = dynamic_cast<BlendEffect3*>(effect->get());
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(std::vector<int>({shown->picture.rect.x, shown->picture.rect.y, -shown->frame,
                                    shown->length, shown->fade_in, shown->fade_out}),
                  std::vector<int>({row.x, row.y, row.start, row.length, row.fade_in, row.fade_out}));
        // The very picture of that name, pixel for pixel.
        SDL_Surface* expected = load_image(row.picture);
        SDL_Surface* got = shown->picture.picture().surface;
        ASSERT_NE(expected, nullptr);
        ASSERT_NE(got, nullptr);
        ASSERT_EQ(std::vector<int>({got->w, got->h}), std::vector<int>({expected->w, expected->h}));
        for (int y = 0; y < got->h; ++y)
            ASSERT_EQ(std::memcmp(static_cast<Uint8*>(got->pixels) + y * got->pitch,
                                  static_cast<Uint8*>(expected->pixels) + y * expected->pitch,
                                  static_cast<std::size_t>(got->w) * 4),
                      0)
                << "row " << y;
        SDL_FreeSurface(expected);
    }
}

TEST_F(PlayerScreenTest, window_shows_every_presented_frame_exactly_though_only_changes_are_sent) {
    // The window keeps what earlier presentations sent; each one converts
    // only what was drawn since. Any drawing that escapes the record would
    // leave a stale pixel here, in the intro, the player screen, an info box
    // cross-fade, a hovered and pressed button or the quit fade.
    SDL_Surface* window = SDL_SetVideoMode(640, 400, 32, SDL_NOFRAME);
    ASSERT_NE(window, nullptr);
    screen.set_surface(window);
    SDL_Surface* expected = SDL_CreateRGBSurface(0, 640, 400, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(expected, nullptr);
    start_intro();
    std::srand(17);
    Uint32 frame = 0;
    while (frame < 1500) {
        // Now and then a main thread that falls far behind: many renders
        // between two presentations.
        int renders = frame > 1320 && frame < 1330 ? 40 : 1 + std::rand() % 3;
        for (; renders > 0; --renders, ++frame) {
            frame_counter.store(frame);
            if (frame == 1200) {
                TrackInfo info;
                info.artist = "Someone";
                info.title = "Something new";
                show_track_info(info);
            }
            if (frame >= 1250 && frame < 1300) {
                // The pointer over the controls, pressing now and then.
                ScreenLock lock;
                pointer_dispatch(widget_list, 260 + static_cast<int>(frame % 50) * 2, 50, frame % 7 == 0);
            }
            if (frame == 1400) {
                ScreenLock lock;
                begin_quit();
            }
            for (Uint8& level : spectrum_display->levels) level = static_cast<Uint8>(std::rand());
            render_frame();
        }
        present_frame();
        ASSERT_EQ(show_over_black(canvas.surface, expected), 0);
        for (int y = 0; y < 400; ++y)
            ASSERT_EQ(std::memcmp(static_cast<Uint8*>(window->pixels) + y * window->pitch,
                                  static_cast<Uint8*>(expected->pixels) + y * expected->pitch, 640 * 4),
                      0)
                << "row " << y << " is stale after frame " << frame - 1;
    }
    SDL_FreeSurface(expected);
}

int fired[4];
template <int I>
void count_firing() {
    ++fired[I];
}

SDL_Event button_event(Uint8 type, int x, int y) {
    SDL_Event event{};
    event.type = type;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.x = static_cast<Uint16>(x);
    event.button.y = static_cast<Uint16>(y);
    return event;
}

TEST_F(PlayerScreenTest, every_control_answers_over_its_whole_enlarged_area) {
    struct Control {
        Widget* widget;
        void (*action)();
        int* count;
    } controls[] = {
        {play_button, count_firing<0>, &fired[0]},
        {next_button, count_firing<1>, &fired[1]},
        {previous_button, count_firing<2>, &fired[2]},
        {position_scale, count_firing<3>, &fired[3]},
    };
    for (const Control& c : controls) c.widget->action.store(c.action);
    frame_counter.store(2000);  // past the intro: presses count
    for (int zoom = 1; zoom <= 3; ++zoom) {
        // Only the window's size tells presentation and input the zoom.
        SDL_Surface* window = SDL_CreateRGBSurface(0, 640 * zoom, 400 * zoom, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        screen.set_surface(window);  // adopted: the test frees it
        for (const Control& c : controls) {
            const SDL_Rect& r = c.widget->rect;
            SCOPED_TRACE(testing::Message() << "zoom " << zoom << ", control at " << r.x << "," << r.y);
            // The first pixel inside (the hit test leaves out the left
            // column and the top row) and the last, enlarged.
            const int left = (r.x + 1) * zoom, top = (r.y + 1) * zoom;
            const int right = (r.x + r.w) * zoom - 1, bottom = (r.y + r.h) * zoom - 1;
            const int before = *c.count;
            EXPECT_TRUE(dispatch_event(button_event(SDL_MOUSEBUTTONDOWN, left, top)));
            EXPECT_TRUE(c.widget->test_flag(Widget::pressed));
            dispatch_event(button_event(SDL_MOUSEBUTTONUP, right, bottom));
            EXPECT_FALSE(c.widget->test_flag(Widget::pressed));
            EXPECT_EQ(*c.count, before + 1);
            // The last window pixel of the left column's block: still outside.
            dispatch_event(button_event(SDL_MOUSEBUTTONUP, left - 1, bottom));
            EXPECT_EQ(*c.count, before + 1);
        }
        // The scale's knob lands where the same press lands at size 1: 53
        // pixels in, half way along (a knob of 8 on a scale of 106).
        const SDL_Rect& scale = position_scale->rect;
        dispatch_event(button_event(SDL_MOUSEBUTTONDOWN, (scale.x + 53) * zoom + zoom - 1, (scale.y + 5) * zoom));
        EXPECT_FLOAT_EQ(position_scale->drag_value(), 0.5f) << "zoom " << zoom;
        dispatch_event(button_event(SDL_MOUSEBUTTONDOWN, (scale.x + 4) * zoom, (scale.y + 5) * zoom));
        EXPECT_FLOAT_EQ(position_scale->drag_value(), 0.0f) << "zoom " << zoom;
        screen.surface = nullptr;
        SDL_FreeSurface(window);
    }
}

TEST_F(PlayerScreenWithoutData, player_screen_runs_without_any_picture) {
    EXPECT_NE(printed.find("can't load: \"data\""), std::string::npos);
    EXPECT_EQ(widget_list.size(), 8u);
    start_intro();
    TrackInfo info;
    info.title = "no font";
    show_track_info(info);
    render_frames(0, 1300);  // through the intro and well into the player phase
    EXPECT_TRUE(in_player_phase());
}

}  // namespace
