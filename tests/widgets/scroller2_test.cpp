#include "widgets/scroller2.h"

#include "gfx/font.h"
#include "widgets/surface_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every glyph 4 px wide, space included; line height 4.
class ScrollerTest : public ::testing::Test {
protected:
    static Font loaded(SDL_Surface* picture)
    {
        Font f;
        f.load(picture);
        return f;
    }

    void tick(int n)
    {
        for (int i = 0; i < n; ++i)
            scroller.update();
    }

    std::vector<int> widths = std::vector<int>(91, 4);
    SurfacePtr picture = make_font_picture(widths, 5);
    Font font = loaded(picture.get());  // before the scroller, as at start-up
    Scroller2 scroller{&font, 640, 90};
};

}  // namespace

TEST_F(ScrollerTest, construction_sizes_to_the_line_and_moves_3_px_a_tick_left)
{
    EXPECT_EQ(scroller.rect.w, 640);
    EXPECT_EQ(scroller.rect.h, 4);
    EXPECT_EQ(scroller.speed, -3.0f);
    EXPECT_EQ(scroller.offset, 640.0f);
    EXPECT_FALSE(scroller.test_flag(Widget::interactive));
}

TEST_F(ScrollerTest, fade_out_takes_29_ticks_then_the_text_enters_at_full_opacity)
{
    scroller.set_text("abc");
    for (int k = 1; k <= 28; ++k) {
        scroller.update();
        ASSERT_EQ(scroller.text_picture.alpha, 255 - 9 * k) << "tick " << k;
        ASSERT_EQ(scroller.rendered_width, 0) << "tick " << k;
    }
    scroller.update();
    EXPECT_EQ(scroller.text_picture.alpha, 255);
    EXPECT_EQ(scroller.rendered_width, 12);
    EXPECT_EQ(scroller.offset, 637.0f);
    EXPECT_GT(scroller.fade_step, 0.0f);
    ASSERT_NE(scroller.text_picture.surface, nullptr);
    EXPECT_EQ(decode_line(scroller.text_picture.surface, widths, 0, 0), "abc");
}

TEST_F(ScrollerTest, same_text_changes_nothing_not_even_the_fade)
{
    scroller.set_text("abc");
    tick(29);
    scroller.set_text("abc");
    EXPECT_GT(scroller.fade_step, 0.0f);
    tick(1);
    EXPECT_EQ(scroller.text_picture.alpha, 255);
}

TEST_F(ScrollerTest, second_text_during_the_fade_is_the_one_rendered_on_time)
{
    scroller.set_text("abc");
    tick(10);
    scroller.set_text("defgh");
    tick(18);
    EXPECT_EQ(scroller.text_picture.alpha, 3);
    tick(1);
    EXPECT_EQ(scroller.rendered_width, 20);
    EXPECT_EQ(decode_line(scroller.text_picture.surface, widths, 0, 0), "defgh");
}

TEST_F(ScrollerTest, narrower_text_reuses_the_picture_and_clears_the_rest)
{
    scroller.set_text("abcdef");
    tick(29);
    SDL_Surface* first = scroller.text_picture.surface;
    scroller.set_text("ab");
    tick(29);
    EXPECT_EQ(scroller.text_picture.surface, first);
    EXPECT_EQ(scroller.text_picture.rect.w, 24);
    EXPECT_EQ(scroller.rendered_width, 8);
    for (int x = 8; x < 24; ++x)
        EXPECT_EQ(pixel_at(first, x, 1), 0u) << x;
}

TEST_F(ScrollerTest, text_restarts_from_the_right_once_it_has_left_on_the_left)
{
    scroller.set_text(std::string(50, 'a'));  // 200 px
    tick(29);                                 // offset 637
    tick(279);
    EXPECT_EQ(scroller.offset, -200.0f);  // still touching the left edge
    tick(1);
    EXPECT_EQ(scroller.offset, 640.0f);
}

TEST_F(ScrollerTest, draw_blits_at_the_offset_with_the_fading_alpha_and_stays_dirty)
{
    Graphics canvas;
    canvas.create_surface(640, 20);
    scroller.set_position(0, 10);
    scroller.set_text("a");
    tick(29);
    tick(100);  // offset 337
    scroller.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 336, 11), 0u);
    EXPECT_EQ(pixel_at(canvas.surface, 337, 11), argb(255, 66, 0, 0));
    EXPECT_EQ(pixel_at(canvas.surface, 340, 13), argb(255, 66, 0, 0));
    EXPECT_TRUE(scroller.test_flag(Widget::dirty));

    scroller.set_text("b");
    tick(1);  // alpha 246: the old text fades where it moves
    canvas.clear();
    scroller.draw(canvas);
    Uint32 faded = pixel_at(canvas.surface, 334, 11);
    EXPECT_EQ(faded >> 24, 246u);  // the global alpha scales the opaque glyph
}

TEST_F(ScrollerTest, empty_text_renders_nothing_and_scrolls_on)
{
    scroller.set_text("abc");
    tick(29);
    scroller.set_text("");
    tick(29);
    EXPECT_EQ(scroller.rendered_width, 0);
    EXPECT_EQ(scroller.offset, 637.0f);
    EXPECT_EQ(pixel_at(scroller.text_picture.surface, 1, 1), 0u);
}

TEST_F(ScrollerTest, text_wider_than_a_surface_can_be_renders_the_words_that_fit)
{
    std::string huge;
    while (huge.size() < 1000000)
        huge += "abcdefg ";  // 32 px a word
    scroller.set_text(huge);
    tick(29);
    ASSERT_NE(scroller.text_picture.surface, nullptr);
    // 511 whole words and their spaces end at 16352; the space there does
    // not count, and the next word would pass 16383.
    EXPECT_EQ(scroller.rendered_width, 16348);
    EXPECT_EQ(scroller.text_picture.rect.w, 16348);
    EXPECT_NE(pixel_at(scroller.text_picture.surface, 16347, 1), 0u);

    // It scrolls out and restarts like any text.
    int ticks = 0;
    while (scroller.offset != 640.0f && ticks < 10000) {
        scroller.update();
        ++ticks;
    }
    EXPECT_EQ(ticks, (637 + 16348) / 3 + 1);

    scroller.set_text("next");
    tick(29);
    EXPECT_EQ(scroller.rendered_width, 16);
    EXPECT_EQ(decode_line(scroller.text_picture.surface, widths, 0, 1), "next");
}

TEST_F(ScrollerTest, one_huge_word_is_cut_inside_to_fit)
{
    scroller.set_text(std::string(5000, 'a') + "\nb");  // 20008 px; the newline does not end it
    tick(29);
    EXPECT_EQ(scroller.rendered_width, 16380);
}

TEST(Scroller2, without_a_font_nothing_is_rendered)
{
    Scroller2 scroller(nullptr, 640, 90);
    scroller.set_text("abc");
    for (int i = 0; i < 29; ++i)
        scroller.update();
    EXPECT_EQ(scroller.rendered_width, 0);
    Graphics canvas;
    canvas.create_surface(10, 10);
    scroller.draw(canvas);
}
