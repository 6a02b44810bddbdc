#include "gfx/blit.h"

#include "gfx/enlarge.h"
#include "gfx/graphics.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN,
              "pixels are read as 32-bit words with alpha in the top byte");

namespace {

constexpr std::size_t pixel_prefetch_distance = 16;

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

// Asks for the cache lines of bytes [p, p + n) without waiting for them.
void prefetch_bytes(const void* p, std::ptrdiff_t n, bool for_writing) {
    // In addresses, not pointers: the last line may reach past the object.
    constexpr std::uintptr_t line = 64;
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(p) & ~(line - 1);
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(p) + static_cast<std::uintptr_t>(n) - 1;
    for (std::uintptr_t at = first; at <= last; at += line) {
        if (for_writing)
            __builtin_prefetch(reinterpret_cast<const void*>(at), 1);
        else
            __builtin_prefetch(reinterpret_cast<const void*>(at), 0);
    }
}

// Rows of a picture lie a whole pitch apart, so the processor's own
// prefetching only starts some lines into each row, and the pictures are
// usually out of the cache by the next frame: the start of the rows a few
// ahead of the one being drawn is asked for in advance. Past the first
// lines of a wide row the processor streams by itself; asking for those too
// only slowed the blit of a whole canvas.
constexpr int rows_ahead = 3;
constexpr std::ptrdiff_t row_start_bytes = 256;

// draw_row(src row, dst row) for the w x h pixels from src and dst on,
// with the start of both rows rows_ahead further down asked for first.
// (Into an enlarged picture, asking for every row of the blocks as well
// made no difference: the first row's start is enough.)
template <typename DrawRow>
void draw_rows_ahead(const Uint8* src, std::ptrdiff_t src_pitch, Uint8* dst, std::ptrdiff_t dst_pitch, int w, int h,
                     DrawRow draw_row) {
    const std::ptrdiff_t bytes = std::min<std::ptrdiff_t>(std::ptrdiff_t{w} * 4, row_start_bytes);
    for (int y = 0; y < h + rows_ahead; ++y) {
        if (y < h) {
            prefetch_bytes(src + y * src_pitch, bytes, false);
            prefetch_bytes(dst + y * dst_pitch, bytes, true);
        }
        const int drawn = y - rows_ahead;
        if (drawn >= 0) draw_row(src + drawn * src_pitch, dst + drawn * dst_pitch);
    }
}

// The plain per-pixel loop: the reference the vector loops must match bit
// for bit, and the tail of every row they leave over.
template <bool full_opacity>
void blend_pixels(const Uint8* s, Uint8* d, int count, int global_alpha) {
    for (int x = 0; x < count; ++x, s += 4, d += 4) {
        Uint32 sp, dp;
        std::memcpy(&sp, s, 4);
        // The short rows of small pictures end here: a clear pixel leaves
        // the target as it is and (at full opacity) a solid one replaces it,
        // exactly as the arithmetic below would.
        if ((sp >> 24) == 0) continue;
        if (full_opacity && (sp >> 24) == 255) {
            std::memcpy(d, &sp, 4);
            continue;
        }
        std::memcpy(&dp, d, 4);
        int a = alpha_curve[sp >> 24];
        if (!full_opacity) a = global_alpha * a / 255;
        Uint32 out = blend_pixel(sp, dp, a);
        std::memcpy(d, &out, 4);
    }
}

// SDL's blend onto black: with a destination of 0 its (s - d) * a >> 8 + d
// is c * a >> 8, and it copies the colour of an opaque pixel unchanged.
void over_black_pixels(const Uint8* s, Uint8* d, int count) {
    for (int x = 0; x < count; ++x, s += 4, d += 4) {
        Uint32 p;
        std::memcpy(&p, s, 4);
        Uint32 a = p >> 24;
        Uint32 out = p & 0x00FFFFFFu;
        if (a != 255)
            out = (((p >> 16) & 0xFF) * a >> 8) << 16 | (((p >> 8) & 0xFF) * a >> 8) << 8 |
                  ((p & 0xFF) * a >> 8);
        std::memcpy(d, &out, 4);
    }
}

#if defined(__x86_64__) || defined(__i386__)

// Four pixels at a time with SSE2. The coverage floor(sqrt(255 a)) comes
// from a float square root, which is exact here: 255 a is at most 65025, and
// a float holds it and its root without rounding across an integer. The
// division by 255 of a value up to 65025 is exact as (x * 0x8081) >> 23; a
// negative difference is divided as its magnitude and negated again, which
// truncates toward zero as the integer formula does.
// d + trunc((s - d) * a / 255) in eight 16-bit lanes.
__attribute__((target("sse2"), always_inline)) inline __m128i blend_lanes_sse2(__m128i s16,
                                                                             __m128i d16,
                                                                             __m128i a) {
    const __m128i div255 = _mm_set1_epi16(static_cast<short>(0x8081));
    __m128i diff = _mm_sub_epi16(s16, d16);
    __m128i sign = _mm_srai_epi16(diff, 15);
    __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(diff, sign), sign);
    __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(magnitude, a), div255), 7);
    q = _mm_sub_epi16(_mm_xor_si128(q, sign), sign);
    return _mm_add_epi16(d16, q);
}

