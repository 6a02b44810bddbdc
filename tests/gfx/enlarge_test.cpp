#include "gfx/enlarge.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using SurfacePtr = std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)>;

SurfacePtr make_surface(int w, int h) {
    return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0),
                      SDL_FreeSurface);
}

Uint32 pixel(const SDL_Surface* s, int x, int y) {
    return static_cast<const Uint32*>(s->pixels)[y * (s->pitch / 4) + x];
}

TEST(Enlarge, every_pixel_becomes_a_block_and_only_the_area_is_written) {
    const SurfacePtr src = make_surface(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) static_cast<Uint32*>(src->pixels)[y * (src->pitch / 4) + x] = 0x010203u * (y * 7 + x + 1);
    const SDL_Rect part = {2, 1, 4, 3};
    for (int factor = 1; factor <= max_enlargement; ++factor) {
        for (const SDL_Rect* area : {static_cast<const SDL_Rect*>(nullptr), &part}) {
            // A pitch wider than the rows, as windows have.
            const SurfacePtr dst = make_surface(7 * factor + 3, 5 * factor + 1);
            SDL_FillRect(dst.get(), nullptr, 0xDEADBEEF);
            ASSERT_EQ(enlarge(src.get(), dst.get(), factor, area), 0);
            const SDL_Rect inside = area ? enlarged_rect(*area, factor) : SDL_Rect{0, 0, Uint16(7 * factor), Uint16(5 * factor)};
            for (int y = 0; y < dst->h; ++y)
                for (int x = 0; x < dst->w; ++x) {
                    const bool in = x >= inside.x && x < inside.x + inside.w && y >= inside.y && y < inside.y + inside.h;
                    ASSERT_EQ(pixel(dst.get(), x, y), in ? pixel(src.get(), x / factor, y / factor) : 0xDEADBEEF)
                        << "factor " << factor << " at " << x << "," << y;
                }
        }
    }
}

TEST(Enlarge, refuses_what_it_cannot_write_safely) {
    const SurfacePtr src = make_surface(8, 8);
    const SurfacePtr small = make_surface(15, 16);
    const SurfacePtr fits = make_surface(16, 16);
    SDL_FillRect(small.get(), nullptr, 7);
    EXPECT_EQ(enlarge(src.get(), small.get(), 2), -1);
    EXPECT_EQ(pixel(small.get(), 0, 0), 7u);
    EXPECT_EQ(enlarge(src.get(), fits.get(), 0), -1);
    EXPECT_EQ(enlarge(src.get(), fits.get(), max_enlargement + 1), -1);
    EXPECT_EQ(enlarge(nullptr, fits.get(), 1), -1);
    const SDL_Rect outside = {20, 20, 4, 4};
    EXPECT_EQ(enlarge(src.get(), fits.get(), 2, &outside), 0);
}

}  // namespace
