#include "widgets/skinned_scale.h"

#include <algorithm>
#include <cmath>

SkinnedScale::SkinnedScale(int extra_flags) : value(0.0f), drag(0.0f)
{
    flags.fetch_or(interactive | extra_flags);
}

void SkinnedScale::set_skin(SDL_Surface* skin, int sx, int sy, int w, int kw, int h)
{
    knob.set_skin(skin, sx + 2 * w, sy, kw, h);
    trough.set_surface(skin);
    trough.set_rect(sx, sy, w, h);
    trough_fill.set_surface(skin);
    trough_fill.set_rect(sx + w, sy, w, h);
    set_size(w, h);
}

int SkinnedScale::knob_x(float shown) const
{
    // Float, not double: in double the knob lands a pixel further left for
    // many fractions.
    float travel = float(int(rect.w) - int(knob.rect.w));
    float x = float(rect.x) + shown * travel;
    return int(x);
}

void SkinnedScale::set_value(float v)
{
    if (std::isnan(v) || v < 0.0f)
        v = 0.0f;
    else if (v > 1.0f)
        v = 1.0f;
    value.store(v);
    if (knob_x(shown()) != knob.rect.x)
        set_flag(dirty, true);
}

void SkinnedScale::update()
{
    knob.set_flag(hover, test_flag(hover));
    knob.update();
    if (!test_flag(dirty))
        set_flag(dirty, knob.test_flag(dirty));
}

void SkinnedScale::draw(Graphics& target)
{
    SDL_Rect source = trough.rect;
    SDL_Rect destination = rect;
    target.blit(trough, &source, &destination);

    trough_fill.rect.w = Uint16(float(trough.rect.w) * value.load());
    source = trough_fill.rect;
    destination = rect;
    target.blit(trough_fill, &source, &destination);

    float at = shown();
    knob.set_flag(pressed, test_flag(pressed));
    knob.Widget::set_position(knob_x(at), rect.y);
    knob.draw(target);
    set_flag(dirty, false);
}

void SkinnedScale::on_mouse(int x, int y, bool is_pressed)
{
    (void)y;
    if (!is_pressed)
        return;
    int p = x - knob.rect.w / 2;
    int range = int(rect.w) - int(knob.rect.w);
    // A knob as wide as the scale has no travel: 0/0 would make a NaN seek.
    if (range <= 0)
        return;
    // Beyond the knob's travel the nearer end: a click on the scale's last
    // pixels must seek to the end, not to wherever an earlier press left it.
    p = std::clamp(p, 0, range);
    drag.store(float(p) / float(range));
    set_flag(dirty, true);
}
