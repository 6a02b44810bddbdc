// BlendEffect: fades the alpha channel of a picture (the canvas) in or out.
// The intro fades the canvas in over 60 frames, the quit sequence fades it
// out over 9; the screen behind the canvas is black, so both read as fades
// from or to black.
#pragma once

#include "effects/effect.h"
#include "gfx/graphics.h"

class BlendEffect : public Effect {
public:
    // Idle for delay frames, then active for length frames, scaling the
    // target's alpha by 0, 1/length, ... when fading in, by 1, 1 - 1/length,
    // ... when fading out. A length of 0 or less counts as 1.
    BlendEffect(Graphics& target, int delay, int length, bool fade_in);

    // Scales the target's alpha by the opacity (limited to 0..1) once active.
    bool draw() override;
    void advance() override;

    Graphics& target;
    int frame;
    int length;
    float step;
    float opacity;
};
