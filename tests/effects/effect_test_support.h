// Pixel access and frame stepping shared by the effect tests. Effects run on
// software surfaces, stepped the way the frame thread steps them: advance,
// then draw, retired after the draw that returns false.
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

#include "effects/effect.h"
#include "gfx/graphics.h"

inline Uint32 pixel_at(const Graphics& g, int x, int y) {
    const Uint8* row = static_cast<const Uint8*>(g.surface->pixels) + y * g.surface->pitch;
    return reinterpret_cast<const Uint32*>(row)[x];
}

inline Uint8 alpha_at(const Graphics& g, int x, int y) { return pixel_at(g, x, y) >> 24; }
inline Uint8 red_at(const Graphics& g, int x, int y) { return (pixel_at(g, x, y) >> 16) & 0xFF; }
inline Uint8 green_at(const Graphics& g, int x, int y) { return (pixel_at(g, x, y) >> 8) & 0xFF; }
inline Uint8 blue_at(const Graphics& g, int x, int y) { return pixel_at(g, x, y) & 0xFF; }

inline void fill_pixels(Graphics& g, Uint32 value) {
    for (int y = 0; y < g.surface->h; ++y) {
        Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(g.surface->pixels) +
                                                y * g.surface->pitch);
        for (int x = 0; x < g.surface->w; ++x)
            row[x] = value;
    }
}

inline int count_pixels_not(const Graphics& g, Uint32 value) {
    int n = 0;
    for (int y = 0; y < g.surface->h; ++y)
        for (int x = 0; x < g.surface->w; ++x)
            n += pixel_at(g, x, y) != value;
    return n;
}

// One rendered frame, as the frame thread runs it: true while still listed.
inline bool run_frame(Effect& effect) {
    effect.advance();
    return effect.draw();
}

// A fade's alpha byte is computed in float32 from an accumulated step, so it
// may land one below the exact fraction; anything further off is a wrong
// frame (neighbouring frames differ by 4 or more in every fade we run).
inline bool near_fraction(int byte, int numerator, int denominator) {
    const int exact = numerator * 255 / denominator;
    return byte == exact || byte == exact - 1;
}
