// Whole-pixel enlargement: every pixel becomes a factor x factor block of
// the same colour (nearest neighbour), so pixel art stays crisp at any
// size. The window at a zoom and the recorder's scaled frames both go
// through it, so what a listener sees enlarged and what a video shows are
// the same pixels.
#pragma once

#include <SDL.h>

// Largest enlargement offered: three times 640 x 400 already fills a
// 1920 x 1200 screen.
constexpr int max_enlargement = 3;

// Writes area of src (clipped to src; all of it when null), enlarged by
// factor, into dst at (x * factor, y * factor). Both surfaces are 32-bit;
// dst must hold src's size times factor. Returns 0, or -1 with SDL's error
// text set, writing nothing, when a surface is null or not 32-bit, dst is
// too small, or factor lies outside 1 .. max_enlargement.
int enlarge(const SDL_Surface* src, SDL_Surface* dst, int factor, const SDL_Rect* area = nullptr);

// The part of a w x h picture that area covers (all of it when area is
// null), as half-open bounds; false when nothing is left.
struct PixelBounds {
    int left, top, right, bottom;
};
bool clip_to_picture(const SDL_Rect* area, int w, int h, PixelBounds& bounds);

// area (in src's pixels) as it lies in the enlarged picture.
SDL_Rect enlarged_rect(const SDL_Rect& area, int factor);
