// BlendEffect2: cross-fades a widget's picture from its present content to a
// new one. The track-change handler builds it on the info box, draws the new
// track's text into new_picture, then puts it at the front of the effect list.
#pragma once

#include "effects/effect.h"
#include "gfx/graphics.h"

class Widget;

class BlendEffect2 : public Effect {
public:
    // Copies target's present content into the old picture and makes a blank
    // new_picture of the same size; marks widget dirty. frames <= 0 counts as 1.
    BlendEffect2(Graphics& target, Widget& widget, int frames);

    // Redraws target as old and new picture mixed at the current ratio and
    // marks the widget dirty; after the last frame the target keeps that mix.
    bool draw() override;
    void advance() override;

    Graphics new_picture;  // the caller paints the new content here
    Widget& widget;
    Graphics& target;
    Graphics old_picture;
    int remaining;
    float step;
    float mix;
};
