#include "widgets/skinned_scale.h"

#include "widgets/surface_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

const Uint32 trough_colour = argb(255, 10, 10, 10);
const Uint32 fill_colour = argb(255, 0, 200, 0);
const Uint32 knob_colour = argb(255, 250, 0, 0);

// The player's scale: 106 wide at (240, 20), 8 px knob, 15 high.
class PlayerScale : public ::testing::Test {
protected:
    void SetUp() override
    {
        skin = make_surface(106 * 2 + 16, 15);
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < skin->w; ++x)
                pixel_at(skin.get(), x, y) = x < 106 ? trough_colour : x < 212 ? fill_colour : knob_colour;
        scale.set_position(240, 20);
        scale.set_skin(skin.get(), 0, 0, 106, 8, 15);
        canvas.create_surface(640, 400);
    }

    // Where the knob is drawn: its first pixel in row 25.
    int drawn_knob_x()
    {
        for (int x = 0; x < 640; ++x)
            if (pixel_at(canvas.surface, x, 25) == knob_colour)
                return x;
        return -1;
    }

    SurfacePtr skin;
    SkinnedScale scale;
    Graphics canvas;
};

}  // namespace

TEST_F(PlayerScale, half_puts_the_knob_at_289)
{
    scale.set_value(0.5f);
    scale.draw(canvas);
    EXPECT_EQ(scale.knob.rect.x, 289);
    EXPECT_EQ(drawn_knob_x(), 289);
    EXPECT_FALSE(scale.test_flag(Widget::dirty));
}

TEST_F(PlayerScale, a_press_beyond_the_knobs_travel_goes_to_the_nearer_end)
{
    // The knob is centred on the pointer: relative x 4 to 102 is its travel.
    // Each press follows one in the middle, so a press that changed nothing
    // would show as 0.5.
    const struct {
        int x;
        float drag;
    } presses[] = {{0, 0.0f},   {1, 0.0f},   {2, 0.0f},   {3, 0.0f},   {4, 0.0f},
                   {53, 0.5f},  {102, 1.0f}, {103, 1.0f}, {104, 1.0f}, {105, 1.0f}};
    for (const auto& press : presses) {
        scale.on_mouse(53, 5, true);
        ASSERT_EQ(scale.drag_value(), 0.5f);
        scale.on_mouse(press.x, 5, true);
        EXPECT_EQ(scale.drag_value(), press.drag) << "pressed at " << press.x;
    }
    scale.on_mouse(50, 5, false);  // no button: no drag
    EXPECT_EQ(scale.drag_value(), 1.0f);
}

TEST_F(PlayerScale, dragged_knob_follows_the_pointer_pixel_for_pixel)
{
    // The knob's arithmetic is float; in double it lands a pixel left for
    // about half of these positions.
    scale.set_flag(Widget::pressed, true);
    for (int x = 4; x <= 102; ++x) {
        scale.on_mouse(x, 5, true);
        scale.draw(canvas);
        ASSERT_EQ(scale.knob.rect.x, 240 + x - 4) << "pointer at " << x;
    }
}

TEST_F(PlayerScale, while_pressed_the_knob_shows_the_drag_and_the_fill_the_value)
{
    scale.set_value(0.25f);
    scale.set_flag(Widget::pressed, true);
    scale.on_mouse(102, 5, true);
    scale.set_value(0.3f);
    scale.draw(canvas);
    EXPECT_EQ(drawn_knob_x(), 338);
    int fill_end = 240 + int(106 * 0.3f);  // 271
    EXPECT_EQ(pixel_at(canvas.surface, fill_end - 1, 25), fill_colour);
    EXPECT_EQ(pixel_at(canvas.surface, fill_end, 25), trough_colour);
    EXPECT_TRUE(scale.knob.test_flag(Widget::pressed));
}

TEST_F(PlayerScale, set_value_clamps_and_maps_nan_to_zero)
{
    scale.set_value(-0.2f);
    EXPECT_EQ(scale.get_value(), 0.0f);
    scale.set_value(1.5f);
    EXPECT_EQ(scale.get_value(), 1.0f);
    scale.set_value(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(scale.get_value(), 0.0f);
}

TEST_F(PlayerScale, set_value_marks_the_scale_only_for_a_whole_pixel)
{
    scale.set_value(0.5f);
    scale.draw(canvas);  // knob at 289
    scale.set_value(0.505f);  // 289.49
    EXPECT_FALSE(scale.test_flag(Widget::dirty));
    scale.set_value(0.511f);  // 290.07
    EXPECT_TRUE(scale.test_flag(Widget::dirty));
}

TEST_F(PlayerScale, knob_glow_makes_the_scale_dirty)
{
    scale.draw(canvas);
    scale.update();
    EXPECT_FALSE(scale.test_flag(Widget::dirty));
    scale.set_flag(Widget::hover, true);
    scale.update();
    EXPECT_TRUE(scale.knob.test_flag(Widget::hover));
    EXPECT_TRUE(scale.test_flag(Widget::dirty));
}

TEST_F(PlayerScale, press_on_the_scale_through_the_dispatch_places_the_knob)
{
    std::vector<Widget*> list{&scale};
    pointer_dispatch(list, 240 + 102, 25, true);
    EXPECT_EQ(scale.drag_value(), 1.0f);
    EXPECT_TRUE(scale.test_flag(Widget::pressed));
}

TEST(SkinnedScaleRange, knob_as_wide_as_the_scale_changes_nothing)
{
    SkinnedScale scale(0x10);
    scale.set_skin(nullptr, 0, 0, 8, 8, 15);
    scale.on_mouse(4, 5, true);
    scale.on_mouse(0, 5, true);
    EXPECT_EQ(scale.drag_value(), 0.0f);
    EXPECT_FALSE(std::isnan(scale.drag_value()));
    scale.set_flag(Widget::pressed, true);
    Graphics canvas;
    canvas.create_surface(20, 20);
    scale.draw(canvas);
    EXPECT_EQ(scale.knob.rect.x, 0);
}
