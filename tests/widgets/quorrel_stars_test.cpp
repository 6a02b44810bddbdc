#include "widgets/quorrel_stars.h"

#include "widgets/surface_helpers.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const Uint32 sky = argb(0x50, 50, 60, 70);  // alpha bits shared with 199: OR is not a sum

class StarField : public ::testing::Test {
protected:
    void SetUp() override
    {
        background.create_surface(640, 400);
        Uint32* p = static_cast<Uint32*>(background.surface->pixels);
        for (int i = 0; i < 640 * 400; ++i)
            p[i] = sky;
        canvas.create_surface(640, 400);
    }

    // A star picture with one star pixel at (x, y).
    SurfacePtr one_star(int x, int y, Uint32 star)
    {
        SurfacePtr s = make_surface(640, 400);
        pixel_at(s.get(), x, y) = star;
        return s;
    }

    Graphics background;
    Graphics canvas;
    QuorrelStars stars;
};

}  // namespace

TEST(QuorrelStarsEnvelope, half_a_sine_over_150_ticks)
{
    QuorrelStars stars;
    const int start[] = {0, 5, 10, 16, 21, 26, 31, 37, 42, 47};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(stars.envelope[i], start[i]) << i;
    EXPECT_EQ(stars.envelope[75], 255);
    EXPECT_EQ(stars.envelope[76], 254);
    const int end[] = {26, 21, 16, 10, 5};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(stars.envelope[145 + i], end[i]) << 145 + i;
    EXPECT_EQ(stars.phase_a, 75u);
    EXPECT_EQ(stars.phase_b, 0u);
}

TEST_F(StarField, layer_keeps_only_star_pixels_with_the_background_under_them)
{
    SurfacePtr s = one_star(3, 2, argb(200, 250, 10, 100));
    pixel_at(s.get(), 5, 5) = argb(0, 255, 255, 255);  // colour without alpha: no star
    stars.add_layer(s.get(), background);
    ASSERT_EQ(stars.layers.size(), 1u);
    EXPECT_EQ(stars.layers[0], (std::vector<Uint32>{argb(200, 250, 10, 100), sky, 2 * 640 + 3}));
    EXPECT_EQ(stars.layer_a, 0u);
    EXPECT_EQ(stars.layer_b, 0u);
}

TEST_F(StarField, pictures_of_another_size_add_no_layer)
{
    SurfacePtr small = make_surface(320, 200, argb(255, 1, 1, 1));
    stars.add_layer(small.get(), background);
    stars.add_layer(nullptr, background);
    EXPECT_TRUE(stars.layers.empty());

    // Same size as each other but not the canvas: draw indexes canvas pixels.
    Graphics big_background;
    big_background.create_surface(800, 600);
    SurfacePtr big = make_surface(800, 600, argb(255, 1, 1, 1));
    stars.add_layer(big.get(), big_background);
    EXPECT_TRUE(stars.layers.empty());
    stars.layer_a = 0;
    stars.layer_b = 0;
    stars.update();
    stars.draw(canvas);  // nothing to draw, nothing to crash on
}

TEST_F(StarField, empty_layer_counts_and_draws_nothing)
{
    SurfacePtr none = make_surface(640, 400);
    stars.add_layer(none.get(), background);
    ASSERT_EQ(stars.layers.size(), 1u);
    EXPECT_TRUE(stars.layers[0].empty());
    stars.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 0, 0), 0u);
}

TEST_F(StarField, blend_scales_the_star_alpha_by_the_level_and_ors_the_background_alpha)
{
    SurfacePtr s = one_star(3, 2, argb(200, 250, 10, 100));
    stars.add_layer(s.get(), background);
    stars.phase_a = 0;   // level 0
    stars.phase_b = 76;  // level 254: the second slot's blend stays
    stars.draw(canvas);
    // t = 200 * 254 / 255 = 199; red 50 + 199 * 200 / 255 = 206;
    // green 60 + 199 * -50 / 255 = 21; blue 70 + 199 * 30 / 255 = 93; alpha 0x50 | 199.
    EXPECT_EQ(pixel_at(canvas.surface, 3, 2), argb(0x50 | 199, 206, 21, 93));
    EXPECT_EQ(pixel_at(canvas.surface, 4, 2), 0u);  // nothing but star pixels is written
}

TEST_F(StarField, level_zero_writes_the_background_exactly)
{
    SurfacePtr s = one_star(639, 399, argb(255, 255, 255, 255));
    stars.add_layer(s.get(), background);
    stars.phase_a = 75;  // full
    stars.phase_b = 0;   // then nothing: the background comes back
    pixel_at(canvas.surface, 639, 399) = argb(255, 9, 9, 9);
    stars.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 639, 399), sky);
}

TEST_F(StarField, full_level_shows_the_star_itself)
{
    SurfacePtr s = one_star(10, 10, argb(255, 250, 10, 100));
    stars.add_layer(s.get(), background);
    stars.phase_a = 0;
    stars.phase_b = 75;
    stars.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 10, 10), argb(255, 250, 10, 100));
}

TEST_F(StarField, no_layers_update_and_draw_do_nothing)
{
    for (int i = 0; i < 400; ++i)
        stars.update();
    stars.draw(canvas);
    EXPECT_EQ(stars.phase_a, 75u);
    EXPECT_EQ(pixel_at(canvas.surface, 0, 0), 0u);
}

TEST_F(StarField, one_layer_cycles_without_hanging)
{
    SurfacePtr s = one_star(1, 1, argb(255, 255, 255, 255));
    stars.add_layer(s.get(), background);
    for (int i = 0; i < 600; ++i) {
        stars.update();
        stars.draw(canvas);
    }
    EXPECT_EQ(stars.layer_a, 0u);
    EXPECT_EQ(stars.layer_b, 0u);
    EXPECT_EQ(stars.phase_a, (75u + 600u) % 150u);
    EXPECT_EQ(QuorrelStars::pick_other(0, 1), 0u);
}

TEST_F(StarField, each_slot_takes_a_layer_other_than_the_other_slot_when_it_wraps)
{
    SurfacePtr s = one_star(1, 1, argb(255, 255, 255, 255));
    for (int i = 0; i < 3; ++i)
        stars.add_layer(s.get(), background);
    for (int i = 0; i < 150 * 20; ++i) {
        stars.update();
        if (stars.phase_a == 0 || stars.phase_b == 0) {
            ASSERT_NE(stars.layer_a, stars.layer_b) << "tick " << i;
        }
    }
    EXPECT_EQ(stars.phase_a, 75u);
    EXPECT_EQ(stars.phase_b, 0u);
}

TEST(QuorrelStarsPick, never_returns_the_excluded_index_and_reaches_all_others)
{
    std::set<std::size_t> seen;
    for (int i = 0; i < 500; ++i) {
        std::size_t r = QuorrelStars::pick_other(2, 5);
        ASSERT_NE(r, 2u);
        ASSERT_LT(r, 5u);
        seen.insert(r);
    }
    EXPECT_EQ(seen, (std::set<std::size_t>{0, 1, 3, 4}));
    EXPECT_EQ(QuorrelStars::pick_other(0, 0), 0u);
}

TEST_F(StarField, target_that_is_not_the_canvas_is_left_alone)
{
    SurfacePtr s = one_star(639, 399, argb(255, 255, 255, 255));
    stars.add_layer(s.get(), background);
    Graphics small;
    small.create_surface(320, 200);
    stars.draw(small);
    Graphics empty;
    stars.draw(empty);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(pixel_at(small.surface, x, y), 0u);
}
