#include "effects/star_effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "effect_test_support.h"

namespace {

constexpr Uint32 entry_0 = 0xFFFFFFFF;  // white
constexpr Uint32 entry_1 = 0xDDDDDDFF;
constexpr Uint32 entry_3 = 0x999999FF;
constexpr Uint32 entry_4 = 0x777777FF;  // the dimmest entry in use

struct Canvas {
    Canvas() { g.create_surface(640, 400); }
    Graphics g;
};

// Leaves one star that the next draw shows at the given age; every other star
// is reborn on that draw and so not drawn at all.
void single_star(StarEffect& burst, int age, int angle, int radius) {
    StarEffect::star_clock = 0;  // the next draw runs at clock 1
    for (StarEffect::Star& star : burst.stars)
        star = {0, 0, 0};
    burst.stars[0] = {1 + StarEffect::life - age, angle, radius};
}

}  // namespace

TEST(StarEffect, intro_burst_is_drawn_exactly_its_lifetime_of_frames) {
    Canvas canvas;
    StarEffect burst(canvas.g, 1110);
    int drawn = 0;
    bool running = true;
    while (running && drawn < 5000) {
        running = run_frame(burst);
        ++drawn;
    }
    EXPECT_EQ(drawn, 1110);
}

TEST(StarEffect, skipped_frames_shorten_its_life_but_leave_the_star_clock_alone) {
    Canvas canvas;
    StarEffect::star_clock = 0;
    StarEffect burst(canvas.g, 10);
    for (int i = 0; i < 4; ++i)
        burst.advance();  // a catch-up of four frames
    EXPECT_EQ(StarEffect::star_clock.load(), 0);
    int drawn = 0;
    while (run_frame(burst))
        ++drawn;
    ++drawn;
    EXPECT_EQ(drawn, 6);
    EXPECT_EQ(StarEffect::star_clock.load(), 6);  // one count per draw
}

TEST(StarEffect, stars_are_spread_over_their_ranges_by_the_callers_generator) {
    Canvas canvas;
    std::srand(1);
    StarEffect a(canvas.g, 1);
    std::srand(1);
    StarEffect b(canvas.g, 1);
    std::srand(2);
    StarEffect c(canvas.g, 1);

    auto same = [](const StarEffect& x, const StarEffect& y) {
        return std::equal(x.stars.begin(), x.stars.end(), y.stars.begin(),
                          [](const StarEffect::Star& s, const StarEffect::Star& t) {
                              return s.depth == t.depth && s.angle == t.angle &&
                                     s.radius == t.radius;
                          });
    };
    EXPECT_TRUE(same(a, b));   // the same generator state gives the same burst
    EXPECT_FALSE(same(a, c));  // and the effect does not seed the generator itself

    int max_depth = 0, max_angle = 0, max_radius = 0;
    int min_depth = 1000, min_angle = 1000, min_radius = 1000;
    for (const StarEffect::Star& s : a.stars) {
        min_depth = std::min(min_depth, s.depth);
        max_depth = std::max(max_depth, s.depth);
        min_angle = std::min(min_angle, s.angle);
        max_angle = std::max(max_angle, s.angle);
        min_radius = std::min(min_radius, s.radius);
        max_radius = std::max(max_radius, s.radius);
    }
    // 1024 draws cover each range nearly to its ends, and never past them.
    EXPECT_GE(min_depth, 0);
    EXPECT_LE(min_depth, 5);
    EXPECT_LE(max_depth, 212);
    EXPECT_GE(max_depth, 207);
    EXPECT_GE(min_angle, 0);
    EXPECT_LE(min_angle, 8);
    EXPECT_LE(max_angle, 359);
    EXPECT_GE(max_angle, 351);
    EXPECT_GE(min_radius, 0);
    EXPECT_LE(min_radius, 6);
    EXPECT_LE(max_radius, 255);
    EXPECT_GE(max_radius, 249);
}

