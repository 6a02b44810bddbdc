#include "widgets/widget.h"

#include "widgets/image.h"
#include "widgets/surface_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what the passes do to it; draws a solid colour over its rect.
class Probe : public Widget {
public:
    explicit Probe(bool draw_clears_dirty = true, Uint32 colour = argb(255, 0, 0, 200))
        : clears(draw_clears_dirty), colour(colour)
    {
        set_flag(interactive, true);
    }

    void draw(Graphics& target) override
    {
        log->push_back(name + ".draw");
        if (rect.w && rect.h && target.surface)
            pixel_under_at_draw = pixel_at(target.surface, rect.x, rect.y);
        for (int y = rect.y; y < rect.y + rect.h; ++y)
            for (int x = rect.x; x < rect.x + rect.w; ++x)
                pixel_at(target.surface, x, y) = colour;
        if (clears)
            set_flag(dirty, false);
    }
    void update() override { log->push_back(name + ".update"); }
    void on_mouse(int x, int y, bool is_pressed) override
    {
        events.push_back({x, y, is_pressed});
    }

    struct Event {
        int x, y;
        bool is_pressed;
    };
    std::vector<Event> events;
    std::vector<std::string> own_log;
    std::vector<std::string>* log = &own_log;
    std::string name = "probe";
    Uint32 pixel_under_at_draw = 0;
    bool clears;
    Uint32 colour;
};

int fired = 0;
void count_fire() { ++fired; }

}  // namespace

TEST(WidgetHitTest, left_column_and_top_row_are_outside)
{
    Probe w;
    w.set_position(10, 20);
    w.set_size(30, 40);
    EXPECT_FALSE(w.contains(10, 21));
    EXPECT_FALSE(w.contains(11, 20));
    EXPECT_TRUE(w.contains(11, 21));
    EXPECT_TRUE(w.contains(39, 59));
    EXPECT_FALSE(w.contains(40, 21));
    EXPECT_FALSE(w.contains(11, 60));
}

TEST(WidgetHitTest, negative_corner_is_sign_extended)
{
    Probe w;
    w.set_position(-5, -5);
    w.set_size(10, 10);
    EXPECT_TRUE(w.contains(-4, -4));
    EXPECT_TRUE(w.contains(4, 4));
    EXPECT_FALSE(w.contains(5, 0));
}

TEST(WidgetBase, starts_clickable_dirty_without_action_and_empty)
{
    Image w;
    EXPECT_EQ(w.flags.load(), Widget::clickable | Widget::dirty);
    EXPECT_EQ(w.rect.x, 0);
    EXPECT_EQ(w.rect.w, 0);
    w.fire_action();  // no action: nothing happens
    w.set_flag(Widget::dirty, false);
    w.set_position(3, 4);
    EXPECT_TRUE(w.test_flag(Widget::dirty));
    w.set_flag(Widget::dirty, false);
    w.set_size(5, 6);
    EXPECT_TRUE(w.test_flag(Widget::dirty));
    EXPECT_EQ(w.rect.x, 3);
    EXPECT_EQ(w.rect.h, 6);
}

class PointerScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        fired = 0;
        button.set_position(100, 100);
        button.set_size(20, 10);
        button.action = count_fire;
        button.set_flag(Widget::dirty, false);
        list = {&button};
    }
    // One event as the event loop delivers it: dispatch, then the click pass
    // after a release.
    void move(int x, int y, bool held) { pointer_dispatch(list, x, y, held); }
    void press(int x, int y) { pointer_dispatch(list, x, y, true); }
    void release(int x, int y)
    {
        pointer_dispatch(list, x, y, false);
        click_pass(list, x, y);
    }

    Probe button;
    std::vector<Widget*> list;
};

TEST_F(PointerScript, press_outside_drag_on_release_over_fires_once)
{
    press(50, 50);
    EXPECT_FALSE(button.test_flag(Widget::pressed));
    move(110, 105, true);
    EXPECT_TRUE(button.test_flag(Widget::pressed));
    EXPECT_TRUE(button.test_flag(Widget::hover));
    release(110, 105);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(button.test_flag(Widget::pressed));
}

TEST_F(PointerScript, release_outside_does_not_fire_and_keeps_pressed)
{
    press(110, 105);
    move(150, 105, true);
    EXPECT_FALSE(button.test_flag(Widget::hover));
    EXPECT_TRUE(button.test_flag(Widget::pressed));
    release(150, 105);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(button.test_flag(Widget::pressed));
    move(110, 105, false);  // back over it with no button held
    EXPECT_FALSE(button.test_flag(Widget::pressed));
}

TEST_F(PointerScript, dirty_only_when_pressed_changes)
{
    move(110, 105, false);
    EXPECT_FALSE(button.test_flag(Widget::dirty));
    press(110, 105);
    EXPECT_TRUE(button.test_flag(Widget::dirty));
    button.set_flag(Widget::dirty, false);
    move(111, 105, true);
    EXPECT_FALSE(button.test_flag(Widget::dirty));
    release(111, 105);
    EXPECT_TRUE(button.test_flag(Widget::dirty));
}

TEST_F(PointerScript, on_mouse_gets_coordinates_relative_to_the_corner)
{
    press(101, 109);
    move(100, 105, true);  // left column: outside, no event
    ASSERT_EQ(button.events.size(), 1u);
    EXPECT_EQ(button.events[0].x, 1);
    EXPECT_EQ(button.events[0].y, 9);
    EXPECT_TRUE(button.events[0].is_pressed);
}

