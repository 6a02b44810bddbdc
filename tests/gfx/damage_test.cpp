#include "gfx/damage.h"
#include "gfx/graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool covered(const std::vector<SDL_Rect>& rects, int x, int y) {
    for (const SDL_Rect& r : rects)
        if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return true;
    return false;
}

TEST(Damage, rects_are_clipped_and_a_repeat_of_the_last_is_dropped) {
    Damage damage;
    damage.set_bounds(640, 400);
    EXPECT_TRUE(damage.is_everything());  // a new record shows everything once
    damage.clear();
    EXPECT_TRUE(damage.is_empty());
    damage.add(-10, 390, 30, 40);
    damage.add(-10, 390, 30, 40);
    damage.add(700, 10, 5, 5);            // wholly outside
    damage.add(-32768, -32768, 65535, 0);  // empty
    damage.add(32000, 0, 65535, 10);
    ASSERT_EQ(damage.drawn_rects().size(), 1u);
    const SDL_Rect& r = damage.drawn_rects()[0];
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 390);
    EXPECT_EQ(r.w, 20);
    EXPECT_EQ(r.h, 10);
}

TEST(Damage, large_or_many_drawings_become_everything_so_the_record_stays_bounded) {
    Damage damage;
    damage.set_bounds(640, 400);
    damage.clear();
    damage.add(0, 0, 640, 201);  // more than half the picture
    EXPECT_TRUE(damage.is_everything());

    damage.clear();
    for (std::size_t i = 0; i <= Damage::most_rects; ++i) damage.add(static_cast<int>(i % 600), 0, 1, 1);
    EXPECT_TRUE(damage.is_everything());
    EXPECT_LE(damage.drawn_rects().size(), Damage::most_rects);

    damage.clear();
    for (std::size_t i = 0; i <= Damage::most_pixels; ++i) damage.add_pixel(static_cast<Uint32>(i));
    EXPECT_TRUE(damage.is_everything());
    EXPECT_LE(damage.drawn_pixels().size(), Damage::most_pixels);

    std::vector<SDL_Rect> sent;
    damage.update_rects(sent);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].w, 640);
    EXPECT_EQ(sent[0].h, 400);
}

TEST(Damage, rects_and_pixels_reach_the_window_system_in_one_span_per_band) {
    Damage damage;
    damage.set_bounds(640, 37);  // the last band is 5 rows high
    damage.clear();
    std::srand(23);
    std::vector<Uint32> drawn;
    for (int i = 0; i < 300; ++i) drawn.push_back(static_cast<Uint32>(std::rand() % (640 * 37)));
    drawn.push_back(640 * 37);  // past the end: ignored
    for (Uint32 index : drawn) damage.add_pixel(index);
    damage.add(5, 5, 2, 2);
    damage.add(600, 10, 30, 20);  // reaches into the second band
    std::vector<SDL_Rect> sent;
    damage.update_rects(sent);
    EXPECT_LE(sent.size(), 3u);  // one request per band
    for (int y = 10; y < 30; ++y) {
        EXPECT_TRUE(covered(sent, 600, y));
        EXPECT_TRUE(covered(sent, 629, y));
    }
    for (Uint32 index : drawn) {
        if (index < 640 * 37) {
            EXPECT_TRUE(covered(sent, index % 640, index / 640)) << index;
        }
    }
    EXPECT_TRUE(covered(sent, 6, 6));
    for (const SDL_Rect& r : sent) EXPECT_LE(r.y + r.h, 37);
}

