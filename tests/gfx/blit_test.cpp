#include "gfx/blit.h"
#include "gfx/enlarge.h"
#include "gfx/graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

SDL_Surface* make_surface(int w, int h) {
    return SDL_CreateRGBSurface(SDL_SRCALPHA, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF,
                                0xFF000000);
}

Uint32& at(SDL_Surface* s, int x, int y) {
    return static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x];
}

void fill_all(SDL_Surface* s, Uint32 value) {
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) at(s, x, y) = value;
}

// The blend written out one pixel at a time, straight from its definition.
Uint32 reference_blend(Uint32 s, Uint32 d, int global_alpha) {
    int a = static_cast<int>(std::floor(std::sqrt(255.0 * (s >> 24))));
    if (global_alpha != 255) a = global_alpha * a / 255;
    Uint32 out = ((d >> 24) | static_cast<Uint32>(a)) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        int sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
        int v = dc + (sc - dc) * a / 255;
        out |= static_cast<Uint32>(v) << shift;
    }
    return out;
}

struct Surfaces {
    SDL_Surface* src;
    SDL_Surface* dst;
    Surfaces(int sw, int sh, int dw, int dh) : src(make_surface(sw, sh)), dst(make_surface(dw, dh)) {}
    ~Surfaces() {
        SDL_FreeSurface(src);
        SDL_FreeSurface(dst);
    }
};

TEST(AlphaCurve, is_the_integer_square_root_of_255_i) {
    const int expected[][2] = {{0, 0},    {1, 15},    {2, 22},    {4, 31},    {16, 63},  {32, 90},
                               {64, 127}, {128, 180}, {192, 221}, {254, 254}, {255, 255}};
    for (const auto& pair : expected) EXPECT_EQ(alpha_curve[pair[0]], pair[1]) << pair[0];
    for (int i = 0; i < 256; ++i) {
        int r = alpha_curve[i];
        EXPECT_LE(r * r, 255 * i);
        EXPECT_GT((r + 1) * (r + 1), 255 * i);
    }
}

TEST(AlphaBlitPixels, published_vectors) {
    struct Case {
        Uint32 src, dst;
        Uint8 global;
        Uint32 expected;
    } cases[] = {
        {0x40FFFFFF, 0xFF000000, 255, 0xFF7F7F7F},  // white alpha 64 over opaque black
        {0x40FFFFFF, 0x00000000, 255, 0x7F7F7F7F},  // over transparent black: alpha 127
        {0x40000000, 0xFFFFFFFF, 255, 0xFF808080},  // black alpha 64 over opaque white
        {0xFFFFFFFF, 0xFF000000, 128, 0xFF808080},  // global alpha 128
        {0x00123456, 0x80ABCDEF, 255, 0x80ABCDEF},  // alpha 0 leaves the destination
        {0xFF123456, 0x00ABCDEF, 255, 0xFF123456},  // opaque source replaces it
    };
    for (const Case& c : cases) {
        Surfaces s(1, 1, 1, 1);
        at(s.src, 0, 0) = c.src;
        at(s.dst, 0, 0) = c.dst;
        alpha_blit(s.src, nullptr, c.global, s.dst, nullptr);
        EXPECT_EQ(at(s.dst, 0, 0), c.expected) << std::hex << c.src << " over " << c.dst;
    }
}

TEST(AlphaBlitPixels, destination_alpha_is_ored_not_blended) {
    Surfaces s(1, 1, 1, 1);
    at(s.src, 0, 0) = 0x40000000;  // counts as 127
    at(s.dst, 0, 0) = 0x80000000;
    alpha_blit(s.src, nullptr, 255, s.dst, nullptr);
    EXPECT_EQ(at(s.dst, 0, 0) >> 24, 255u);

    at(s.dst, 0, 0) = 0x80000000;
    at(s.src, 0, 0) = 0x01000000;  // alpha 1 counts as 15
    alpha_blit(s.src, nullptr, 18, s.dst, nullptr);  // 18 * 15 / 255 = 1
    EXPECT_EQ(at(s.dst, 0, 0) >> 24, 129u);
}