TEST(StarEffect, colour_index_truncates_toward_zero_and_turns_transparent_below_it) {
    EXPECT_EQ(StarEffect::colour_for_travel(0.01f), entry_4);    // 114: the youngest drawn star
    EXPECT_EQ(StarEffect::colour_for_travel(91.5f), entry_1);    // 23
    EXPECT_EQ(StarEffect::colour_for_travel(92.5f), entry_0);    // 22
    EXPECT_EQ(StarEffect::colour_for_travel(115.0f), entry_0);   // 0
    EXPECT_EQ(StarEffect::colour_for_travel(137.5f), entry_0);   // -22: still white
    EXPECT_EQ(StarEffect::colour_for_travel(138.0f), 0u);        // -23: index -1
    EXPECT_EQ(StarEffect::colour_for_travel(192.4f), 0u);        // the oldest star
}

TEST(StarEffect, newborn_star_lands_below_the_centre_in_its_dimmest_colour) {
    Canvas canvas;
    StarEffect burst(canvas.g, 100);
    single_star(burst, 1, 0, 100);  // age 1: angle 0, no travel yet
    EXPECT_TRUE(run_frame(burst));
    EXPECT_EQ(pixel_at(canvas.g, 320, 300), entry_4);
    EXPECT_EQ(count_pixels_not(canvas.g, 0), 1);  // the reborn stars (age 0) draw nothing
}

TEST(StarEffect, older_star_spirals_out_and_brightens) {
    Canvas canvas;
    StarEffect burst(canvas.g, 100);
    // age 100: theta = ln(100) / 2, travel = 213 - sqrt(213^2 - 100^2) = 24.93
    single_star(burst, 100, 0, 50);
    run_frame(burst);
    EXPECT_EQ(pixel_at(canvas.g, 375, 166), entry_3);
    EXPECT_EQ(count_pixels_not(canvas.g, 0), 1);
}

TEST(StarEffect, oldest_star_punches_a_transparent_pixel) {
    Canvas canvas;
    StarEffect burst(canvas.g, 100);
    single_star(burst, 212, 0, 0);  // travel 192.4: index -3
    canvas.g.fill(40, 50, 60);
    run_frame(burst);
    EXPECT_EQ(pixel_at(canvas.g, 405, 200), 0u);
    EXPECT_EQ(count_pixels_not(canvas.g, 0xFF28323C), 1);
}

TEST(StarEffect, star_is_reborn_when_the_clock_reaches_its_depth) {
    Canvas canvas;
    StarEffect burst(canvas.g, 1000);
    single_star(burst, 1, 0, 100);
    const int depth = burst.stars[0].depth;
    for (int draw = 1; draw <= 214; ++draw) {
        canvas.g.clear();
        run_frame(burst);
        const bool newborn_pixel = pixel_at(canvas.g, 320, 300) == entry_4;
        if (draw == 1 || draw == 214) {
            EXPECT_TRUE(newborn_pixel) << "draw " << draw;
        }
        if (draw == 213) {
            // Reborn on this draw: age 0 has no angle and is skipped.
            EXPECT_EQ(count_pixels_not(canvas.g, 0), 0);
            EXPECT_EQ(burst.stars[0].depth, depth + StarEffect::life);
        }
    }
}

TEST(StarEffect, targets_smaller_than_the_canvas_or_empty_are_never_written) {
    StarEffect::star_clock = 0;
    Graphics small;
    small.create_surface(639, 400);
    Graphics short_one;
    short_one.create_surface(640, 399);
    Graphics empty;
    for (Graphics* target : {&small, &short_one, &empty}) {
        StarEffect burst(*target, 3);
        EXPECT_TRUE(run_frame(burst));
        EXPECT_TRUE(run_frame(burst));
        EXPECT_FALSE(run_frame(burst));
        if (target->surface) {
            EXPECT_EQ(count_pixels_not(*target, 0), 0);
        }
    }
    EXPECT_EQ(StarEffect::star_clock.load(), 9);  // the clock still counts every draw

    // A 640 x 400 canvas does get stars: the guard is not refusing everything.
    Canvas canvas;
    StarEffect burst(canvas.g, 100);
    for (int i = 0; i < 50; ++i)
        run_frame(burst);
    EXPECT_GT(count_pixels_not(canvas.g, 0), 100);
}
