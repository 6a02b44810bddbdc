#include "app/frame_loop.h"
#include "app/player_screen.h"
#include "gfx/damage.h"
#include "widgets/image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// Records every advance and draw; retires itself after a set number of draws.
struct CountingEffect : Effect {
    explicit CountingEffect(int draws_until_done, std::vector<char>* log = nullptr, char id = 0)
        : remaining(draws_until_done), log(log), id(id) {}
    bool draw() override {
        ++draws;
        if (log) log->push_back(id);
        return --remaining > 0;
    }
    void advance() override { ++advances; }
    int remaining;
    int draws = 0;
    int advances = 0;
    std::vector<char>* log;
    char id;
};

Uint32 canvas_pixel(int x, int y) {
    return static_cast<Uint32*>(canvas.surface->pixels)[y * 640 + x];
}

class FrameLoopTest : public testing::Test {
protected:
    void SetUp() override {
        canvas.create_surface(640, 400);
        frame_counter.store(0);
    }
};

TEST(FramePace, short_frames_wait_for_the_rest_of_the_period) {
    EXPECT_EQ(frame_pace(1000, 1010).delay_ms, 23u);
    EXPECT_EQ(frame_pace(1000, 1010).extra_frames, 0u);
    EXPECT_EQ(frame_pace(1000, 1032).delay_ms, 1u);
    EXPECT_EQ(frame_pace(1000, 1000).delay_ms, 33u);
}

TEST(FramePace, long_frames_count_missed_frames_without_waiting) {
    EXPECT_EQ(frame_pace(0, 33).extra_frames, 1u);
    EXPECT_EQ(frame_pace(0, 33).delay_ms, 0u);
    EXPECT_EQ(frame_pace(0, 65).extra_frames, 1u);
    EXPECT_EQ(frame_pace(0, 66).extra_frames, 2u);
    EXPECT_EQ(frame_pace(0, 100).extra_frames, 3u);
}

TEST(FramePace, tick_counter_wrap_is_a_short_frame_not_a_huge_wait) {
    FramePace pace = frame_pace(0xFFFFFFF0u, 0x0000000Au);
    EXPECT_EQ(pace.delay_ms, 7u);  // 26 ms elapsed
    EXPECT_EQ(pace.extra_frames, 0u);
}

TEST_F(FrameLoopTest, intro_frames_clear_the_canvas_up_to_1110) {
    canvas.fill(255, 0, 0);
    frame_counter.store(1110);
    render_frame();
    EXPECT_EQ(canvas_pixel(10, 10), 0u);
    EXPECT_FALSE(in_player_phase());
}

TEST_F(FrameLoopTest, frame_1111_draws_the_whole_player_screen) {
    Graphics picture;
    picture.create_surface(640, 400);
    picture.fill(0, 0, 200);
    background = new Image();
    background->set_image(picture.surface);
    canvas.clear();
    frame_counter.store(1111);
    render_frame();
    EXPECT_TRUE(in_player_phase());
    EXPECT_EQ(canvas_pixel(0, 0), 0xFF0000C8u);
    EXPECT_EQ(canvas_pixel(639, 399), 0xFF0000C8u);
    delete background;
    background = nullptr;
}

TEST_F(FrameLoopTest, player_phase_survives_the_frame_counter_wrapping) {
    frame_counter.store(0xFFFFFFF0u);
    for (int i = 0; i < 40; ++i) {
        canvas.fill(1, 2, 3);
        render_frame();
        ASSERT_TRUE(in_player_phase()) << "frame " << frame_counter.load();
        ASSERT_NE(canvas_pixel(5, 5), 0u) << "an intro frame cleared the canvas";
        frame_counter.fetch_add(1);
    }
    EXPECT_LT(frame_counter.load(), 1110u);
}

