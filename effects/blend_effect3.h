// BlendEffect3: one picture shown at a position on a millisecond schedule,
// fading in, holding and fading out; the intro's six timed pictures. The
// caller gives the embedded Image its picture and position after construction.
#pragma once

#include "effects/effect.h"
#include "gfx/graphics.h"
#include "widgets/image.h"

class BlendEffect3 : public Effect {
public:
    // Times in milliseconds, converted at 30 frames per second with the
    // fraction dropped; a fade that comes out shorter than a frame lasts one.
    BlendEffect3(Graphics& target, int start_ms, int length_ms, int fade_in_ms, int fade_out_ms);

    // Draws the picture at its position with the opacity of this frame.
    bool draw() override;
    void advance() override;

    Image picture;  // the sprite: its picture, position and alpha
    Graphics& target;
    int frame;
    int length;
    int fade_in;
    int fade_out;
    float step;
    float opacity;
};