template <bool full_opacity>
__attribute__((target("sse2"))) void blend_row_sse2(const Uint8* s, Uint8* d, int w,
                                                    int global_alpha) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i div255 = _mm_set1_epi16(static_cast<short>(0x8081));
    const __m128i g = _mm_set1_epi16(static_cast<short>(global_alpha));
    const __m128i colour_mask = _mm_set1_epi32(0x00FFFFFF);
    const __m128 scale = _mm_set1_ps(255.0f);
    int x = 0;
    for (; x + 4 <= w; x += 4) {
        __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x * 4));
        __m128i source_alpha = _mm_srli_epi32(sp, 24);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(source_alpha, zero)) == 0xFFFF) continue;
        if (full_opacity &&
            _mm_movemask_epi8(_mm_cmpeq_epi32(source_alpha, _mm_set1_epi32(255))) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 4), sp);
            continue;
        }
        __m128i dp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x * 4));
        __m128 alpha = _mm_cvtepi32_ps(source_alpha);
        __m128i a32 = _mm_cvttps_epi32(_mm_sqrt_ps(_mm_mul_ps(alpha, scale)));
        __m128i a16 = _mm_packs_epi32(a32, a32);  // A0 A1 A2 A3 A0 A1 A2 A3
        if (!full_opacity)
            a16 = _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(a16, g), div255), 7);
        __m128i pairs = _mm_unpacklo_epi16(a16, a16);   // A0 A0 A1 A1 A2 A2 A3 A3
        __m128i a_lo = _mm_unpacklo_epi32(pairs, pairs);  // A0 x4, A1 x4
        __m128i a_hi = _mm_unpackhi_epi32(pairs, pairs);  // A2 x4, A3 x4

        __m128i lo = blend_lanes_sse2(_mm_unpacklo_epi8(sp, zero), _mm_unpacklo_epi8(dp, zero), a_lo);
        __m128i hi = blend_lanes_sse2(_mm_unpackhi_epi8(sp, zero), _mm_unpackhi_epi8(dp, zero), a_hi);
        __m128i colour = _mm_and_si128(_mm_packus_epi16(lo, hi), colour_mask);
        __m128i a_top = _mm_slli_epi32(_mm_unpacklo_epi16(a16, zero), 24);
        __m128i out_alpha = _mm_or_si128(_mm_andnot_si128(colour_mask, dp), a_top);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 4), _mm_or_si128(colour, out_alpha));
    }
    blend_pixels<full_opacity>(s + x * 4, d + x * 4, w - x, global_alpha);
}

