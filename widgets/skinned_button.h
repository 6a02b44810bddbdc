// SkinnedButton: a push button cut from the skin picture, a face and a glow
// side by side. The glow pulses while the pointer is over the button and is
// full while it is pressed. The player screen uses it for next and previous;
// SkinnedButton2 and SkinnedScale draw inner ones they keep out of the list.
#pragma once

#include "gfx/graphics.h"
#include "widgets/widget.h"

class SkinnedButton : public Widget {
public:
    // Interactive; extra_flags are ORed in after.
    explicit SkinnedButton(int extra_flags = 0);

    // Face at (sx, sy, w, h) of skin, glow at (sx + w, sy, w, h); the skin
    // stays the caller's. Sizes the button to w x h.
    void set_skin(SDL_Surface* skin, int sx, int sy, int w, int h);

    // One tick of the glow: idle, rising by 0.05 to past 0.6, falling to 0.
    void update() override;
    // Face, then the glow at its level while it pulses; clears dirty.
    void draw(Graphics& target) override;

    // Opacity level of the glow, 0 to 1.
    float glow_level() const { return glow.get_alpha(); }

    float glow_step;  // change of the glow level per tick; 0 while idle
    Graphics face;
    Graphics glow;
};