TEST_F(FrameLoopTest, effects_run_in_list_order_and_retire_after_their_last_draw) {
    std::vector<char> log;
    auto* second = new CountingEffect(2, &log, 'b');
    effect_list.emplace_back(new CountingEffect(1, &log, 'a'));
    effect_list.emplace_back(second);
    {
        dlib::auto_mutex guard(effect_lock);
        run_effects();
    }
    EXPECT_EQ(effect_list.size(), 1u);  // the first was drawn once, then deleted
    EXPECT_EQ(effect_list.front().get(), second);
    {
        dlib::auto_mutex guard(effect_lock);
        run_effects();
    }
    EXPECT_TRUE(effect_list.empty());
    EXPECT_EQ(log, (std::vector<char>{'a', 'b', 'b'}));
}

TEST_F(FrameLoopTest, catch_up_advances_every_effect_without_drawing) {
    auto* effect = new CountingEffect(1);
    effect_list.emplace_back(effect);
    skip_frames(3);
    EXPECT_EQ(frame_counter.load(), 3u);
    EXPECT_EQ(effect->advances, 3);
    EXPECT_EQ(effect->draws, 0);
    ASSERT_EQ(effect_list.size(), 1u);  // an effect ending in catch-up waits for a drawn frame
    {
        dlib::auto_mutex guard(effect_lock);
        run_effects();
    }
    EXPECT_TRUE(effect_list.empty());
}

TEST_F(FrameLoopTest, add_widget_refuses_a_widget_it_already_holds) {
    Image a, b;
    add_widget(&a);
    add_widget(&b);
    add_widget(&a);
    EXPECT_EQ(widget_list, (std::vector<Widget*>{&a, &b}));
    widget_list.clear();
}

class PresentTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SDL_Surface* window = SDL_SetVideoMode(640, 400, 32, SDL_NOFRAME);
        ASSERT_NE(window, nullptr);
        screen.set_surface(window);
        canvas.create_surface(640, 400);
    }
    void TearDown() override { SDL_Quit(); }
};

int queued_user_events() {
    SDL_Event events[16];
    SDL_PumpEvents();
    return SDL_PeepEvents(events, 16, SDL_PEEKEVENT, SDL_EVENTMASK(SDL_USEREVENT));
}

TEST_F(PresentTest, canvas_is_blended_over_black) {
    canvas.clear();
    SDL_Rect pixel{3, 4, 1, 1};
    SDL_FillRect(canvas.surface, &pixel, 0xFFFF0000);
    SDL_Rect half{5, 4, 1, 1};
    SDL_FillRect(canvas.surface, &half, 0x80FFFFFF);
    screen.fill(9, 9, 9);
    present_frame();
    SDL_PixelFormat* f = screen.surface->format;
    auto at = [&](int x, int y) {
        Uint32 v = static_cast<Uint32*>(screen.surface->pixels)[y * (screen.surface->pitch / 4) + x];
        Uint8 r, g, b;
        SDL_GetRGB(v, f, &r, &g, &b);
        return std::vector<int>{r, g, b};
    };
    EXPECT_EQ(at(3, 4), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(0, 0), (std::vector<int>{0, 0, 0}));  // transparent shows black
    std::vector<int> grey = at(5, 4);
    EXPECT_NEAR(grey[0], 128, 2);
}

// What SDL's own blend of the canvas over a black window shows, in RGB.
std::vector<Uint32> shown_rgb(SDL_Surface* s) {
    std::vector<Uint32> out;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x) {
            Uint8 r, g, b;
            SDL_GetRGB(static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x], s->format, &r, &g, &b);
            out.push_back(static_cast<Uint32>(r) << 16 | g << 8 | b);
        }
    return out;
}

