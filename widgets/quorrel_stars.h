// QuorrelStars: makes the stars painted on the background twinkle. Each layer
// is one full-canvas star picture, precomputed as (star pixel, background
// pixel, pixel index) triples; two slots, half a 150-tick period apart, blend
// a layer each over the canvas along half a sine wave and take a new random
// layer whenever their level is back at 0. Built by the player screen with
// the five star pictures; drawn every tick by the tick pass.
#pragma once

#include "widgets/widget.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class Damage;

class QuorrelStars : public Widget {
public:
    static constexpr int canvas_width = 640;
    static constexpr int canvas_height = 400;
    static constexpr int period = 150;  // ticks, about five seconds

    explicit QuorrelStars(int extra_flags = 0);

    // Captures the star pixels (alpha not 0) of stars with the background
    // colour under each. Both must be canvas-sized 32-bit pictures; anything
    // else (null included) adds no layer, since draw writes by pixel index.
    void add_layer(SDL_Surface* stars, Graphics& background);
    // Moves both slots on; a slot back at 0 takes a new layer.
    void update() override;
    // Blends slot A's layer, then slot B's, straight into target's pixels.
    // Draws nothing unless target is a packed canvas-sized 32-bit surface.
    void draw(Graphics& target) override;
    // A random index below n other than except; with a single layer that
    // layer itself, and 0 when there is none.
    static std::size_t pick_other(std::size_t except, std::size_t n);

    std::uint64_t phase_a;
    std::uint64_t phase_b;
    std::size_t layer_a;
    std::size_t layer_b;
    Uint8 envelope[period];
    std::vector<std::vector<Uint32>> layers;

private:
    void blend_layer(const std::vector<Uint32>& layer, unsigned level, Uint32* pixels,
                     Damage* damage) const;
};