// Each band's span is exactly the columns its pixels reach, whatever order
// the pixels come in: rising runs like the star layers' (rows stepped
// through), steps back to a new run, long jumps, row ends and row starts.
TEST(Damage, pixel_spans_per_band_are_exact_in_any_order) {
    const int w = 640, h = 400;
    std::vector<std::vector<Uint32>> orders;
    std::srand(5);
    std::vector<Uint32> layers;
    for (int layer = 0; layer < 2; ++layer) {
        Uint32 index = static_cast<Uint32>(std::rand() % 50);
        while (index < static_cast<Uint32>(w * h)) {
            layers.push_back(index);
            index += 1 + static_cast<Uint32>(std::rand() % (3 * w));  // up to three rows on
        }
    }
    orders.push_back(layers);
    orders.push_back({static_cast<Uint32>(w - 1), static_cast<Uint32>(w), static_cast<Uint32>(2 * w - 1),
                      static_cast<Uint32>(17 * w), static_cast<Uint32>(16 * w - 1), 3,
                      static_cast<Uint32>(w * h - 1), static_cast<Uint32>(5 * w + 7)});
    for (const std::vector<Uint32>& pixels : orders) {
        Damage damage;
        damage.set_bounds(w, h);
        damage.clear();
        for (Uint32 index : pixels) damage.add_pixel(index);
        ASSERT_FALSE(damage.is_everything());
        std::vector<int> left(h / Damage::band_height, w), right(h / Damage::band_height, 0);
        for (Uint32 index : pixels) {
            const int band = static_cast<int>(index / w) / Damage::band_height, x = static_cast<int>(index % w);
            left[band] = std::min(left[band], x);
            right[band] = std::max(right[band], x + 1);
        }
        std::vector<SDL_Rect> sent;
        damage.update_rects(sent);
        std::size_t next = 0;
        for (int band = 0; band < h / Damage::band_height; ++band) {
            if (left[band] >= right[band]) continue;
            ASSERT_LT(next, sent.size());
            EXPECT_EQ(sent[next].y, band * Damage::band_height);
            EXPECT_EQ(sent[next].x, left[band]) << "band " << band;
            EXPECT_EQ(sent[next].x + sent[next].w, right[band]) << "band " << band;
            ++next;
        }
        EXPECT_EQ(next, sent.size());
    }
}

// Every pixel a drawing operation on a recorded picture changes lies in the
// record: blits with every kind of clipping, fills and fades.
TEST(Damage, graphics_records_every_pixel_its_drawing_changes) {
    Graphics target;
    target.create_surface(97, 61);
    Damage damage;
    damage.set_bounds(97, 61);
    target.damage = &damage;
    Graphics source;
    source.create_surface(23, 17);
    Uint32* sp = static_cast<Uint32*>(source.surface->pixels);
    for (int i = 0; i < 23 * 17; ++i) sp[i] = 0xFFFFFFFFu;
    SDL_SetClipRect(target.surface, nullptr);
    std::srand(29);
    for (int round = 0; round < 500; ++round) {
        Uint32* tp = static_cast<Uint32*>(target.surface->pixels);
        std::memset(tp, 0, static_cast<std::size_t>(target.surface->pitch) * 61);
        damage.clear();
        SDL_Rect clip{static_cast<Sint16>(std::rand() % 40), static_cast<Sint16>(std::rand() % 30),
                      static_cast<Uint16>(std::rand() % 97), static_cast<Uint16>(std::rand() % 61)};
        SDL_SetClipRect(target.surface, round % 2 ? &clip : nullptr);
        int op = std::rand() % 4;
        if (op < 2) {
            SDL_Rect from{static_cast<Sint16>(std::rand() % 40 - 20), static_cast<Sint16>(std::rand() % 30 - 15),
                          static_cast<Uint16>(std::rand() % 40), static_cast<Uint16>(std::rand() % 30)};
            SDL_Rect to{static_cast<Sint16>(std::rand() % 140 - 40), static_cast<Sint16>(std::rand() % 100 - 30), 0, 0};
            target.blit(source, op == 0 ? &from : nullptr, &to);
        } else if (op == 2) {
            target.set_rect(std::rand() % 120 - 20, std::rand() % 80 - 10, std::rand() % 60, std::rand() % 40);
            target.fill(1, 2, 3, 4);
            target.set_rect(0, 0, 97, 61);
        } else {
            for (int i = 0; i < 97 * 61; ++i) tp[i] = 0xFF000000u;
            damage.clear();
            target.scale_alpha(0.5f);
            EXPECT_TRUE(damage.is_everything());
            continue;
        }
        for (int y = 0; y < 61; ++y)
            for (int x = 0; x < 97; ++x) {
                if (tp[y * 97 + x] != 0 && !damage.is_everything()) {
                    ASSERT_TRUE(covered(damage.drawn_rects(), x, y)) << "round " << round << " op " << op;
                }
            }
    }
}

}  // namespace