TEST(AlphaBlitPixels, matches_the_plain_formula_for_every_alpha_and_width) {
    std::srand(7);
    const Uint8 globals[] = {255, 128, 1, 254, 77};
    for (Uint8 global : globals) {
        for (int w = 1; w <= 67; ++w) {
            Surfaces s(w, 4, w + 3, 4);
            std::vector<Uint32> before;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < w; ++x) {
                    Uint32 a = static_cast<Uint32>((x * 4 + y + w) % 256);
                    at(s.src, x, y) = (a << 24) | (std::rand() & 0xFFFFFF);
                }
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < w + 3; ++x) at(s.dst, x, y) = std::rand() * 2654435761u;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < w + 3; ++x) before.push_back(at(s.dst, x, y));
            SDL_Rect to{1, 0, 0, 0};
            alpha_blit(s.src, nullptr, global, s.dst, &to);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < w + 3; ++x) {
                    Uint32 old = before[y * (w + 3) + x];
                    Uint32 want = (x >= 1 && x <= w) ? reference_blend(at(s.src, x - 1, y), old, global)
                                                     : old;
                    ASSERT_EQ(at(s.dst, x, y), want)
                        << "global " << int(global) << " width " << w << " at " << x << "," << y;
                }
        }
    }
}

TEST(AlphaBlitPixels, runs_of_clear_and_solid_pixels_match_the_plain_formula) {
    // Runs long enough to fill whole vector blocks, broken at every offset.
    for (int w = 1; w <= 40; ++w) {
        for (Uint8 global : {Uint8(255), Uint8(200)}) {
            Surfaces s(w, 3, w, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < w; ++x) {
                    Uint32 a = y == 0 ? 0 : y == 1 ? 255 : (x == w / 2 ? 77 : 255);
                    at(s.src, x, y) = a << 24 | static_cast<Uint32>(x * 0x010203 + y);
                    at(s.dst, x, y) = static_cast<Uint32>(0x40302010 + x);
                }
            alpha_blit(s.src, nullptr, global, s.dst, nullptr);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(at(s.dst, x, y),
                              reference_blend(at(s.src, x, y), static_cast<Uint32>(0x40302010 + x),
                                              global))
                        << "width " << w << " row " << y << " x " << x;
        }
    }
}

TEST(AlphaBlitPixels, every_source_alpha_over_every_destination_alpha_never_lowers_alpha) {
    Surfaces s(256, 1, 256, 1);
    for (int da = 0; da < 256; da += 5) {
        for (int sa = 0; sa < 256; ++sa) {
            at(s.src, sa, 0) = static_cast<Uint32>(sa) << 24 | 0x808080;
            at(s.dst, sa, 0) = static_cast<Uint32>(da) << 24 | 0x102030;
        }
        alpha_blit(s.src, nullptr, 255, s.dst, nullptr);
        for (int sa = 0; sa < 256; ++sa) {
            Uint32 got = at(s.dst, sa, 0);
            ASSERT_GE(got >> 24, static_cast<Uint32>(da));
            ASSERT_EQ(got, reference_blend(static_cast<Uint32>(sa) << 24 | 0x808080,
                                           static_cast<Uint32>(da) << 24 | 0x102030, 255));
        }
    }
}

TEST(AlphaBlitClipping, negative_source_x_shifts_the_destination) {
    Surfaces s(20, 1, 40, 1);
    for (int x = 0; x < 20; ++x) at(s.src, x, 0) = 0xFF000000u | static_cast<Uint32>(x + 1);
    SDL_Rect from{-5, 0, 20, 1};
    SDL_Rect to{10, 0, 0, 0};
    alpha_blit(s.src, &from, 255, s.dst, &to);
    EXPECT_EQ(at(s.dst, 14, 0), 0u);
    EXPECT_EQ(at(s.dst, 15, 0), 0xFF000001u);  // source column 0 lands at x 15
    EXPECT_EQ(at(s.dst, 29, 0), 0xFF00000Fu);  // 15 columns in all
    EXPECT_EQ(at(s.dst, 30, 0), 0u);
    EXPECT_EQ(from.x, -5);  // the caller's rectangles are never written
    EXPECT_EQ(to.x, 10);
}

TEST(AlphaBlitClipping, negative_destination_x_skips_source_columns) {
    Surfaces s(20, 1, 20, 1);
    for (int x = 0; x < 20; ++x) at(s.src, x, 0) = 0xFF000000u | static_cast<Uint32>(x + 1);
    SDL_Rect to{-10, 0, 0, 0};
    alpha_blit(s.src, nullptr, 255, s.dst, &to);
    EXPECT_EQ(at(s.dst, 0, 0), 0xFF00000Bu);  // source column 10
    EXPECT_EQ(at(s.dst, 9, 0), 0xFF000014u);
    EXPECT_EQ(at(s.dst, 10, 0), 0u);
}

