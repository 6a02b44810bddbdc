#include "effects/blend_effect2.h"

#include <gtest/gtest.h>

#include <cmath>

#include "effect_test_support.h"
#include "widgets/image.h"

namespace {

// The info box: an Image whose picture holds the old track's text, here an
// opaque red field with a transparent column.
struct InfoBox {
    InfoBox() {
        box.create_picture(12, 5);
        box.picture().fill(255, 0, 0);
        SDL_Rect hole = {11, 0, 1, 5};
        SDL_FillRect(box.picture().surface, &hole, 0);
        box.set_flag(Widget::dirty, false);
    }
    Image box;
};

}  // namespace

TEST(BlendEffect2, starts_from_a_copy_of_the_target_and_a_blank_new_picture) {
    InfoBox info;
    BlendEffect2 fade(info.box.picture(), info.box, 30);
    EXPECT_TRUE(info.box.test_flag(Widget::dirty));
    ASSERT_NE(fade.old_picture.surface, nullptr);
    ASSERT_NE(fade.new_picture.surface, nullptr);
    EXPECT_EQ(fade.new_picture.surface->w, 12);
    EXPECT_EQ(fade.new_picture.surface->h, 5);
    EXPECT_EQ(fade.old_picture.surface->w, 12);
    EXPECT_EQ(fade.old_picture.surface->h, 5);
    EXPECT_EQ(pixel_at(fade.old_picture, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixel_at(fade.old_picture, 10, 4), 0xFFFF0000u);
    EXPECT_EQ(pixel_at(fade.old_picture, 11, 2), 0u);
    EXPECT_EQ(count_pixels_not(fade.new_picture, 0), 0);
    // The pictures are the effect's own, not the target's surface.
    EXPECT_NE(fade.old_picture.surface, info.box.picture().surface);
    EXPECT_NE(fade.new_picture.surface, info.box.picture().surface);
}

TEST(BlendEffect2, track_text_cross_fades_over_thirty_frames) {
    InfoBox info;
    BlendEffect2 fade(info.box.picture(), info.box, 30);
    fade.new_picture.fill(0, 0, 255);  // the new text

    int frames = 0;
    bool running = true;
    while (running && frames < 100) {
        info.box.set_flag(Widget::dirty, false);
        running = run_frame(fade);
        // On frame k the new picture shows with k/30 and the old with 1 - k/30.
        EXPECT_EQ(fade.new_picture.alpha, frames * 255 / 30) << "frame " << frames;
        EXPECT_TRUE(near_fraction(fade.old_picture.alpha, 30 - frames, 30)) << "frame " << frames;
        EXPECT_TRUE(info.box.test_flag(Widget::dirty)) << "frame " << frames;
        ++frames;
    }
    EXPECT_EQ(frames, 30);

    // No final full-strength frame: the box keeps the new text at 246 over a
    // ghost of the old at 8. Old red at 8 onto the cleared box gives red 8,
    // alpha 8; new blue at 246 over it gives red 8 - 7, blue 246, alpha 8 | 246.
    EXPECT_EQ(fade.old_picture.alpha, 8);
    EXPECT_EQ(fade.new_picture.alpha, 246);
    const Graphics& box = info.box.picture();
    EXPECT_EQ(alpha_at(box, 3, 3), 254);
    EXPECT_EQ(red_at(box, 3, 3), 1);
    EXPECT_EQ(green_at(box, 3, 3), 0);
    EXPECT_EQ(blue_at(box, 3, 3), 246);
    // Where the old picture was transparent only the new one shows.
    EXPECT_EQ(pixel_at(box, 11, 3), 0xF60000F6u);
}

TEST(BlendEffect2, first_frame_shows_the_old_content_alone) {
    InfoBox info;
    BlendEffect2 fade(info.box.picture(), info.box, 30);
    fade.new_picture.fill(0, 0, 255);
    run_frame(fade);
    EXPECT_EQ(pixel_at(info.box.picture(), 4, 2), 0xFFFF0000u);
    EXPECT_EQ(pixel_at(info.box.picture(), 11, 2), 0u);
}

TEST(BlendEffect2, zero_frames_retires_after_one_draw_without_nan) {
    InfoBox info;
    BlendEffect2 fade(info.box.picture(), info.box, 0);
    EXPECT_FALSE(run_frame(fade));
    EXPECT_FALSE(std::isnan(fade.mix));
    EXPECT_EQ(fade.old_picture.alpha, 255);
    EXPECT_EQ(fade.new_picture.alpha, 0);
}

TEST(BlendEffect2, empty_target_is_faded_without_touching_memory) {
    Image blank;
    BlendEffect2 fade(blank.picture(), blank, 2);
    EXPECT_EQ(fade.new_picture.surface, nullptr);
    EXPECT_EQ(fade.old_picture.surface, nullptr);
    EXPECT_TRUE(run_frame(fade));
    EXPECT_FALSE(run_frame(fade));
}
