#include "widgets/skinned_button.h"

SkinnedButton::SkinnedButton(int extra_flags) : glow_step(0.0f)
{
    flags.fetch_or(interactive | extra_flags);
}

void SkinnedButton::set_skin(SDL_Surface* skin, int sx, int sy, int w, int h)
{
    face.set_surface(skin);
    face.set_rect(sx, sy, w, h);
    glow.set_surface(skin);
    glow.set_rect(sx + w, sy, w, h);
    set_size(w, h);
}

// The glow, step by step (level = glow alpha / 255):
//   hover and idle (step 0)       -> level 0, step +0.05 (a new pulse)
//   level > 0.6 and step > 0      -> step negated (the pulse turns)
//   step != 0                     -> level += step, dirty
//   level reached 0               -> step 0 (idle)
//   pressed                       -> level 1
// A pulse once started runs to 0 even when the pointer has left.
void SkinnedButton::update()
{
    if (test_flag(hover) && glow_step == 0.0f) {
        glow.set_alpha(0.0f);
        glow_step = 0.05f;
    }
    if (glow.get_alpha() > 0.6f && glow_step > 0.0f)
        glow_step = -glow_step;
    if (glow_step != 0.0f) {
        glow.set_alpha(glow.get_alpha() + glow_step);
        set_flag(dirty, true);
    }
    if (glow.get_alpha() == 0.0f)
        glow_step = 0.0f;
    if (test_flag(pressed))
        glow.set_alpha(1.0f);
}

void SkinnedButton::draw(Graphics& target)
{
    SDL_Rect source = face.rect;
    SDL_Rect destination = rect;
    target.blit(face, &source, &destination);
    if (glow_step != 0.0f) {
        source = glow.rect;
        destination = rect;
        target.blit(glow, &source, &destination);
    }
    set_flag(dirty, false);
}
