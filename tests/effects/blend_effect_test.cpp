#include "effects/blend_effect.h"

#include <gtest/gtest.h>

#include <cmath>

#include "effect_test_support.h"

namespace {

// Scaling an opaque pixel by factor b leaves alpha 255 * b / 256: b - 1 for
// b in 1..254, 0 for 0, and 255 for 255 (the factor that changes nothing).
int alpha_after_factor(int b) { return b == 255 ? 255 : (255 * b) >> 8; }

// Runs effect over a canvas made opaque again before every frame (the intro
// clears the canvas each frame too) and returns the alpha left after each draw.
std::vector<int> alphas_per_frame(Graphics& canvas, Effect& effect, int frames_at_most,
                                  int* frames_drawn) {
    std::vector<int> alphas;
    *frames_drawn = 0;
    for (int i = 0; i < frames_at_most; ++i) {
        canvas.fill(255, 255, 255);
        const bool running = run_frame(effect);
        ++*frames_drawn;
        alphas.push_back(alpha_at(canvas, 3, 2));
        if (!running)
            break;
    }
    return alphas;
}

}  // namespace

TEST(BlendEffect, quit_fade_out_draws_nine_frames_from_full_down_to_one_ninth) {
    Graphics canvas;
    canvas.create_surface(8, 4);
    BlendEffect fade(canvas, 0, 9, false);
    int drawn = 0;
    std::vector<int> alphas = alphas_per_frame(canvas, fade, 50, &drawn);
    ASSERT_EQ(drawn, 9);
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(alphas[k], alpha_after_factor((9 - k) * 255 / 9)) << "frame " << k;
    EXPECT_EQ(alphas[0], 255);  // the first frame is unfaded
    EXPECT_EQ(alphas[8], 27);   // 1/9: factor 28
}

TEST(BlendEffect, intro_fade_in_follows_float_steps_of_one_sixtieth) {
    Graphics canvas;
    canvas.create_surface(8, 4);
    BlendEffect fade(canvas, 0, 60, true);
    int drawn = 0;
    std::vector<int> alphas = alphas_per_frame(canvas, fade, 200, &drawn);
    ASSERT_EQ(drawn, 60);
    // The accumulated float step falls just short of k/60 on these frames,
    // and the truncated factor with it: 186, 203, 220, 237 instead of 187...
    const std::vector<std::pair<int, int>> short_frames = {{44, 186}, {48, 203}, {52, 220},
                                                           {56, 237}};
    for (int k = 0; k < 60; ++k) {
        int factor = k * 255 / 60;
        for (auto [frame, value] : short_frames)
            if (frame == k)
                factor = value;
        EXPECT_EQ(alphas[k], alpha_after_factor(factor)) << "frame " << k;
    }
    EXPECT_EQ(alphas[0], 0);  // fully black on the first frame
}

TEST(BlendEffect, delay_leaves_the_target_alone_until_it_has_passed) {
    Graphics canvas;
    canvas.create_surface(8, 4);
    BlendEffect fade(canvas, 5, 4, false);  // quarters: exact in float
    int drawn = 0;
    std::vector<int> alphas = alphas_per_frame(canvas, fade, 50, &drawn);
    ASSERT_EQ(drawn, 9);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(alphas[k], 255) << "frame " << k;
    EXPECT_EQ(alphas[5], 255);                      // opacity 1
    EXPECT_EQ(alphas[6], alpha_after_factor(191));  // 3/4
    EXPECT_EQ(alphas[7], alpha_after_factor(127));  // 1/2
    EXPECT_EQ(alphas[8], alpha_after_factor(63));   // 1/4
}

TEST(BlendEffect, zero_or_negative_length_retires_after_one_draw_without_nan) {
    for (int length : {0, -4}) {
        Graphics canvas;
        canvas.create_surface(8, 4);
        BlendEffect fade(canvas, 0, length, true);
        int drawn = 0;
        std::vector<int> alphas = alphas_per_frame(canvas, fade, 10, &drawn);
        EXPECT_EQ(drawn, 1) << "length " << length;
        EXPECT_EQ(alphas[0], 0) << "length " << length;
        EXPECT_FALSE(std::isnan(fade.opacity));
        EXPECT_FALSE(std::isnan(fade.step));
    }
}

TEST(BlendEffect, fades_carried_past_their_end_by_skipped_frames_are_limited) {
    Graphics canvas;
    canvas.create_surface(8, 4);
    BlendEffect fade_in(canvas, 0, 9, true);
    BlendEffect fade_out(canvas, 0, 9, false);
    for (int i = 0; i < 20; ++i) {
        fade_in.advance();
        fade_out.advance();
    }
    ASSERT_GT(fade_in.opacity, 1.0f);
    ASSERT_LT(fade_out.opacity, 0.0f);

    canvas.fill(10, 20, 30);
    EXPECT_FALSE(fade_in.draw());
    EXPECT_EQ(count_pixels_not(canvas, 0xFF0A141E), 0);  // overshoot: unchanged

    EXPECT_FALSE(fade_out.draw());
    EXPECT_EQ(count_pixels_not(canvas, 0x000A141E), 0);  // undershoot: transparent, colour kept
}

TEST(BlendEffect, empty_target_is_stepped_without_drawing) {
    Graphics empty;
    BlendEffect fade(empty, 0, 2, true);
    EXPECT_TRUE(run_frame(fade));
    EXPECT_FALSE(run_frame(fade));
    EXPECT_EQ(empty.surface, nullptr);
}