// The same arithmetic eight pixels at a time, where the processor has AVX2.
__attribute__((target("avx2"), always_inline)) inline __m256i blend_lanes_avx2(__m256i s16,
                                                                             __m256i d16,
                                                                             __m256i a) {
    const __m256i div255 = _mm256_set1_epi16(static_cast<short>(0x8081));
    __m256i diff = _mm256_sub_epi16(s16, d16);
    __m256i sign = _mm256_srai_epi16(diff, 15);
    __m256i magnitude = _mm256_sub_epi16(_mm256_xor_si256(diff, sign), sign);
    __m256i q =
        _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(magnitude, a), div255), 7);
    q = _mm256_sub_epi16(_mm256_xor_si256(q, sign), sign);
    return _mm256_add_epi16(d16, q);
}

template <bool full_opacity>
__attribute__((target("avx2"))) void blend_row_avx2(const Uint8* s, Uint8* d, int w,
                                                    int global_alpha) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i div255 = _mm256_set1_epi16(static_cast<short>(0x8081));
    const __m256i g = _mm256_set1_epi16(static_cast<short>(global_alpha));
    const __m256i colour_mask = _mm256_set1_epi32(0x00FFFFFF);
    const __m256 scale = _mm256_set1_ps(255.0f);
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        __m256i sp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + x * 4));
        __m256i source_alpha = _mm256_srli_epi32(sp, 24);
        // Runs of clear or (at full opacity) solid pixels are common in
        // pictures: they leave the target as it was or replace it outright.
        if (_mm256_testz_si256(source_alpha, source_alpha)) continue;
        if (full_opacity &&
            _mm256_movemask_epi8(_mm256_cmpeq_epi32(source_alpha, _mm256_set1_epi32(255))) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x * 4), sp);
            continue;
        }
        __m256i dp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + x * 4));
        __m256 alpha = _mm256_cvtepi32_ps(source_alpha);
        __m256i a32 = _mm256_cvttps_epi32(_mm256_sqrt_ps(_mm256_mul_ps(alpha, scale)));
        // Per 128-bit lane: A0 A1 A2 A3 A0 A1 A2 A3 (lanes stay apart in AVX2 packs).
        __m256i a16 = _mm256_packs_epi32(a32, a32);
        if (!full_opacity)
            a16 = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(a16, g), div255), 7);
        __m256i pairs = _mm256_unpacklo_epi16(a16, a16);
        __m256i a_lo = _mm256_unpacklo_epi32(pairs, pairs);
        __m256i a_hi = _mm256_unpackhi_epi32(pairs, pairs);

        __m256i lo = blend_lanes_avx2(_mm256_unpacklo_epi8(sp, zero),
                                      _mm256_unpacklo_epi8(dp, zero), a_lo);
        __m256i hi = blend_lanes_avx2(_mm256_unpackhi_epi8(sp, zero),
                                      _mm256_unpackhi_epi8(dp, zero), a_hi);
        __m256i colour = _mm256_and_si256(_mm256_packus_epi16(lo, hi), colour_mask);
        __m256i a_top = _mm256_slli_epi32(_mm256_unpacklo_epi16(a16, zero), 24);
        __m256i out_alpha = _mm256_or_si256(_mm256_andnot_si256(colour_mask, dp), a_top);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x * 4), _mm256_or_si256(colour, out_alpha));
    }
    blend_row_sse2<full_opacity>(s + x * 4, d + x * 4, w - x, global_alpha);
}

// c * a >> 8 per channel in 16-bit lanes (at most 255 * 254, no overflow).
__attribute__((target("sse2"))) void over_black_row_sse2(const Uint8* s, Uint8* d, int w) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour_mask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i solid = _mm_set1_epi32(255);
    int x = 0;
    for (; x + 4 <= w; x += 4) {
        __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x * 4));
        __m128i a32 = _mm_srli_epi32(sp, 24);
        __m128i a16 = _mm_packs_epi32(a32, a32);
        __m128i pairs = _mm_unpacklo_epi16(a16, a16);
        __m128i a_lo = _mm_unpacklo_epi32(pairs, pairs);
        __m128i a_hi = _mm_unpackhi_epi32(pairs, pairs);
        __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(sp, zero), a_lo), 8);
        __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(sp, zero), a_hi), 8);
        __m128i scaled = _mm_packus_epi16(lo, hi);
        __m128i opaque = _mm_cmpeq_epi32(a32, solid);
        __m128i out = _mm_or_si128(_mm_and_si128(opaque, sp), _mm_andnot_si128(opaque, scaled));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 4), _mm_and_si128(out, colour_mask));
    }
    over_black_pixels(s + x * 4, d + x * 4, w - x);
}

