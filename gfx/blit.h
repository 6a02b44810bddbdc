// The program's own alpha blitter. Clips like SDL_UpperBlit, raises each
// source alpha through alpha_curve, optionally scales it by a global opacity,
// and ORs the coverage into the destination's alpha. Works on 32-bit surfaces
// in the standard pixel format only. Callers serialise access to surfaces.
#pragma once

#include <SDL.h>

#include <vector>

// alpha_curve[i] = floor(sqrt(255 * i)): partly transparent pixels count more opaque.
extern const Uint8 alpha_curve[256];

// Blends src (or its src_rect part) onto dst at dst_rect's x and y; global_alpha 0
// draws nothing, and neither rectangle is written. Returns 0, or -1 with SDL's
// error text set when a surface is null, locked or not 32-bit.
int alpha_blit(SDL_Surface* src, SDL_Rect* src_rect, Uint8 global_alpha,
               SDL_Surface* dst, SDL_Rect* dst_rect);
// alpha_blit with global alpha 255.
int blit_surface(SDL_Surface* src, SDL_Rect* src_rect, SDL_Surface* dst, SDL_Rect* dst_rect);
// What SDL's per-pixel-alpha blit of src onto a black window leaves there,
// written straight into dst at the same place: each colour channel c becomes
// c * a >> 8, or stays c where a = 255; the top byte becomes 0. One pass
// instead of a fill and SDL's blend. Only area (clipped to src) when given.
// At a factor of 2 or 3 (a zoomed window) each pixel is written as a
// factor x factor block at (x * factor, y * factor): what enlarge
// (gfx/enlarge.h) of the result at factor 1 gives, in the same one pass.
// Returns -1 with SDL's error text set, writing nothing, unless
// can_show_over_black.
int show_over_black(const SDL_Surface* src, SDL_Surface* dst, const SDL_Rect* area = nullptr, int factor = 1);
// show_over_black of single pixels, each given by its index y * w + x in src
// (whose rows are packed). Returns -1, writing nothing, unless
// can_show_over_black; the caller has checked the indices.
int show_pixels_over_black(const SDL_Surface* src, SDL_Surface* dst, const std::vector<Uint32>& indices,
                           int factor = 1);
// dst is 32-bit with the standard colour masks, no alpha, and at least src's
// size times factor (1 to max_enlargement); src is 32-bit.
bool can_show_over_black(const SDL_Surface* src, const SDL_Surface* dst, int factor = 1);
// Asks the processor for the cache lines of area (clipped to s) without
// waiting for them. Drawing that is about to visit many short rows calls it
// first, so that their misses overlap instead of coming one row at a time.
// Changes nothing that can be observed; null or empty does nothing.
void prefetch_area(const SDL_Surface* s, const SDL_Rect& area, bool for_writing);
// alpha = alpha * factor / 256 for every pixel; factor 255 changes nothing.
void scale_surface_alpha(SDL_Surface* surface, Uint8 factor);
