#include "gfx/enlarge.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

bool clip_to_picture(const SDL_Rect* area, int w, int h, PixelBounds& bounds) {
    bounds = {0, 0, w, h};
    if (area) {
        bounds.left = std::max<int>(area->x, 0);
        bounds.top = std::max<int>(area->y, 0);
        bounds.right = std::min<int>(area->x + area->w, w);
        bounds.bottom = std::min<int>(area->y + area->h, h);
    }
    return bounds.left < bounds.right && bounds.top < bounds.bottom;
}

SDL_Rect enlarged_rect(const SDL_Rect& area, int factor) {
    SDL_Rect r;
    r.x = static_cast<Sint16>(area.x * factor);
    r.y = static_cast<Sint16>(area.y * factor);
    r.w = static_cast<Uint16>(area.w * factor);
    r.h = static_cast<Uint16>(area.h * factor);
    return r;
}

int enlarge(const SDL_Surface* src, SDL_Surface* dst, int factor, const SDL_Rect* area) {
    if (!src || !dst || !src->format || !dst->format || !src->pixels ||
        src->format->BytesPerPixel != 4 || dst->format->BytesPerPixel != 4) {
        SDL_SetError("enlarge: both pictures must be 32-bit");
        return -1;
    }
    if (factor < 1 || factor > max_enlargement) {
        SDL_SetError("enlarge: factor %d is not 1 to %d", factor, max_enlargement);
        return -1;
    }
    // Checked in wide arithmetic: a too small target must be refused, never
    // written past its end.
    if (static_cast<long>(dst->w) < static_cast<long>(src->w) * factor ||
        static_cast<long>(dst->h) < static_cast<long>(src->h) * factor) {
        SDL_SetError("enlarge: the target is smaller than %d times the picture", factor);
        return -1;
    }
    PixelBounds b;
    if (!clip_to_picture(area, src->w, src->h, b)) return 0;
    const int left = b.left, top = b.top, right = b.right, bottom = b.bottom;
    if (SDL_LockSurface(dst) != 0) return -1;
    const int w = right - left;
    const std::size_t row_bytes = static_cast<std::size_t>(w) * factor * 4;
    for (int y = top; y < bottom; ++y) {
        const Uint32* from = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(src->pixels) +
                                                             static_cast<std::ptrdiff_t>(y) * src->pitch) +
                             left;
        Uint8* first = static_cast<Uint8*>(dst->pixels) +
                       static_cast<std::ptrdiff_t>(y) * factor * dst->pitch +
                       static_cast<std::ptrdiff_t>(left) * factor * 4;
        // One enlarged row, then copies of it for the block's other rows.
        stretch_row(from, reinterpret_cast<Uint32*>(first), w, factor);
        repeat_row(first, dst->pitch, row_bytes, factor);
    }
    SDL_UnlockSurface(dst);
    return 0;
}