__attribute__((target("avx2"))) void over_black_row_avx2(const Uint8* s, Uint8* d, int w) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i colour_mask = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i solid = _mm256_set1_epi32(255);
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        __m256i sp = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + x * 4));
        __m256i a32 = _mm256_srli_epi32(sp, 24);
        __m256i out;
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a32, solid)) == -1) {
            out = sp;  // the whole player screen: nothing to scale
        } else {
            __m256i a16 = _mm256_packs_epi32(a32, a32);
            __m256i pairs = _mm256_unpacklo_epi16(a16, a16);
            __m256i a_lo = _mm256_unpacklo_epi32(pairs, pairs);
            __m256i a_hi = _mm256_unpackhi_epi32(pairs, pairs);
            __m256i lo =
                _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(sp, zero), a_lo), 8);
            __m256i hi =
                _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(sp, zero), a_hi), 8);
            __m256i scaled = _mm256_packus_epi16(lo, hi);
            __m256i opaque = _mm256_cmpeq_epi32(a32, solid);
            out = _mm256_or_si256(_mm256_and_si256(opaque, sp), _mm256_andnot_si256(opaque, scaled));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x * 4), _mm256_and_si256(out, colour_mask));
    }
    over_black_row_sse2(s + x * 4, d + x * 4, w - x);
}

using RowBlender = void (*)(const Uint8*, Uint8*, int, int);

// Picked once from what the processor running the program offers, never
// from the machine that built it.
struct RowBlenders {
    RowBlender full;
    RowBlender scaled;
    void (*over_black)(const Uint8*, Uint8*, int);
};

RowBlenders pick_row_blenders() {
    if (const char* forced = std::getenv("DISKPLAYER_BLIT")) {
        if (std::strcmp(forced, "scalar") == 0)
            return {blend_pixels<true>, blend_pixels<false>, over_black_pixels};
        if (std::strcmp(forced, "sse2") == 0)
            return {blend_row_sse2<true>, blend_row_sse2<false>, over_black_row_sse2};
    }
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return {blend_row_avx2<true>, blend_row_avx2<false>, over_black_row_avx2};
    return {blend_row_sse2<true>, blend_row_sse2<false>, over_black_row_sse2};
}

#else

struct RowBlenders {
    void (*full)(const Uint8*, Uint8*, int, int);
    void (*scaled)(const Uint8*, Uint8*, int, int);
    void (*over_black)(const Uint8*, Uint8*, int);
};

RowBlenders pick_row_blenders() {
    return {blend_pixels<true>, blend_pixels<false>, over_black_pixels};
}

#endif

const RowBlenders& row_blenders() {
    static const RowBlenders blenders = pick_row_blenders();
    return blenders;
}

void blend_block(const Block& block, int global_alpha) {
    const RowBlenders& blenders = row_blenders();
    auto blend_row = global_alpha == 255 ? blenders.full : blenders.scaled;
    draw_rows_ahead(block.src, block.src_pitch, block.dst, block.dst_pitch, block.w, block.h,
                    [&](const Uint8* s, Uint8* d) { blend_row(s, d, block.w, global_alpha); });
}

// The alpha is the fourth byte of each pixel in memory (little-endian ARGB).
void scale_row_alpha(Uint8* row, int w, unsigned factor) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i colour_mask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i f = _mm_set1_epi32(static_cast<int>(factor));
    for (; x + 4 <= w; x += 4) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x * 4));
        // alpha * factor fits the low 16 bits of each 32-bit lane.
        __m128i scaled = _mm_srli_epi32(_mm_mullo_epi16(_mm_srli_epi32(p, 24), f), 8);
        p = _mm_or_si128(_mm_and_si128(p, colour_mask), _mm_slli_epi32(scaled, 24));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x * 4), p);
    }
