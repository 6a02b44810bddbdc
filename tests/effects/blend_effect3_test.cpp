#include "effects/blend_effect3.h"

#include <gtest/gtest.h>

#include "effect_test_support.h"

namespace {

// An opaque white 4 x 4 picture at (10, 10) on a cleared 32 x 32 canvas:
// every drawn frame leaves the picture's 8-bit opacity in the red channel
// under it, and 0 there when it is not drawn.
struct Stage {
    Stage() {
        canvas.create_surface(32, 32);
        sprite = SDL_CreateRGBSurface(SDL_SRCALPHA, 4, 4, 32, standard_red_mask,
                                      standard_green_mask, standard_blue_mask, standard_alpha_mask);
        fill_whole(sprite, 0xFFFFFFFF);
    }
    ~Stage() { SDL_FreeSurface(sprite); }

    static void fill_whole(SDL_Surface* s, Uint32 value) { SDL_FillRect(s, nullptr, value); }

    // Runs the effect to its end; returns the opacity seen on each frame.
    std::vector<int> run(BlendEffect3& effect, int frames_at_most = 2000) {
        std::vector<int> seen;
        bool running = true;
        while (running && static_cast<int>(seen.size()) < frames_at_most) {
            canvas.clear();
            running = run_frame(effect);
            seen.push_back(red_at(canvas, 11, 11));
            EXPECT_EQ(pixel_at(canvas, 9, 11), 0u) << "drawn outside its place";
            EXPECT_EQ(pixel_at(canvas, 14, 13), 0u) << "drawn outside its place";
        }
        return seen;
    }

    Graphics canvas;
    SDL_Surface* sprite;
};

void show(BlendEffect3& effect, Stage& stage) {
    effect.picture.set_image(stage.sprite);
    effect.picture.set_position(10, 10);
}

}  // namespace

TEST(BlendEffect3, milliseconds_become_frames_at_thirty_per_second_truncated) {
    Graphics canvas;
    struct Row { int start, length, fade_in, fade_out; int frames[4]; };
    const Row rows[] = {
        {4500, 5000, 800, 500, {135, 150, 24, 15}},
        {14500, 7000, 800, 500, {435, 210, 24, 15}},
        {29500, 7500, 1000, 0, {885, 225, 30, 1}},
        {34000, 3000, 3000, 0, {1020, 90, 90, 1}},
        {33, 66, 34, 33, {0, 1, 1, 1}},   // 0.99 and 1.98 frames truncate; short fades last one
        {100000000, 1000, 100, 100, {3000000, 30, 3, 3}},  // 28 hours: no overflow
    };
    for (const Row& r : rows) {
        BlendEffect3 e(canvas, r.start, r.length, r.fade_in, r.fade_out);
        EXPECT_EQ(e.frame, -r.frames[0]) << "start " << r.start;
        EXPECT_EQ(e.length, r.frames[1]) << "start " << r.start;
        EXPECT_EQ(e.fade_in, r.frames[2]) << "start " << r.start;
        EXPECT_EQ(e.fade_out, r.frames[3]) << "start " << r.start;
        EXPECT_EQ(e.opacity, 0.0f);
        EXPECT_EQ(e.step, 0.0f);
    }
}

TEST(BlendEffect3, first_intro_picture_fades_in_holds_and_fades_out_on_its_frames) {
    Stage stage;
    BlendEffect3 effect(stage.canvas, 4500, 5000, 800, 500);
    show(effect, stage);
    std::vector<int> seen = stage.run(effect);
    ASSERT_EQ(seen.size(), 285u);  // drawn for the last time on frame 284
    for (int f = 0; f <= 135; ++f)
        EXPECT_EQ(seen[f], 0) << "frame " << f;
    for (int f = 136; f <= 159; ++f)
        EXPECT_TRUE(near_fraction(seen[f], f - 135, 24)) << "frame " << f << ": " << seen[f];
    EXPECT_EQ(seen[136], 10);  // first visible: 1/24
    for (int f = 159; f <= 270; ++f)
        EXPECT_EQ(seen[f], 255) << "frame " << f;
    for (int f = 271; f <= 284; ++f)
        EXPECT_TRUE(near_fraction(seen[f], 285 - f, 15)) << "frame " << f << ": " << seen[f];
    EXPECT_EQ(seen[271], 238);  // 14/15
    EXPECT_EQ(seen[284], 17);   // 1/15
}

TEST(BlendEffect3, zero_fade_out_keeps_full_opacity_through_the_last_draw) {
    Stage stage;
    BlendEffect3 effect(stage.canvas, 0, 1000, 100, 0);  // 30 frames, 3 to fade in
    show(effect, stage);
    std::vector<int> seen = stage.run(effect);
    ASSERT_EQ(seen.size(), 30u);
    EXPECT_EQ(seen[0], 0);
    EXPECT_EQ(seen[1], 85);
    EXPECT_EQ(seen[2], 170);
    for (int f = 3; f < 30; ++f)
        EXPECT_EQ(seen[f], 255) << "frame " << f;
    EXPECT_LT(effect.opacity, 0.5f);  // the one-frame fade-out came after the last draw
}

TEST(BlendEffect3, fade_in_as_long_as_the_life_never_fades_out) {
    Stage stage;
    BlendEffect3 effect(stage.canvas, 0, 3000, 3000, 0);  // the last intro picture
    show(effect, stage);
    std::vector<int> seen = stage.run(effect);
    ASSERT_EQ(seen.size(), 90u);
    for (int f = 1; f < 90; ++f) {
        EXPECT_TRUE(near_fraction(seen[f], f, 90)) << "frame " << f << ": " << seen[f];
        EXPECT_GT(seen[f], seen[f - 1]) << "frame " << f;
    }
    EXPECT_EQ(seen[89], 252);  // still fading in when cut off
}

TEST(BlendEffect3, end_of_fade_in_wins_over_a_fade_out_starting_on_the_same_frame) {
    Stage stage;
    // 30 frames, 15 to fade in, and the fade-out would start at 30 - 15 = 15.
    BlendEffect3 effect(stage.canvas, 0, 1000, 500, 500);
    show(effect, stage);
    std::vector<int> seen = stage.run(effect);
    ASSERT_EQ(seen.size(), 30u);
    for (int f = 15; f < 30; ++f)
        EXPECT_EQ(seen[f], 255) << "frame " << f;
}

TEST(BlendEffect3, missing_picture_keeps_its_schedule_and_draws_nothing) {
    Stage stage;
    BlendEffect3 effect(stage.canvas, 100, 200, 100, 100);  // 3 + 6 frames
    effect.picture.set_image(nullptr);
    std::vector<int> seen = stage.run(effect);
    EXPECT_EQ(seen.size(), 9u);
    EXPECT_EQ(count_pixels_not(stage.canvas, 0), 0);
}

TEST(BlendEffect3, skipped_frames_keep_the_picture_on_the_frame_counter) {
    Stage stage;
    BlendEffect3 effect(stage.canvas, 4500, 5000, 800, 500);
    show(effect, stage);
    for (int i = 0; i < 140; ++i)
        effect.advance();  // a long stall at start-up
    std::vector<int> seen = stage.run(effect);
    ASSERT_EQ(seen.size(), 145u);   // frames 140 to 284
    EXPECT_TRUE(near_fraction(seen[0], 5, 24));  // frame 140
}
