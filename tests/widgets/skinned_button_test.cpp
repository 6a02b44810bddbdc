#include "widgets/skinned_button.h"
#include "widgets/skinned_button2.h"

#include "widgets/surface_helpers.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int glow_alpha(const SkinnedButton& b) { return b.glow.alpha; }

// The glow alphas of `ticks` updates.
std::vector<int> run(SkinnedButton& b, int ticks)
{
    std::vector<int> alphas;
    for (int i = 0; i < ticks; ++i) {
        b.update();
        alphas.push_back(glow_alpha(b));
    }
    return alphas;
}

// A skin row of n pictures of w x h, picture k filled with colours[k].
SurfacePtr make_skin(const std::vector<Uint32>& colours, int w, int h)
{
    SurfacePtr skin = make_surface(int(colours.size()) * w, h);
    for (std::size_t k = 0; k < colours.size(); ++k)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixel_at(skin.get(), int(k) * w + x, y) = colours[k];
    return skin;
}

const Uint32 red = argb(255, 255, 0, 0);
const Uint32 green = argb(255, 0, 255, 0);
const Uint32 blue = argb(255, 0, 0, 255);
const Uint32 white = argb(255, 255, 255, 255);

}  // namespace

TEST(SkinnedButtonGlow, hovering_pulses_up_by_12_and_down_by_13_in_25_ticks)
{
    SkinnedButton b;
    b.set_flag(Widget::hover, true);
    std::vector<int> expected;
    for (int k = 1; k <= 13; ++k)
        expected.push_back(12 * k);  // 12 ... 156
    for (int k = 1; k <= 12; ++k)
        expected.push_back(156 - 13 * k);  // 143 ... 0
    expected.push_back(12);  // the next pulse starts at once
    EXPECT_EQ(run(b, 26), expected);
}

TEST(SkinnedButtonGlow, a_started_pulse_runs_to_zero_after_the_pointer_leaves)
{
    SkinnedButton b;
    b.set_flag(Widget::hover, true);
    run(b, 3);
    b.set_flag(Widget::hover, false);
    std::vector<int> alphas = run(b, 40);
    EXPECT_EQ(alphas[9], 156);
    EXPECT_EQ(alphas[10], 143);
    EXPECT_EQ(alphas[21], 0);
    EXPECT_EQ(b.glow_step, 0.0f);
    for (std::size_t i = 21; i < alphas.size(); ++i)
        EXPECT_EQ(alphas[i], 0);
}

TEST(SkinnedButtonGlow, pressed_is_full_then_falls_by_13)
{
    SkinnedButton b;
    b.set_flag(Widget::hover, true);
    b.set_flag(Widget::pressed, true);
    EXPECT_EQ(run(b, 3), (std::vector<int>{255, 255, 255}));
    b.set_flag(Widget::pressed, false);
    std::vector<int> expected;
    for (int a = 255 - 13; a > 0; a -= 13)
        expected.push_back(a);  // 242, 229, ..., 8
    expected.push_back(0);
    EXPECT_EQ(run(b, int(expected.size())), expected);
}

TEST(SkinnedButtonGlow, idle_glow_leaves_the_button_clean)
{
    SkinnedButton b;
    b.set_flag(Widget::dirty, false);
    run(b, 5);
    EXPECT_FALSE(b.test_flag(Widget::dirty));
    b.set_flag(Widget::hover, true);
    b.update();
    EXPECT_TRUE(b.test_flag(Widget::dirty));
}

TEST(SkinnedButtonDraw, face_alone_while_idle_glow_over_it_while_pulsing)
{
    SurfacePtr skin = make_skin({red, blue}, 3, 2);
    SkinnedButton b;
    EXPECT_TRUE(b.test_flag(Widget::interactive));
    b.set_position(5, 5);
    b.set_skin(skin.get(), 0, 0, 3, 2);
    EXPECT_EQ(b.rect.w, 3);
    EXPECT_EQ(b.rect.h, 2);
    Graphics canvas;
    canvas.create_surface(10, 10);

    b.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 5, 5), red);
    EXPECT_EQ(pixel_at(canvas.surface, 7, 6), red);
    EXPECT_EQ(pixel_at(canvas.surface, 8, 6), 0u);
    EXPECT_FALSE(b.test_flag(Widget::dirty));

    b.set_flag(Widget::hover, true);
    b.set_flag(Widget::pressed, true);
    b.update();
    b.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 6, 6), blue);
}

TEST(SkinnedButton2, both_faces_share_the_corner_and_the_second_pair_follows_the_first)
{
    SurfacePtr skin = make_skin({red, green, blue, white}, 4, 2);
    SkinnedButton2 b;
    b.set_position(10, 12);
    b.set_skin(skin.get(), 0, 0, 4, 2);
    EXPECT_EQ(b.first.rect.x, 10);
    EXPECT_EQ(b.second.rect.y, 12);
    EXPECT_EQ(b.second.face.rect.x, 8);
    EXPECT_EQ(b.second.glow.rect.x, 12);
    EXPECT_EQ(b.rect.w, 4);

    Graphics canvas;
    canvas.create_surface(20, 20);
    b.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 11, 13), red);
    b.set_second_face(true);
    b.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 11, 13), blue);
    EXPECT_FALSE(b.test_flag(Widget::dirty));
}

TEST(SkinnedButton2, setting_the_same_face_twice_marks_nothing_the_second_time)
{
    SkinnedButton2 b;
    b.first.set_flag(Widget::dirty, false);
    b.second.set_flag(Widget::dirty, false);
    b.set_second_face(true);
    EXPECT_TRUE(b.test_flag(Widget::second_face));
    EXPECT_TRUE(b.second.test_flag(Widget::dirty));
    EXPECT_FALSE(b.first.test_flag(Widget::dirty));
    b.second.set_flag(Widget::dirty, false);
    b.set_second_face(true);
    EXPECT_FALSE(b.second.test_flag(Widget::dirty));
    b.set_second_face(false);
    EXPECT_TRUE(b.first.test_flag(Widget::dirty));
    EXPECT_FALSE(b.test_flag(Widget::second_face));
}

TEST(SkinnedButton2, update_hands_pointer_state_to_both_and_takes_the_selected_dirty)
{
    SkinnedButton2 b;
    b.set_flag(Widget::hover, true);
    b.set_flag(Widget::pressed, true);
    b.update();
    EXPECT_EQ(glow_alpha(b.first), 255);
    EXPECT_EQ(glow_alpha(b.second), 255);
    EXPECT_TRUE(b.second.test_flag(Widget::pressed));

    // A change of face shows at the next tick even with the pointer away.
    SkinnedButton2 idle;
    idle.update();
    idle.first.set_flag(Widget::dirty, false);
    idle.second.set_flag(Widget::dirty, false);
    idle.update();
    EXPECT_FALSE(idle.test_flag(Widget::dirty));
    idle.set_second_face(true);
    idle.update();
    EXPECT_TRUE(idle.test_flag(Widget::dirty));
}