#endif
    for (; x < w; ++x) row[x * 4 + 3] = static_cast<Uint8>(row[x * 4 + 3] * factor >> 8);
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
    blend_block(block, global_alpha);
    return 0;
}

int blit_surface(SDL_Surface* src, SDL_Rect* src_rect, SDL_Surface* dst, SDL_Rect* dst_rect) {
    return alpha_blit(src, src_rect, 255, dst, dst_rect);
}

bool can_show_over_black(const SDL_Surface* src, const SDL_Surface* dst, int factor) {
    if (!src || !dst || !src->format || !dst->format || !src->pixels) return false;
    if (factor < 1 || factor > max_enlargement) return false;
    const SDL_PixelFormat* f = dst->format;
    return src->format->BytesPerPixel == 4 && f->BytesPerPixel == 4 &&
           f->Rmask == standard_red_mask && f->Gmask == standard_green_mask &&
           f->Bmask == standard_blue_mask && f->Amask == 0 &&
           static_cast<long>(dst->w) >= static_cast<long>(src->w) * factor &&
           static_cast<long>(dst->h) >= static_cast<long>(src->h) * factor;
}

namespace {

using OverBlack = void (*)(const Uint8*, Uint8*, int);

// One row over black as factor x factor blocks: converted a piece at a time
// into a buffer that stays in the first-level cache, each pixel written
// factor times across, then the block's first row copied to its others,
// pitch apart. Every pixel goes through the same row loop as at size 1.
void over_black_enlarged(OverBlack over_black, const Uint8* s, Uint8* d, std::ptrdiff_t pitch, int w,
                         int factor) {
    constexpr int piece = 128;
    Uint32 shown[piece];
    Uint32* out = reinterpret_cast<Uint32*>(d);
    for (int x = 0; x < w; x += piece) {
        const int n = std::min(piece, w - x);
        over_black(s + x * 4, reinterpret_cast<Uint8*>(shown), n);
        stretch_row(shown, out + x * factor, n, factor);
    }
    repeat_row(d, pitch, static_cast<std::size_t>(w) * factor * 4, factor);
}

}  // namespace

int show_over_black(const SDL_Surface* src, SDL_Surface* dst, const SDL_Rect* area, int factor) {
    if (!can_show_over_black(src, dst, factor)) {
        SDL_SetError("show_over_black: the window's pixel format or size does not fit the canvas'");
        return -1;
    }
    PixelBounds bounds;
    if (!clip_to_picture(area, src->w, src->h, bounds)) return 0;
    const int left = bounds.left, top = bounds.top, right = bounds.right, bottom = bounds.bottom;
    if (SDL_LockSurface(dst) != 0) return -1;
    OverBlack over_black = row_blenders().over_black;
    const int w = right - left;
    const Uint8* from = static_cast<const Uint8*>(src->pixels) + static_cast<std::ptrdiff_t>(top) * src->pitch + left * 4;
    Uint8* to = static_cast<Uint8*>(dst->pixels) + static_cast<std::ptrdiff_t>(top) * factor * dst->pitch +
                static_cast<std::ptrdiff_t>(left) * factor * 4;
    if (factor == 1) {
        draw_rows_ahead(from, src->pitch, to, dst->pitch, w, bottom - top,
                        [&](const Uint8* s, Uint8* d) { over_black(s, d, w); });
    } else {
        const std::ptrdiff_t pitch = dst->pitch;
        draw_rows_ahead(
            from, src->pitch, to, pitch * factor, w, bottom - top,
            [&](const Uint8* s, Uint8* d) { over_black_enlarged(over_black, s, d, pitch, w, factor); });
    }
    SDL_UnlockSurface(dst);
    return 0;
}