std::vector<Uint32> sdl_blend_over_black() {
    SDL_Surface* reference = SDL_CreateRGBSurface(0, 640, 400, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(reference, nullptr, 0);
    SDL_UpperBlit(canvas.surface, nullptr, reference, nullptr);
    std::vector<Uint32> out = shown_rgb(reference);
    SDL_FreeSurface(reference);
    return out;
}

TEST_F(PresentTest, first_frame_into_a_window_shows_the_whole_canvas_as_sdl_blends_it) {
    std::srand(3);
    Uint32* pixels = static_cast<Uint32*>(canvas.surface->pixels);
    for (int i = 0; i < 640 * 400; ++i)
        pixels[i] = (i / 640 % 3 == 0 ? std::rand() & 0xFF : 255u) << 24 | (std::rand() & 0xFFFFFF);
    screen.fill(9, 9, 9);
    for (Uint32 frame : {100u, 2000u}) {  // intro and player phase alike
        frame_counter.store(frame);
        present_frame();
        EXPECT_EQ(shown_rgb(screen.surface), sdl_blend_over_black()) << "frame " << frame;
        EXPECT_TRUE(canvas.surface->flags & SDL_SRCALPHA);  // still drawn with alpha
    }
}

TEST_F(PresentTest, later_frames_send_only_what_was_drawn_and_show_it_exactly) {
    canvas.fill(10, 20, 30);
    present_frame();
    screen.fill(9, 9, 9);  // stands for anything drawn into the window behind our back
    Graphics dot;
    dot.create_surface(3, 2);
    dot.fill(200, 100, 50, 128);
    SDL_Rect at{100, 200, 0, 0};
    canvas.blit(dot, nullptr, &at);
    present_frame();
    auto pixel = [&](int x, int y) {
        Uint8 r, g, b;
        SDL_GetRGB(static_cast<Uint32*>(screen.surface->pixels)[y * (screen.surface->pitch / 4) + x],
                   screen.surface->format, &r, &g, &b);
        return static_cast<Uint32>(r) << 16 | g << 8 | b;
    };
    std::vector<Uint32> expected = sdl_blend_over_black();
    for (int y = 200; y < 202; ++y)
        for (int x = 100; x < 103; ++x) EXPECT_EQ(pixel(x, y), expected[y * 640 + x]);
    EXPECT_EQ(pixel(99, 200), 0x090909u);  // not drawn: not sent again
    EXPECT_EQ(pixel(0, 0), 0x090909u);
    // Nothing drawn: nothing presented at all.
    screen.fill(1, 1, 1);
    present_frame();
    EXPECT_EQ(pixel(100, 200), 0x010101u);
}

TEST_F(PresentTest, a_canvas_fading_out_is_presented_whole) {
    canvas.fill(200, 200, 200);
    present_frame();
    canvas.scale_alpha(0.5f);
    present_frame();
    EXPECT_EQ(shown_rgb(screen.surface), sdl_blend_over_black());
}

// The same drawing presented into a window at the given zoom: the window's
// colours after each presentation. The window is a plain surface (present_frame
// only writes screen.surface, and SDL's update of a surface that is not the
// video surface does nothing), so windows of every zoom and pixel format can
// live side by side.
std::vector<std::vector<Uint32>> present_drawing(SDL_Surface* window) {
    screen.surface = nullptr;  // adopted: the window is the test's to free
    screen.set_surface(window);
    std::vector<std::vector<Uint32>> shown;
    auto capture = [&] {
        std::vector<Uint32> colours;
        for (int y = 0; y < window->h; ++y)
            for (int x = 0; x < window->w; ++x) {
                Uint8 r, g, b;
                SDL_GetRGB(static_cast<Uint32*>(window->pixels)[y * (window->pitch / 4) + x], window->format, &r, &g, &b);
                colours.push_back(static_cast<Uint32>(r) << 16 | g << 8 | b);
            }
        shown.push_back(std::move(colours));
    };
    // The first presentation into a window: everything, of varied opacity.
    std::srand(5);
    Uint32* pixels = static_cast<Uint32*>(canvas.surface->pixels);
    for (int i = 0; i < 640 * 400; ++i) pixels[i] = (std::rand() & 0xFF) << 24 | (std::rand() & 0xFFFFFF);
    present_frame();
    capture();
    // A partial update: a translucent blit, an opaque one cut off at the
    // corner and three single pixels. The window is painted over first:
    // what is not sent again must keep that paint.
    SDL_FillRect(window, nullptr, SDL_MapRGB(window->format, 9, 9, 9));
    Graphics dot, block;
    dot.create_surface(3, 2);
    dot.fill(200, 100, 50, 128);
    block.create_surface(20, 10);
    block.fill(10, 250, 30);
    SDL_Rect at{100, 200, 0, 0}, corner{630, 395, 0, 0};
    canvas.blit(dot, nullptr, &at);
    canvas.blit(block, nullptr, &corner);
    for (Uint32 index : {5u * 640 + 7, 300u * 640 + 321, 640u * 400 - 1}) {
        pixels[index] = 0xC0FFFFFF;
        canvas.damage->add_pixel(index);
    }
    present_frame();
    capture();
    // Nothing drawn, nothing sent.
    SDL_FillRect(window, nullptr, SDL_MapRGB(window->format, 1, 1, 1));
    present_frame();
    capture();
    // The quit fade: the whole canvas.
    canvas.scale_alpha(0.5f);
    present_frame();
    capture();
    return shown;
}

TEST_F(PresentTest, a_zoomed_window_shows_each_pixel_of_the_unzoomed_one_as_a_block) {
    // The standard format, and one the program's own pass cannot write
    // (SDL's blend then draws, at a zoom into a picture that is enlarged).
    // All windows live to the end: a new one at a freed one's address
    // would pass for the window presented before.
    const Uint32 masks[2][2] = {{0xFF0000, 0xFF}, {0xFF, 0xFF0000}};
    SDL_Surface* windows[2][3];
    for (int format = 0; format < 2; ++format)
        for (int zoom = 1; zoom <= 3; ++zoom)
            windows[format][zoom - 1] = SDL_CreateRGBSurface(0, 640 * zoom, 400 * zoom, 32, masks[format][0], 0xFF00,
                                                             masks[format][1], 0);
    for (int format = 0; format < 2; ++format) {
        const std::vector<std::vector<Uint32>> unzoomed = present_drawing(windows[format][0]);
        EXPECT_EQ(window_zoom(), 1);
        if (format == 0) {
            EXPECT_EQ(unzoomed[1][0], 0x090909u);  // where nothing was sent, the paint shows
        }
        for (int zoom = 2; zoom <= 3; ++zoom) {
            const std::vector<std::vector<Uint32>> zoomed = present_drawing(windows[format][zoom - 1]);
            EXPECT_EQ(window_zoom(), zoom);
            for (std::size_t step = 0; step < zoomed.size(); ++step)
                for (int y = 0; y < 400 * zoom; ++y)
                    for (int x = 0; x < 640 * zoom; ++x)
                        ASSERT_EQ(zoomed[step][y * 640 * zoom + x], unzoomed[step][y / zoom * 640 + x / zoom])
                            << "zoom " << zoom << ", format " << format << ", presentation " << step << ", at " << x
                            << "," << y;
        }
    }
    screen.surface = nullptr;
    for (auto& format : windows)
        for (SDL_Surface* window : format) SDL_FreeSurface(window);
}

TEST_F(PresentTest, at_most_one_frame_ready_event_waits_in_the_queue) {
    for (int i = 0; i < 200; ++i) push_frame_ready();
    EXPECT_EQ(queued_user_events(), 1);
    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    present_frame();
    push_frame_ready();
    EXPECT_EQ(queued_user_events(), 1);
}

TEST_F(PresentTest, frame_thread_renders_until_asked_to_stop_and_is_joined) {
    canvas.fill(255, 0, 0);
    ASSERT_TRUE(start_frame_thread());
    while (frame_counter.load() < 3) SDL_Delay(5);
    stop_frame_thread();
    Uint32 stopped_at = frame_counter.load();
    EXPECT_EQ(canvas_pixel(0, 0), 0u);  // intro frames cleared the canvas
    SDL_Delay(80);
    EXPECT_EQ(frame_counter.load(), stopped_at);
    stop_frame_thread();  // a second stop is harmless
}

}  // namespace
