// StarEffect: the intro's spiral star burst, 1024 points that are born at the
// centre, spiral outwards, brighten and fade. Drawn straight into the pixels
// of the 640 x 400 canvas; any other target is left untouched.
#pragma once

#include <SDL.h>
#include <array>
#include <atomic>

#include "effects/effect.h"
#include "gfx/graphics.h"

class StarEffect : public Effect {
public:
    struct Star {
        int depth;   // clock value at which the star is reborn
        int angle;   // degrees
        int radius;  // pixels
    };

    static constexpr int star_count = 1024;
    static constexpr int life = 213;  // clock ticks from birth to rebirth

    // Lives exactly lifetime frames. The stars come from rand(), which the
    // program never seeds, so the burst looks the same on every run.
    StarEffect(Graphics& target, int lifetime);

    // Moves the shared star clock on by one, then plots every star.
    bool draw() override;
    void advance() override;

    // The pixel a star shows after travelling this far from its start:
    // dim bluish, then white, then transparent once it has gone far enough.
    static Uint32 colour_for_travel(float travel);

    // Shared by all star bursts and moved only by draw, so the animation
    // follows drawn frames while the lifetime follows the frame counter.
    static std::atomic<int> star_clock;

    Graphics& target;
    int frame;
    std::array<Star, star_count> stars;
};