int show_pixels_over_black(const SDL_Surface* src, SDL_Surface* dst, const std::vector<Uint32>& indices,
                           int factor) {
    if (!can_show_over_black(src, dst, factor)) {
        SDL_SetError("show_over_black: the window's pixel format or size does not fit the canvas'");
        return -1;
    }
    if (SDL_LockSurface(dst) != 0) return -1;
    const Uint8* from = static_cast<const Uint8*>(src->pixels);
    Uint8* to = static_cast<Uint8*>(dst->pixels);
    const std::size_t n = indices.size();
    if (factor > 1) {
        const Uint32 w = static_cast<Uint32>(src->w);
        const std::ptrdiff_t pitch = dst->pitch;
        // The pixel with this index in src and where its block starts in
        // dst, from one division.
        struct Place {
            const Uint8* pixel;
            Uint8* block;
        };
        auto place_of = [&](Uint32 index) {
            const std::ptrdiff_t y = index / w, x = index - static_cast<Uint32>(y) * w;
            return Place{from + y * src->pitch + x * 4, to + y * factor * pitch + x * factor * 4};
        };
        for (std::size_t i = 0; i < n; ++i) {
            // Scattered blocks, as at size 1: start the misses ahead.
            if (i + pixel_prefetch_distance < n) {
                const Place ahead = place_of(indices[i + pixel_prefetch_distance]);
                __builtin_prefetch(ahead.pixel, 0);
                __builtin_prefetch(ahead.block, 1);
            }
            const Place at = place_of(indices[i]);
            Uint32 shown;
            over_black_pixels(at.pixel, reinterpret_cast<Uint8*>(&shown), 1);
            Uint8* block = at.block;
            for (int k = 0; k < factor; ++k) {
                Uint32* row = reinterpret_cast<Uint32*>(block + k * pitch);
                for (int j = 0; j < factor; ++j) row[j] = shown;
            }
        }
    } else if (dst->pitch == src->pitch) {
        // Rows of the same length: an index is the same offset in both, and
        // the scattered star pixels need no division each.
        for (std::size_t i = 0; i < n; ++i) {
            // Scattered pixels, each on a line neither surface has cached:
            // start the misses of pixels ahead so that they overlap.
            if (i + pixel_prefetch_distance < n) {
                const std::size_t ahead = std::size_t{indices[i + pixel_prefetch_distance]} * 4;
                __builtin_prefetch(from + ahead, 0);
                __builtin_prefetch(to + ahead, 1);
            }
            const std::size_t at = std::size_t{indices[i]} * 4;
            over_black_pixels(from + at, to + at, 1);
        }
    } else {
        const Uint32 w = static_cast<Uint32>(src->w);
        for (Uint32 index : indices)
            over_black_pixels(from + static_cast<std::ptrdiff_t>(index / w) * src->pitch + index % w * 4,
                              to + static_cast<std::ptrdiff_t>(index / w) * dst->pitch + index % w * 4, 1);
    }
    SDL_UnlockSurface(dst);
    return 0;
}

void prefetch_area(const SDL_Surface* s, const SDL_Rect& area, bool for_writing) {
    if (!s || !s->pixels || !s->format) return;
    const int bytes = s->format->BytesPerPixel;
    const int left = std::max<int>(area.x, 0), top = std::max<int>(area.y, 0);
    const int right = std::min<int>(area.x + area.w, s->w), bottom = std::min<int>(area.y + area.h, s->h);
    if (left >= right || top >= bottom) return;
    for (int y = top; y < bottom; ++y)
        prefetch_bytes(static_cast<const char*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch +
                           static_cast<std::ptrdiff_t>(left) * bytes,
                       static_cast<std::ptrdiff_t>(right - left) * bytes, for_writing);
}

void scale_surface_alpha(SDL_Surface* surface, Uint8 factor) {
    if (!surface || !surface->format || surface->format->BytesPerPixel != 4 || factor == 255)
        return;
    if (SDL_LockSurface(surface) != 0) return;
    for (int y = 0; y < surface->h; ++y) {
        Uint8* row = static_cast<Uint8*>(surface->pixels) +
                     static_cast<std::ptrdiff_t>(y) * surface->pitch;
        scale_row_alpha(row, surface->w, factor);
    }
    SDL_UnlockSurface(surface);
}
