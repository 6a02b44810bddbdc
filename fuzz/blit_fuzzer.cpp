// The blitter on arbitrary rectangles, positions, clip rectangles, surface
// sizes and depths, and global alphas, compared pixel for pixel with a plain
// model of the clipping and blending rules written from scratch here: the
// vector loops and the clipping must agree with it for every input, the
// source and both rectangles must come out unchanged, and a surface that is
// not 32-bit must be refused without a pixel drawn.
#include "gfx/blit.h"
#include "gfx/graphics.h"

#include "fuzz/fuzz_support.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {


// Mostly 32-bit surfaces in the standard format; now and then 24 or 16 bits.
SDL_Surface* make_surface(Reader& in) {
    int w = in.byte() % 80, h = in.byte() % 48;
    std::uint8_t depth_pick = in.byte();
    int depth = depth_pick < 240 ? 32 : depth_pick < 248 ? 24 : 16;
    SDL_Surface* s = depth == 32 ? SDL_CreateRGBSurface(SDL_SRCALPHA, w, h, 32, 0x00FF0000,
                                                        0x0000FF00, 0x000000FF, 0xFF000000)
                                 : SDL_CreateRGBSurface(0, w, h, depth, 0, 0, 0, 0);
    if (!s) return nullptr;
    // A few seed bytes spread over the surface, so every alpha shows up.
    std::uint8_t seed[7];
    for (std::uint8_t& b : seed) b = in.byte();
    auto* p = static_cast<std::uint8_t*>(s->pixels);
    for (int i = 0; i < s->pitch * s->h; ++i) p[i] = std::uint8_t(seed[i % 7] * (i / 7 + 1) + i);
    return s;
}

std::vector<std::uint8_t> pixels_of(SDL_Surface* s) {
    auto* p = static_cast<std::uint8_t*>(s->pixels);
    return std::vector<std::uint8_t>(p, p + size_t(s->pitch) * s->h);
}

std::uint32_t pixel_at(const std::vector<std::uint8_t>& bytes, int pitch, int x, int y) {
    std::uint32_t v;
    std::memcpy(&v, &bytes[size_t(y) * pitch + size_t(x) * 4], 4);
    return v;
}

unsigned curve(unsigned a) {
    unsigned r = 0;
    while ((r + 1) * (r + 1) <= 255 * a) ++r;
    return r;
}

// The model: clip like SDL_UpperBlit, then blend each channel toward the
// source by the curved, scaled coverage and OR the coverage into the alpha.
std::vector<std::uint8_t> model_blit(SDL_Surface* src, const SDL_Rect* src_rect, unsigned g,
                                     SDL_Surface* dst, const SDL_Rect* dst_rect) {
    std::vector<std::uint8_t> out = pixels_of(dst);
    if (g == 0) return out;
    long px = dst_rect ? dst_rect->x : 0, py = dst_rect ? dst_rect->y : 0;
    long sx = 0, sy = 0, w = src->w, h = src->h;
    if (src_rect) {
        sx = src_rect->x;
        sy = src_rect->y;
        w = src_rect->w;
        h = src_rect->h;
        if (sx < 0) { px -= sx; w += sx; sx = 0; }
        if (w > src->w - sx) w = src->w - sx;
        if (sy < 0) { py -= sy; h += sy; sy = 0; }
        if (h > src->h - sy) h = src->h - sy;
    }
    const SDL_Rect& c = dst->clip_rect;
    if (c.x > px) { w -= c.x - px; sx += c.x - px; px = c.x; }
    if (px + w > c.x + c.w) w = c.x + c.w - px;
    if (c.y > py) { h -= c.y - py; sy += c.y - py; py = c.y; }
    if (py + h > c.y + c.h) h = c.y + c.h - py;
    std::vector<std::uint8_t> source = pixels_of(src);
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) {
            std::uint32_t s = pixel_at(source, src->pitch, int(sx + x), int(sy + y));
            std::uint32_t d = pixel_at(out, dst->pitch, int(px + x), int(py + y));
            int a = int(curve(s >> 24));
            if (g != 255) a = int(g) * a / 255;
            std::uint32_t result = ((d >> 24) | unsigned(a)) << 24;
            for (int shift = 0; shift <= 16; shift += 8) {
                int sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                result |= std::uint32_t(dc + (sc - dc) * a / 255) << shift;
            }
            std::memcpy(&out[size_t(py + y) * dst->pitch + size_t(px + x) * 4], &result, 4);
        }
    return out;
}