TEST(AlphaBlitClipping, clip_rectangle_edges_are_exact) {
    Surfaces s(4, 4, 10, 10);
    fill_all(s.src, 0xFFFFFFFF);
    SDL_Rect clip{2, 3, 5, 4};
    SDL_SetClipRect(s.dst, &clip);
    SDL_Rect to{0, 0, 0, 0};
    alpha_blit(s.src, nullptr, 255, s.dst, &to);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 4 && y >= 3 && y < 4;
            ASSERT_EQ(at(s.dst, x, y), inside ? 0xFFFFFFFFu : 0u) << x << "," << y;
        }
    // Right and bottom limits: the block ends at the clip rectangle's far edge.
    fill_all(s.dst, 0);
    SDL_Rect far{5, 5, 0, 0};
    alpha_blit(s.src, nullptr, 255, s.dst, &far);
    EXPECT_EQ(at(s.dst, 6, 6), 0xFFFFFFFFu);
    EXPECT_EQ(at(s.dst, 7, 6), 0u);
    EXPECT_EQ(at(s.dst, 6, 7), 0u);
}

TEST(AlphaBlitClipping, source_rectangle_past_the_source_is_trimmed) {
    Surfaces s(4, 4, 10, 10);
    fill_all(s.src, 0xFFFFFFFF);
    SDL_Rect from{2, 2, 100, 100};
    alpha_blit(s.src, &from, 255, s.dst, nullptr);
    EXPECT_EQ(at(s.dst, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(at(s.dst, 2, 1), 0u);
    EXPECT_EQ(at(s.dst, 1, 2), 0u);
}

TEST(AlphaBlitClipping, block_outside_the_clip_rectangle_draws_nothing) {
    Surfaces s(4, 4, 10, 10);
    fill_all(s.src, 0xFFFFFFFF);
    SDL_Rect places[] = {{10, 0, 0, 0}, {-4, 0, 0, 0}, {0, 10, 0, 0}, {0, -4, 0, 0}};
    for (SDL_Rect& to : places) {
        EXPECT_EQ(alpha_blit(s.src, nullptr, 255, s.dst, &to), 0);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) ASSERT_EQ(at(s.dst, x, y), 0u);
    }
}

TEST(AlphaBlitErrors, zero_global_alpha_returns_before_any_check) {
    SDL_SetError("untouched");
    EXPECT_EQ(alpha_blit(nullptr, nullptr, 0, nullptr, nullptr), 0);
    EXPECT_STREQ(SDL_GetError(), "untouched");
}

TEST(AlphaBlitErrors, null_locked_and_non_32_bit_surfaces_draw_nothing) {
    Surfaces s(2, 2, 2, 2);
    fill_all(s.src, 0xFFFFFFFF);
    EXPECT_EQ(alpha_blit(nullptr, nullptr, 255, s.dst, nullptr), -1);
    EXPECT_STREQ(SDL_GetError(), "SDL_UpperBlit: passed a NULL surface");

    SDL_LockSurface(s.src);
    EXPECT_EQ(alpha_blit(s.src, nullptr, 255, s.dst, nullptr), -1);
    EXPECT_STREQ(SDL_GetError(), "Surfaces must not be locked during blit");
    SDL_UnlockSurface(s.src);
    EXPECT_EQ(at(s.dst, 0, 0), 0u);

    SDL_Surface* small = SDL_CreateRGBSurface(0, 2, 2, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_EQ(alpha_blit(s.src, nullptr, 255, small, nullptr), -1);
    EXPECT_EQ(alpha_blit(small, nullptr, 255, s.dst, nullptr), -1);
    EXPECT_EQ(at(s.dst, 1, 1), 0u);
    SDL_FreeSurface(small);
}

TEST(ScaleSurfaceAlpha, scales_alpha_only_and_ignores_what_it_cannot_scale) {
    SDL_Surface* s = make_surface(3, 1);
    at(s, 0, 0) = 0xFF123456;
    at(s, 1, 0) = 0x01ABCDEF;
    at(s, 2, 0) = 0x80000000;
    scale_surface_alpha(s, 255);
    EXPECT_EQ(at(s, 0, 0), 0xFF123456u);
    scale_surface_alpha(s, 128);
    EXPECT_EQ(at(s, 0, 0), 0x7F123456u);
    EXPECT_EQ(at(s, 1, 0), 0x00ABCDEFu);
    EXPECT_EQ(at(s, 2, 0), 0x40000000u);
    scale_surface_alpha(nullptr, 0);
    SDL_FreeSurface(s);

    SDL_Surface* rgb = SDL_CreateRGBSurface(0, 2, 1, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    std::memset(rgb->pixels, 0xEE, rgb->pitch);
    scale_surface_alpha(rgb, 0);
    EXPECT_EQ(static_cast<Uint8*>(rgb->pixels)[2], 0xEE);
    SDL_FreeSurface(rgb);
}

TEST(ScaleSurfaceAlpha, every_alpha_and_factor_matches_the_formula) {
    SDL_Surface* s = make_surface(256, 1);
    for (int factor = 0; factor < 255; factor += 3) {
        for (int a = 0; a < 256; ++a) at(s, a, 0) = static_cast<Uint32>(a) << 24 | 0x00C0FFEE;
        scale_surface_alpha(s, static_cast<Uint8>(factor));
        for (int a = 0; a < 256; ++a)
            ASSERT_EQ(at(s, a, 0), static_cast<Uint32>(a * factor / 256) << 24 | 0x00C0FFEE);
    }
    SDL_FreeSurface(s);
}

}  // namespace

namespace {

// SDL's own answer: its per-pixel-alpha blit onto a cleared 32-bit window.
SDL_Surface* shown_by_sdl(SDL_Surface* canvas) {
    SDL_Surface* window = SDL_CreateRGBSurface(0, canvas->w, canvas->h, 32, 0x00FF0000,
                                               0x0000FF00, 0x000000FF, 0);
    SDL_FillRect(window, nullptr, 0);
    SDL_UpperBlit(canvas, nullptr, window, nullptr);
    return window;
}

TEST(ShowOverBlack, gives_what_sdl_blends_onto_black_for_every_alpha_and_channel) {
    // Row a holds alpha a; columns walk every channel value, in every channel.
    SDL_Surface* canvas = make_surface(256, 256);
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c)
            at(canvas, c, a) = static_cast<Uint32>(a) << 24 | static_cast<Uint32>(c) << 16 |
                               static_cast<Uint32>(255 - c) << 8 | static_cast<Uint32>(c ^ 0x5A);
    SDL_Surface* expected = shown_by_sdl(canvas);
    SDL_Surface* window = SDL_CreateRGBSurface(0, 256, 256, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    fill_all(window, 0x12345678);  // whatever the last frame left
    ASSERT_EQ(show_over_black(canvas, window), 0);
    int wrong = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            if (at(window, x, y) != at(expected, x, y) && ++wrong < 5)
                ADD_FAILURE() << "alpha " << y << " column " << x << ": " << std::hex
                              << at(window, x, y) << " vs SDL " << at(expected, x, y);
    EXPECT_EQ(wrong, 0);
    SDL_FreeSurface(window);
    SDL_FreeSurface(expected);
    SDL_FreeSurface(canvas);
}

TEST(ShowOverBlack, every_width_matches_sdl_so_no_row_tail_is_lost) {
    std::srand(5);
    for (int w = 1; w <= 67; ++w) {
        SDL_Surface* canvas = make_surface(w, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) {
                Uint32 alpha = std::rand() % 3 == 0 ? 255u : static_cast<Uint32>(std::rand() & 0xFF);
                at(canvas, x, y) = alpha << 24 | (std::rand() & 0xFFFFFF);
            }
        SDL_Surface* expected = shown_by_sdl(canvas);
        // A wider window: what lies right of the canvas stays as it was.
        SDL_Surface* window = SDL_CreateRGBSurface(0, w + 5, 3, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
        fill_all(window, 0x00ABCDEF);
        ASSERT_EQ(show_over_black(canvas, window), 0);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(at(window, x, y), at(expected, x, y)) << "width " << w << " x " << x;
            for (int x = w; x < w + 5; ++x) ASSERT_EQ(at(window, x, y), 0x00ABCDEFu);
        }
        SDL_FreeSurface(window);
        SDL_FreeSurface(expected);
        SDL_FreeSurface(canvas);
    }
}

TEST(ShowOverBlack, single_pixels_land_where_their_index_says_in_any_window_width) {
    std::srand(9);
    SDL_Surface* canvas = make_surface(8, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) at(canvas, x, y) = static_cast<Uint32>(std::rand()) << 8 | (std::rand() & 0xFF);
    SDL_Surface* expected = shown_by_sdl(canvas);
    const std::vector<Uint32> picked = {0, 7, 8, 13, 40, 47};
    for (int width : {8, 13}) {  // rows as long as the canvas', and longer
        SDL_Surface* window = SDL_CreateRGBSurface(0, width, 6, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
        fill_all(window, 0x00ABCDEF);
        ASSERT_EQ(show_pixels_over_black(canvas, window, picked), 0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < width; ++x) {
                bool chosen = x < 8 && std::find(picked.begin(), picked.end(), Uint32(y * 8 + x)) != picked.end();
                EXPECT_EQ(at(window, x, y), chosen ? at(expected, x, y) : 0x00ABCDEFu)
                    << "width " << width << " at " << x << "," << y;
            }
        SDL_FreeSurface(window);
    }
    SDL_FreeSurface(expected);
    SDL_FreeSurface(canvas);
}

TEST(ShowOverBlack, enlarged_in_one_pass_is_the_enlargement_of_the_picture_at_size_one) {
    // Rows longer than the pieces the enlarged pass converts at a time.
    std::srand(11);
    const int w = 301, h = 7;
    SDL_Surface* canvas = make_surface(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            at(canvas, x, y) = (std::rand() % 3 == 0 ? 255u : std::rand() & 0xFFu) << 24 | (std::rand() & 0xFFFFFF);
    SDL_Surface* size_one = SDL_CreateRGBSurface(0, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    ASSERT_EQ(show_over_black(canvas, size_one), 0);
    const SDL_Rect part = {129, 2, 150, 4};
    const std::vector<Uint32> picked = {0, 300, 3 * 301 + 7, 7 * 301 - 1};
    for (int factor = 2; factor <= 3; ++factor) {
        // Wider than the enlarged picture: rows and pitch longer than its own.
        SDL_Surface* window = SDL_CreateRGBSurface(0, w * factor + 5, h * factor, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
        SDL_Surface* expected = SDL_CreateRGBSurface(0, w * factor + 5, h * factor, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
        for (int step = 0; step < 3; ++step) {
            fill_all(window, 0x00ABCDEF);
            fill_all(expected, 0x00ABCDEF);
            if (step == 0) {
                ASSERT_EQ(show_over_black(canvas, window, nullptr, factor), 0);
                ASSERT_EQ(enlarge(size_one, expected, factor), 0);
            } else if (step == 1) {
                ASSERT_EQ(show_over_black(canvas, window, &part, factor), 0);
                ASSERT_EQ(enlarge(size_one, expected, factor, &part), 0);
            } else {
                ASSERT_EQ(show_pixels_over_black(canvas, window, picked, factor), 0);
                for (Uint32 index : picked) {
                    const SDL_Rect one = {Sint16(index % w), Sint16(index / w), 1, 1};
                    ASSERT_EQ(enlarge(size_one, expected, factor, &one), 0);
                }
            }
            for (int y = 0; y < window->h; ++y)
                for (int x = 0; x < window->w; ++x)
                    ASSERT_EQ(at(window, x, y), at(expected, x, y)) << "factor " << factor << ", step " << step << ", at " << x << "," << y;
        }
        // A window too small for the factor is refused, untouched.
        EXPECT_EQ(show_over_black(canvas, size_one, nullptr, factor), -1);
        EXPECT_EQ(show_pixels_over_black(canvas, window, picked, factor + 2), -1);
        EXPECT_EQ(at(window, 0, 0), at(expected, 0, 0));
        SDL_FreeSurface(expected);
        SDL_FreeSurface(window);
    }
    SDL_FreeSurface(size_one);
    SDL_FreeSurface(canvas);
}

TEST(ShowOverBlack, refuses_windows_it_cannot_write_directly) {
    SDL_Surface* canvas = make_surface(8, 8);
    fill_all(canvas, 0xFF102030);
    SDL_Surface* rgb565 = SDL_CreateRGBSurface(0, 8, 8, 16, 0xF800, 0x07E0, 0x001F, 0);
    SDL_Surface* bgr = SDL_CreateRGBSurface(0, 8, 8, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0);
    SDL_Surface* with_alpha = make_surface(8, 8);
    SDL_Surface* small = SDL_CreateRGBSurface(0, 7, 8, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    for (SDL_Surface* window : {rgb565, bgr, with_alpha, small}) {
        std::vector<Uint8> before(static_cast<const Uint8*>(window->pixels),
                                  static_cast<const Uint8*>(window->pixels) + window->pitch * window->h);
        EXPECT_EQ(show_over_black(canvas, window), -1);
        EXPECT_EQ(std::memcmp(before.data(), window->pixels, before.size()), 0);
        SDL_FreeSurface(window);
    }
    EXPECT_EQ(show_over_black(nullptr, canvas), -1);
    EXPECT_EQ(show_over_black(canvas, nullptr), -1);
    SDL_FreeSurface(canvas);
}

}  // namespace
