#include "widgets/skinned_button2.h"

SkinnedButton2::SkinnedButton2(int extra_flags)
{
    flags.fetch_or(interactive | extra_flags);
}

void SkinnedButton2::set_position(int x, int y)
{
    Widget::set_position(x, y);
    first.set_position(x, y);
    second.set_position(x, y);
}

void SkinnedButton2::set_skin(SDL_Surface* skin, int sx, int sy, int w, int h)
{
    first.set_skin(skin, sx, sy, w, h);
    second.set_skin(skin, sx + 2 * w, sy, w, h);
    set_size(w, h);
}

void SkinnedButton2::set_second_face(bool on)
{
    // One read-modify-write tells whether this call changed the bit, so two
    // callers racing with the same value cannot both think they did.
    int before = on ? flags.fetch_or(second_face) : flags.fetch_and(~second_face);
    bool was_on = (before & second_face) != 0;
    if (was_on != on)
        selected().set_flag(dirty, true);
}

void SkinnedButton2::update()
{
    bool is_hover = test_flag(hover);
    bool is_pressed = test_flag(pressed);
    for (SkinnedButton* b : {&first, &second}) {
        b->set_flag(hover, is_hover);
        b->set_flag(pressed, is_pressed);
    }
    first.update();
    second.update();
    set_flag(dirty, selected().test_flag(dirty));
}

void SkinnedButton2::draw(Graphics& target)
{
    selected().draw(target);
    set_flag(dirty, false);
}