bool same_rect(const SDL_Rect& a, const SDL_Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Reader in{data, size};
    SDL_Surface* src = make_surface(in);
    SDL_Surface* dst = make_surface(in);
    if (!src || !dst) {
        if (src) SDL_FreeSurface(src);
        if (dst) SDL_FreeSurface(dst);
        return 0;
    }
    std::uint8_t flags = in.byte();
    SDL_Rect clip{Sint16(in.int16() % 100), Sint16(in.int16() % 100), Uint16(in.byte()),
                  Uint16(in.byte())};
    if (flags & 4) SDL_SetClipRect(dst, &clip);
    SDL_Rect src_rect{Sint16(in.int16()), Sint16(in.int16()), Uint16(in.int16()),
                      Uint16(in.int16())};
    SDL_Rect dst_rect{Sint16(in.int16()), Sint16(in.int16()), Uint16(in.int16()),
                      Uint16(in.int16())};
    std::uint8_t global_alpha = in.byte();
    SDL_Rect* src_arg = flags & 1 ? &src_rect : nullptr;
    SDL_Rect* dst_arg = flags & 2 ? &dst_rect : nullptr;
    const SDL_Rect src_before = src_rect, dst_before = dst_rect;

    std::vector<std::uint8_t> source_before = pixels_of(src);
    std::vector<std::uint8_t> target_before = pixels_of(dst);
    bool both_32 = src->format->BytesPerPixel == 4 && dst->format->BytesPerPixel == 4;
    std::vector<std::uint8_t> expected;
    if (both_32) expected = model_blit(src, src_arg, global_alpha, dst, dst_arg);
    int result = alpha_blit(src, src_arg, global_alpha, dst, dst_arg);
    check(pixels_of(src) == source_before, "the blit changed its source");
    check(same_rect(src_rect, src_before) && same_rect(dst_rect, dst_before),
          "the blit wrote to a caller's rectangle");
    if (!both_32) {
        check(global_alpha == 0 || result == -1, "a surface that is not 32-bit was not refused");
        check(pixels_of(dst) == target_before, "a surface that is not 32-bit was drawn on");
    } else {
        check(result == 0, "a 32-bit blit failed");
        check(pixels_of(dst) == expected, "the blit's pixels differ from the model");
    }

    // A missing surface is refused, except that global alpha 0 returns first.
    if (flags & 8) {
        check(alpha_blit(nullptr, src_arg, global_alpha, dst, dst_arg) == (global_alpha ? -1 : 0),
              "a null source was not refused");
        check(alpha_blit(src, src_arg, global_alpha, nullptr, dst_arg) == (global_alpha ? -1 : 0),
              "a null destination was not refused");
    }

    // The same blit through Graphics: the source's alpha is the global alpha.
    if (both_32) {
        SDL_SetClipRect(dst, nullptr);
        Graphics source, target;
        source.set_surface(src);
        target.set_surface(dst);
        source.set_alpha(global_alpha);
        expected = model_blit(src, src_arg, global_alpha, dst, dst_arg);
        target.blit(source, src_arg, dst_arg);
        check(pixels_of(dst) == expected, "Graphics::blit differs from the model");
    }

    // Scaling the alpha touches the alpha byte alone: alpha * factor / 256.
    std::uint8_t factor = in.byte();
    std::vector<std::uint8_t> before = pixels_of(dst);
    scale_surface_alpha(dst, factor);
    std::vector<std::uint8_t> after = pixels_of(dst);
    if (dst->format->BytesPerPixel != 4 || factor == 255) {
        check(after == before, "scale_surface_alpha changed a surface it must leave alone");
    } else {
        for (int y = 0; y < dst->h; ++y)
            for (int x = 0; x < dst->w; ++x) {
                std::uint32_t b = pixel_at(before, dst->pitch, x, y);
                std::uint32_t a = pixel_at(after, dst->pitch, x, y);
                std::uint32_t expected = (b & 0x00FFFFFF) | ((b >> 24) * factor / 256) << 24;
                check(a == expected, "scale_surface_alpha gave a wrong pixel");
            }
    }
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
    return 0;
}
