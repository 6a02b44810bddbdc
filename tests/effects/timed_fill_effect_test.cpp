#include "effects/timed_fill_effect.h"

#include <gtest/gtest.h>

#include "effect_test_support.h"

TEST(TimedFillEffect, quit_black_out_starts_on_frame_nine_and_runs_until_its_end) {
    Graphics canvas;
    canvas.create_surface(6, 3);
    TimedFillEffect black(canvas, 9, 1800, 0, 0, 0);
    int frames = 0;
    int first_fill = -1;
    int fills = 0;
    bool running = true;
    while (running && frames < 5000) {
        canvas.clear();
        running = run_frame(black);
        if (count_pixels_not(canvas, 0xFF000000) == 0) {
            if (first_fill < 0)
                first_fill = frames;
            ++fills;
        } else {
            EXPECT_EQ(count_pixels_not(canvas, 0), 0) << "partial fill on frame " << frames;
        }
        ++frames;
    }
    EXPECT_EQ(first_fill, 9);
    EXPECT_EQ(fills, 1800);      // every frame from 9 on, the last one included
    EXPECT_EQ(frames, 9 + 1800);  // retired after the frame its counter reaches end
}

TEST(TimedFillEffect, fill_is_opaque_in_the_given_colour_over_the_target_rect_only) {
    Graphics canvas;
    canvas.create_surface(6, 3);
    canvas.set_rect(2, 1, 3, 1);
    TimedFillEffect fill(canvas, 0, 2, 0x12, 0x34, 0x56);
    EXPECT_TRUE(run_frame(fill));
    EXPECT_EQ(pixel_at(canvas, 2, 1), 0xFF123456u);
    EXPECT_EQ(pixel_at(canvas, 4, 1), 0xFF123456u);
    EXPECT_EQ(pixel_at(canvas, 1, 1), 0u);
    EXPECT_EQ(pixel_at(canvas, 5, 1), 0u);
    EXPECT_EQ(pixel_at(canvas, 2, 0), 0u);
    EXPECT_FALSE(run_frame(fill));
}

TEST(TimedFillEffect, end_of_zero_or_less_never_fills_and_retires_at_once) {
    for (int end : {0, -3}) {
        Graphics canvas;
        canvas.create_surface(4, 4);
        TimedFillEffect fill(canvas, -5, end, 255, 255, 255);  // already "past" its delay
        EXPECT_FALSE(run_frame(fill)) << "end " << end;
        EXPECT_EQ(count_pixels_not(canvas, 0), 0) << "end " << end;
    }
}
