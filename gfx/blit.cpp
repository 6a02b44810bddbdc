#include "gfx/blit.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr Uint8 integer_sqrt(unsigned n) {
    unsigned r = 0;
    while ((r + 1) * (r + 1) <= n) ++r;
    return static_cast<Uint8>(r);
}

constexpr struct AlphaCurve {
    Uint8 entry[256];
    constexpr AlphaCurve() : entry() {
        for (unsigned i = 0; i < 256; ++i) entry[i] = integer_sqrt(255 * i);
    }
} curve;

static_assert(curve.entry[1] == 15 && curve.entry[64] == 127 && curve.entry[128] == 180,
              "alpha_curve must be floor(sqrt(255 * i))");

// One channel: d + (s - d) * a / 255 with the division truncating toward
// zero, so the result always lies between d and s.
inline Uint32 blend_channel(Uint32 s, Uint32 d, int a) {
    int sc = static_cast<int>(s), dc = static_cast<int>(d);
    return static_cast<Uint32>(dc + (sc - dc) * a / 255);
}

inline Uint32 blend_pixel(Uint32 s, Uint32 d, int a) {
    Uint32 r = blend_channel((s >> 16) & 0xFF, (d >> 16) & 0xFF, a);
    Uint32 g = blend_channel((s >> 8) & 0xFF, (d >> 8) & 0xFF, a);
    Uint32 b = blend_channel(s & 0xFF, d & 0xFF, a);
    Uint32 out_alpha = (d >> 24) | static_cast<Uint32>(a);
    return (out_alpha << 24) | (r << 16) | (g << 8) | b;
}

struct Block {
    const Uint8* src;
    Uint8* dst;
    int w, h;
    int src_pitch, dst_pitch;
};

// One loop per kind of global alpha, so the per-pixel work carries no test
// of it. Rows are walked by pitch; pixels are moved with 4-byte memcpy so
// no alignment is assumed of the caller's surfaces.
template <bool full_opacity>
void blend_block(const Block& block, int global_alpha) {
    for (int y = 0; y < block.h; ++y) {
        const Uint8* s = block.src + static_cast<std::ptrdiff_t>(y) * block.src_pitch;
        Uint8* d = block.dst + static_cast<std::ptrdiff_t>(y) * block.dst_pitch;
        for (int x = 0; x < block.w; ++x, s += 4, d += 4) {
            Uint32 sp, dp;
            std::memcpy(&sp, s, 4);
            std::memcpy(&dp, d, 4);
            int a = alpha_curve[sp >> 24];
            if (!full_opacity) a = global_alpha * a / 255;
            Uint32 out = blend_pixel(sp, dp, a);
            std::memcpy(d, &out, 4);
        }
    }
}

}  // namespace

const Uint8 alpha_curve[256] = {
#define ROW(i) curve.entry[i], curve.entry[i + 1], curve.entry[i + 2], curve.entry[i + 3], \
               curve.entry[i + 4], curve.entry[i + 5], curve.entry[i + 6], curve.entry[i + 7]
    ROW(0),   ROW(8),   ROW(16),  ROW(24),  ROW(32),  ROW(40),  ROW(48),  ROW(56),
    ROW(64),  ROW(72),  ROW(80),  ROW(88),  ROW(96),  ROW(104), ROW(112), ROW(120),
    ROW(128), ROW(136), ROW(144), ROW(152), ROW(160), ROW(168), ROW(176), ROW(184),
    ROW(192), ROW(200), ROW(208), ROW(216), ROW(224), ROW(232), ROW(240), ROW(248),
#undef ROW
};

int alpha_blit(SDL_Surface* src, SDL_Rect* src_rect, Uint8 global_alpha,
               SDL_Surface* dst, SDL_Rect* dst_rect) {
    if (global_alpha == 0) return 0;
    if (!src || !dst) {
        SDL_SetError("SDL_UpperBlit: passed a NULL surface");
        return -1;
    }
    if (src->locked || dst->locked) {
        SDL_SetError("Surfaces must not be locked during blit");
        return -1;
    }
    // Pixels are read and written as 32-bit words: any other depth would
    // run past the end of its rows.
    if (!src->format || !dst->format || src->format->BytesPerPixel != 4 ||
        dst->format->BytesPerPixel != 4) {
        SDL_SetError("alpha_blit: surfaces must have 32 bits per pixel");
        return -1;
    }

    int px = dst_rect ? dst_rect->x : 0;
    int py = dst_rect ? dst_rect->y : 0;
    int sx = 0, sy = 0, w = src->w, h = src->h;
    if (src_rect) {
        sx = src_rect->x;
        w = src_rect->w;
        if (sx < 0) {
            px -= sx;
            w += sx;
            sx = 0;
        }
        if (w > src->w - sx) w = src->w - sx;
        sy = src_rect->y;
        h = src_rect->h;
        if (sy < 0) {
            py -= sy;
            h += sy;
            sy = 0;
        }
        if (h > src->h - sy) h = src->h - sy;
    }

    const SDL_Rect& clip = dst->clip_rect;
    if (clip.x > px) {
        int cut = clip.x - px;
        w -= cut;
        sx += cut;
        px = clip.x;
    }
    if (px + w > clip.x + clip.w) w = clip.x + clip.w - px;
    if (clip.y > py) {
        int cut = clip.y - py;
        h -= cut;
        sy += cut;
        py = clip.y;
    }
    if (py + h > clip.y + clip.h) h = clip.y + clip.h - py;
    if (w <= 0 || h <= 0) return 0;

    Block block;
    block.src = static_cast<const Uint8*>(src->pixels) +
                static_cast<std::ptrdiff_t>(sy) * src->pitch + sx * 4;
    block.dst = static_cast<Uint8*>(dst->pixels) +
                static_cast<std::ptrdiff_t>(py) * dst->pitch + px * 4;
    block.w = w;
    block.h = h;
    block.src_pitch = src->pitch;
    block.dst_pitch = dst->pitch;
    if (global_alpha == 255)
        blend_block<true>(block, 255);
    else
        blend_block<false>(block, global_alpha);
    return 0;
}

int blit_surface(SDL_Surface* src, SDL_Rect* src_rect, SDL_Surface* dst, SDL_Rect* dst_rect) {
    return alpha_blit(src, src_rect, 255, dst, dst_rect);
}

void scale_surface_alpha(SDL_Surface* surface, Uint8 factor) {
    if (!surface || !surface->format || surface->format->BytesPerPixel != 4 || factor == 255)
        return;
    if (SDL_LockSurface(surface) != 0) return;
    for (int y = 0; y < surface->h; ++y) {
        Uint8* row = static_cast<Uint8*>(surface->pixels) +
                     static_cast<std::ptrdiff_t>(y) * surface->pitch;
        // The alpha is the fourth byte of each pixel in memory (little-endian ARGB).
        for (int x = 0; x < surface->w; ++x)
            row[x * 4 + 3] = static_cast<Uint8>(row[x * 4 + 3] * factor >> 8);
    }
    SDL_UnlockSurface(surface);
}
