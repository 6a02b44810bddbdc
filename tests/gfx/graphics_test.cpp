#include "gfx/graphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

Uint32 pixel_at(SDL_Surface* s, int x, int y) {
    return static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x];
}

TEST(GraphicsCopy, empty_copy_keeps_rect_and_alpha_but_never_owns) {
    Graphics from;
    from.set_alpha(static_cast<Uint8>(100));
    from.set_rect(1, 2, 3, 4);
    from.owned = true;
    Graphics copy(from);
    EXPECT_EQ(copy.alpha, 100);
    EXPECT_EQ(copy.rect.x, 1);
    EXPECT_EQ(copy.rect.y, 2);
    EXPECT_EQ(copy.rect.w, 3);
    EXPECT_EQ(copy.rect.h, 4);
    EXPECT_FALSE(copy.owned);
    EXPECT_EQ(copy.surface, nullptr);
    from.owned = false;

    Graphics other;
    other = copy;  // empty into empty: allowed, changes nothing
    EXPECT_EQ(other.alpha, 255);
    EXPECT_EQ(other.rect.w, 0);
}

TEST(GraphicsContractDeathTest, copying_a_full_graphics_stops_the_program) {
    EXPECT_DEATH(
        {
            Graphics g;
            g.create_surface(4, 4);
            Graphics copy(g);
        },
        "from.surface == 0");
}

TEST(GraphicsContractDeathTest, assigning_from_a_full_graphics_stops_the_program) {
    EXPECT_DEATH(
        {
            Graphics full;
            full.create_surface(4, 4);
            Graphics target;
            target = full;
        },
        "left.surface == 0");
}

TEST(GraphicsContractDeathTest, assigning_onto_a_full_graphics_stops_the_program) {
    EXPECT_DEATH(
        {
            Graphics empty;
            Graphics target;
            target.create_surface(4, 4);
            target = empty;
        },
        "const Graphics& Graphics::operator=\\(const Graphics&\\).*`surface == 0");
}

TEST(GraphicsContractDeathTest, second_surface_stops_the_program_with_function_text) {
    EXPECT_DEATH(
        {
            Graphics g;
            g.create_surface(4, 4);
            g.create_surface(4, 4);
        },
        "void Graphics::create_surface\\(int, int\\).*surface == 0");
    EXPECT_DEATH(
        {
            SDL_Surface* s = SDL_CreateRGBSurface(0, 2, 2, 32, 0, 0, 0, 0);
            Graphics g;
            g.set_surface(s);
            g.set_surface(s);
        },
        "void Graphics::set_surface\\(SDL_Surface\\*\\).*surface == 0");
}

TEST(GraphicsContractDeathTest, blitting_into_itself_stops_the_program) {
    EXPECT_DEATH(
        {
            Graphics g;
            g.create_surface(4, 4);
            g.blit(g, nullptr, nullptr);
        },
        "void Graphics::blit\\(Graphics&, SDL_Rect\\*, SDL_Rect\\*\\).*&source != this");
}

TEST(GraphicsOwnership, set_surface_with_null_leaves_the_graphics_empty) {
    Graphics g;
    g.set_rect(5, 6, 7, 8);
    g.set_surface(nullptr);
    EXPECT_EQ(g.surface, nullptr);
    EXPECT_EQ(g.rect.x, 5);
    EXPECT_EQ(g.rect.w, 7);
}

TEST(GraphicsOwnership, adopted_surface_outlives_its_graphics_and_created_one_is_freed) {
    SDL_Surface* s = SDL_CreateRGBSurface(0, 3, 2, 32, 0, 0, 0, 0);
    {
        Graphics g;
        g.set_surface(s);
        EXPECT_EQ(g.rect.w, 3);
        EXPECT_EQ(g.rect.h, 2);
        EXPECT_FALSE(g.owned);
        g.free_surface();
        EXPECT_EQ(g.surface, s);  // adopted surfaces stay
    }
    EXPECT_EQ(s->w, 3);  // still alive (ASan would flag a use after free)
    SDL_FreeSurface(s);
}

TEST(GraphicsOwnership, adopting_after_freeing_an_owned_surface_does_not_free_the_adopted_one) {
    SDL_Surface* s = SDL_CreateRGBSurface(0, 3, 2, 32, 0, 0, 0, 0);
    {
        Graphics g;
        g.create_surface(4, 4);
        g.free_surface();
        EXPECT_EQ(g.surface, nullptr);
        g.create_surface(2, 2);  // a second creation after free works
        EXPECT_NE(g.surface, nullptr);
        g.free_surface();
        g.set_surface(s);
    }
    EXPECT_EQ(s->h, 2);
    SDL_FreeSurface(s);
}

TEST(GraphicsCreate, new_surface_is_standard_format_and_transparent_black) {
    Graphics g;
    g.create_surface(640, 400);
    ASSERT_NE(g.surface, nullptr);
    EXPECT_TRUE(g.owned);
    EXPECT_EQ(g.surface->format->BytesPerPixel, 4);
    EXPECT_EQ(g.surface->format->Amask, 0xFF000000u);
    EXPECT_EQ(g.surface->format->Rmask, 0x00FF0000u);
    EXPECT_TRUE(g.surface->flags & SDL_SRCALPHA);
    g.clear();
    for (int y = 0; y < 400; y += 57)
        for (int x = 0; x < 640; x += 31) ASSERT_EQ(pixel_at(g.surface, x, y), 0u);
}