TEST_F(PointerScript, click_on_the_top_row_fires_nothing)
{
    release(110, 100);
    release(100, 105);
    EXPECT_EQ(fired, 0);
    release(101, 101);
    EXPECT_EQ(fired, 1);
}

TEST_F(PointerScript, null_action_changes_flags_only)
{
    button.action = nullptr;
    press(110, 105);
    release(110, 105);
    EXPECT_TRUE(button.test_flag(Widget::hover));
    EXPECT_FALSE(button.test_flag(Widget::pressed));
    EXPECT_EQ(fired, 0);
}

TEST_F(PointerScript, widgets_without_interactive_or_clickable_are_passed_over)
{
    button.set_flag(Widget::interactive, false);
    press(110, 105);
    release(110, 105);
    EXPECT_FALSE(button.test_flag(Widget::hover));
    EXPECT_TRUE(button.events.empty());
    EXPECT_EQ(fired, 0);

    button.set_flag(Widget::interactive, true);
    button.set_flag(Widget::clickable, false);
    release(110, 105);
    EXPECT_TRUE(button.test_flag(Widget::hover));  // still dispatched
    EXPECT_EQ(fired, 0);                          // but never clicked
}

TEST_F(PointerScript, every_widget_under_the_point_gets_the_event_in_list_order)
{
    Probe other;
    other.set_position(90, 95);
    other.set_size(40, 20);
    other.action = count_fire;
    list.push_back(&other);
    release(110, 105);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(button.events.size(), 1u);
    EXPECT_EQ(other.events.size(), 1u);
    EXPECT_EQ(other.events[0].x, 20);
}

class TickPass : public ::testing::Test {
protected:
    void SetUp() override
    {
        canvas.create_surface(64, 48);
        background.create_picture(64, 48);
        background.picture().fill(0, 100, 0);  // opaque green
        a.name = "a";
        b.name = "b";
        a.log = b.log = &log;
        a.set_position(4, 4);
        a.set_size(8, 8);
        b.set_position(20, 4);
        b.set_size(8, 8);
        list = {&a, &b};
    }

    Graphics canvas;
    Image background;
    Probe a;
    Probe b{true, argb(255, 200, 0, 0)};
    std::vector<std::string> log;
    std::vector<Widget*> list;
};

TEST_F(TickPass, first_tick_updates_all_then_draws_background_and_every_widget)
{
    tick_pass(list, background, canvas);
    EXPECT_EQ(log, (std::vector<std::string>{"a.update", "b.update", "a.draw", "b.draw"}));
    EXPECT_FALSE(background.test_flag(Widget::dirty));
    EXPECT_EQ(pixel_at(canvas.surface, 0, 0), argb(255, 0, 100, 0));
    EXPECT_EQ(pixel_at(canvas.surface, 5, 5), a.colour);
}

TEST_F(TickPass, dirty_widget_is_drawn_over_the_restored_background)
{
    tick_pass(list, background, canvas);
    log.clear();
    pixel_at(canvas.surface, 4, 4) = argb(255, 1, 2, 3);  // something else painted there
    pixel_at(canvas.surface, 0, 0) = argb(255, 1, 2, 3);  // outside every rect
    a.set_flag(Widget::dirty, true);
    tick_pass(list, background, canvas);
    EXPECT_EQ(log, (std::vector<std::string>{"a.update", "b.update", "a.draw"}));
    EXPECT_EQ(a.pixel_under_at_draw, argb(255, 0, 100, 0));
    EXPECT_EQ(pixel_at(canvas.surface, 0, 0), argb(255, 1, 2, 3));
}

TEST_F(TickPass, widget_that_stays_dirty_is_drawn_every_tick)
{
    Probe sticky(false);
    sticky.name = "sticky";
    sticky.log = &log;
    list.push_back(&sticky);  // rect (0, 0, 0, 0): nothing to restore
    tick_pass(list, background, canvas);
    pixel_at(canvas.surface, 0, 0) = argb(255, 1, 2, 3);
    log.clear();
    tick_pass(list, background, canvas);
    EXPECT_EQ(log.back(), "sticky.draw");
    EXPECT_EQ(pixel_at(canvas.surface, 0, 0), argb(255, 1, 2, 3));
}

TEST_F(TickPass, redraw_all_draws_every_widget_even_clean_ones)
{
    tick_pass(list, background, canvas);
    log.clear();
    background.set_flag(Widget::redraw_all, true);
    tick_pass(list, background, canvas);
    EXPECT_EQ(log, (std::vector<std::string>{"a.update", "b.update", "a.draw", "b.draw"}));
}

TEST_F(TickPass, dirty_background_alone_draws_only_dirty_widgets_over_it)
{
    tick_pass(list, background, canvas);
    log.clear();
    background.set_flag(Widget::dirty, true);
    b.set_flag(Widget::dirty, true);
    tick_pass(list, background, canvas);
    EXPECT_EQ(log, (std::vector<std::string>{"a.update", "b.update", "b.draw"}));
    EXPECT_EQ(pixel_at(canvas.surface, 5, 5), argb(255, 0, 100, 0));  // a was painted over
}
