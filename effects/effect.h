// Effect: a frame-counted animation drawn over the canvas or over a widget's
// picture. The frame thread owns every listed effect: each frame it calls
// advance and then draw, a skipped frame calls only advance, and the effect is
// deleted after the draw that returns false. Effects know no wall-clock time.
#pragma once

class Effect {
public:
    // Draws the current frame; false once the effect has run its course.
    virtual bool draw() = 0;
    // Moves on by one frame without drawing (also used for skipped frames).
    virtual void advance() = 0;
    virtual ~Effect();
};
