#include "widgets/widget.h"

#include "gfx/graphics.h"
#include "widgets/image.h"

Widget::Widget() : action(nullptr), flags(clickable | dirty), rect{0, 0, 0, 0} {}

Widget::~Widget() = default;

void Widget::set_position(int x, int y)
{
    rect.x = static_cast<Sint16>(x);
    rect.y = static_cast<Sint16>(y);
    set_flag(dirty, true);
}

void Widget::set_size(int w, int h)
{
    rect.w = static_cast<Uint16>(w);
    rect.h = static_cast<Uint16>(h);
    set_flag(dirty, true);
}

bool Widget::contains(int x, int y) const
{
    int left = rect.x;
    int top = rect.y;
    return x > left && y > top && x < left + rect.w && y < top + rect.h;
}

void Widget::fire_action()
{
    Action a = action.load();
    if (a)
        a();
}

void pointer_dispatch(const std::vector<Widget*>& widgets, int x, int y, bool is_pressed)
{
    for (Widget* w : widgets) {
        if (!w->test_flag(Widget::interactive))
            continue;
        bool inside = w->contains(x, y);
        w->set_flag(Widget::hover, inside);
        if (!inside)
            continue;
        if (w->test_flag(Widget::pressed) != is_pressed)
            w->set_flag(Widget::dirty, true);
        w->set_flag(Widget::pressed, is_pressed);
        w->on_mouse(x - w->rect.x, y - w->rect.y, is_pressed);
    }
}

void click_pass(const std::vector<Widget*>& widgets, int x, int y)
{
    for (Widget* w : widgets) {
        if (w->test_flag(Widget::interactive) && w->test_flag(Widget::clickable) && w->contains(x, y))
            w->fire_action();
    }
}

void tick_pass(const std::vector<Widget*>& widgets, Image& background, Graphics& canvas)
{
    for (Widget* w : widgets)
        w->update();

    bool all = background.test_flag(Widget::redraw_all);
    if (all || background.test_flag(Widget::dirty)) {
        background.draw(canvas);
    } else {
        for (Widget* w : widgets) {
            if (w->test_flag(Widget::dirty))
                background.restore_region(canvas, w->rect);
        }
    }

    for (Widget* w : widgets) {
        if (all || w->test_flag(Widget::dirty))
            w->draw(canvas);
    }
}
