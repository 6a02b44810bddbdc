// Whole-pixel enlargement: every pixel becomes a factor x factor block of
// the same colour (nearest neighbour), so pixel art stays crisp at any
// size. The window at a zoom and the recorder's scaled frames both go
// through it, so what a listener sees enlarged and what a video shows are
// the same pixels.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstring>

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

// The two halves of an enlarged row, shared by every enlarging loop (they
// sit in the per-pixel path of a zoomed window, hence inline):
// w pixels of from, each written factor times across into to.
inline void stretch_row(const Uint32* from, Uint32* to, int w, int factor) {
    switch (factor) {
    case 1:
        std::memcpy(to, from, static_cast<std::size_t>(w) * 4);
        break;
    case 2:
        for (int x = 0; x < w; ++x) to[2 * x] = to[2 * x + 1] = from[x];
        break;
    default:
        for (int x = 0; x < w; ++x) to[3 * x] = to[3 * x + 1] = to[3 * x + 2] = from[x];
        break;
    }
}
// The block's first row (row_bytes from first) copied to its other
// factor - 1 rows, pitch apart.
inline void repeat_row(Uint8* first, std::ptrdiff_t pitch, std::size_t row_bytes, int factor) {
    for (int k = 1; k < factor; ++k) std::memcpy(first + k * pitch, first, row_bytes);
}

// area (in src's pixels) as it lies in the enlarged picture.
SDL_Rect enlarged_rect(const SDL_Rect& area, int factor);