// The canvas-sized picture is allocated apart from SDL; SDL must still see
// a per-pixel-alpha surface like any other, and blend from it the same way.
TEST(GraphicsCreate, large_picture_is_the_same_kind_of_surface_as_a_small_one) {
    Graphics large, small;
    large.create_surface(640, 400);
    small.create_surface(640, 200);  // under half a megabyte: SDL's own
    ASSERT_NE(large.surface, nullptr);
    ASSERT_NE(small.surface, nullptr);
    EXPECT_EQ(large.surface->flags & ~Uint32(SDL_PREALLOC), small.surface->flags & ~Uint32(SDL_PREALLOC));
    EXPECT_EQ(large.surface->pitch, 640 * 4);
    EXPECT_EQ(large.surface->format->alpha, small.surface->format->alpha);
    for (int y = 0; y < 400; y += 13)
        for (int x = 0; x < 640; x += 7) ASSERT_EQ(pixel_at(large.surface, x, y), 0u);

    for (Graphics* g : {&large, &small}) {
        for (int x = 0; x < 256; ++x)
            static_cast<Uint32*>(g->surface->pixels)[x] = Uint32(x) << 24 | 0x00C08040u;
    }
    Graphics into_large, into_small;
    into_large.create_surface(256, 1);
    into_small.create_surface(256, 1);
    into_large.fill(10, 200, 30);
    into_small.fill(10, 200, 30);
    SDL_Rect row{0, 0, 256, 1};
    ASSERT_EQ(SDL_BlitSurface(large.surface, &row, into_large.surface, nullptr), 0);
    ASSERT_EQ(SDL_BlitSurface(small.surface, &row, into_small.surface, nullptr), 0);
    for (int x = 0; x < 256; ++x) ASSERT_EQ(pixel_at(into_large.surface, x, 0), pixel_at(into_small.surface, x, 0)) << x;
    EXPECT_NE(pixel_at(into_large.surface, 128, 0), pixel_at(into_large.surface, 0, 0));  // it did blend

    large.free_surface();  // the pixels go with it (the sanitizer build sees a leak)
    EXPECT_EQ(large.surface, nullptr);
}

TEST(GraphicsCreate, failed_creation_leaves_no_size_behind_so_a_retry_works) {
    Graphics g;
    g.create_surface(100000, 16);
    EXPECT_EQ(g.surface, nullptr);
    EXPECT_EQ(g.rect.w, 0);
    EXPECT_EQ(g.rect.h, 0);
    g.create_surface(100, 16);
    ASSERT_NE(g.surface, nullptr);
    EXPECT_EQ(g.rect.w, 100);
}

TEST(GraphicsAlpha, float_alpha_truncates_and_clamps) {
    Graphics g;
    g.set_alpha(1.5f);
    EXPECT_EQ(g.alpha, 255);
    g.set_alpha(-0.1f);
    EXPECT_EQ(g.alpha, 0);
    g.set_alpha(0.5f);
    EXPECT_EQ(g.alpha, 127);
    g.set_alpha(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(g.alpha, 0);
    g.set_alpha(1e30f);
    EXPECT_EQ(g.alpha, 255);
    g.set_alpha(static_cast<Uint8>(51));
    EXPECT_FLOAT_EQ(g.get_alpha(), 0.2f);
}

TEST(GraphicsFill, rgb_fill_is_opaque_and_rgba_fill_keeps_alpha) {
    Graphics g;
    g.create_surface(3, 3);
    g.fill(255, 0, 0);
    EXPECT_EQ(pixel_at(g.surface, 1, 1), 0xFFFF0000u);
    g.fill(1, 2, 3, 4);
    EXPECT_EQ(pixel_at(g.surface, 2, 2), 0x04010203u);
}

TEST(GraphicsFill, fill_trims_a_rect_that_reaches_past_the_surface) {
    Graphics g;
    g.create_surface(10, 10);
    g.set_rect(5, 5, 20, 20);
    g.fill(9, 9, 9);
    EXPECT_EQ(g.rect.w, 5);
    EXPECT_EQ(g.rect.h, 5);
    EXPECT_EQ(pixel_at(g.surface, 4, 4), 0u);
    EXPECT_EQ(pixel_at(g.surface, 9, 9), 0xFF090909u);
}

TEST(GraphicsScaleAlpha, one_leaves_pixels_and_half_turns_255_into_126) {
    Graphics g;
    g.create_surface(2, 1);
    g.fill(10, 20, 30, 255);
    g.scale_alpha(1.0f);
    EXPECT_EQ(pixel_at(g.surface, 0, 0), 0xFF0A141Eu);
    g.scale_alpha(0.5f);  // factor 127
    EXPECT_EQ(pixel_at(g.surface, 0, 0), 0x7E0A141Eu);
    g.scale_alpha(7.0f);  // an overshooting fade is full opacity, not a wrapped factor
    EXPECT_EQ(pixel_at(g.surface, 1, 0) >> 24, 126u);
}

TEST(GraphicsBlit, into_empty_or_with_zero_alpha_draws_nothing) {
    Graphics source;
    source.create_surface(2, 2);
    source.fill(255, 255, 255);
    Graphics empty;
    empty.blit(source, nullptr, nullptr);  // nothing to draw into, no crash

    Graphics target;
    target.create_surface(2, 2);
    source.set_alpha(static_cast<Uint8>(0));
    target.blit(source, nullptr, nullptr);
    EXPECT_EQ(pixel_at(target.surface, 0, 0), 0u);
    source.set_alpha(static_cast<Uint8>(255));
    target.blit(source, nullptr, nullptr);
    EXPECT_EQ(pixel_at(target.surface, 1, 1), 0xFFFFFFFFu);
}

}  // namespace
