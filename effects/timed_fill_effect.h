// TimedFillEffect: paints a picture (the canvas) with one opaque colour on
// every frame of a window. The quit sequence uses it to hold the screen black
// once its fade-out has ended.
#pragma once

#include "effects/effect.h"
#include "gfx/graphics.h"

class TimedFillEffect : public Effect {
public:
    // Fills from the frame after delay frames have passed until the frame
    // counter, started at -delay, reaches end.
    TimedFillEffect(Graphics& target, int delay, int end, Uint8 red, Uint8 green, Uint8 blue);

    bool draw() override;
    void advance() override;

    Graphics& target;
    int frame;
    int end;
    Uint8 red, green, blue;
};
