#include "gfx/font.h"

#include "gfx/graphics.h"
#include "widgets/surface_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Space 2 px wide, every other glyph 3 px, up to 'z'; line height 4.
std::vector<int> test_widths()
{
    std::vector<int> widths(91, 3);
    widths[0] = 2;
    return widths;
}

struct TestFont {
    std::vector<int> widths = test_widths();
    SurfacePtr picture;
    Font font;

    explicit TestFont(int height = 5) : picture(make_font_picture(widths, height))
    {
        font.load(picture.get());
    }
};

std::string read_line(Graphics& g, const std::vector<int>& widths, int x, int y)
{
    return decode_line(g.surface, widths, x, y);
}

bool row_is_blank(SDL_Surface* s, int y)
{
    for (int x = 0; x < s->w; ++x)
        if (pixel_at(s, x, y) != 0)
            return false;
    return true;
}

}  // namespace

TEST(FontLoad, markers_end_each_glyph_and_column_zero_means_nothing)
{
    SurfacePtr picture = make_surface(20, 3);
    for (int column : {0, 5, 9, 15})
        pixel_at(picture.get(), column, 0) = argb(255, 0, 1, 0);
    // A black pixel is no marker whatever its alpha.
    pixel_at(picture.get(), 12, 0) = argb(255, 0, 0, 0);
    Font font;
    font.load(picture.get());

    EXPECT_EQ(font.text_width(" "), 5);
    EXPECT_EQ(font.text_width("!"), 4);
    EXPECT_EQ(font.text_width("\""), 6);
    EXPECT_EQ(font.glyph_index('"'), 2u);
    EXPECT_EQ(font.glyph_index('#'), 0u);  // past the third glyph
    EXPECT_EQ(font.text_width("#"), 5);
    EXPECT_EQ(font.line_height(), 2);
}

TEST(FontLoad, glyphs_are_cut_from_their_own_columns)
{
    std::vector<int> widths{5, 4, 6};
    SurfacePtr picture = make_font_picture(widths, 3);
    Font font;
    font.load(picture.get());
    Graphics g;
    g.create_surface(40, 4);
    font.draw_line(g, "\" !", 1, 0);
    EXPECT_EQ(read_line(g, widths, 1, 1), "\" !");
    EXPECT_EQ(pixel_at(g.surface, 0, 1), 0u);
    // Row 0 of the picture, the markers, is never drawn; glyph rows start at 0.
    EXPECT_NE(pixel_at(g.surface, 1, 0), 0u);
    EXPECT_EQ(pixel_at(g.surface, 1, 2), 0u);
}

TEST(FontLoad, at_most_105_glyphs_are_recorded)
{
    SurfacePtr picture = make_surface(201, 2);
    for (int column = 1; column <= 200; ++column)
        pixel_at(picture.get(), column, 0) = argb(0, 1, 0, 0);
    Font font;
    font.load(picture.get());
    EXPECT_EQ(font.glyph_index(char(136)), 104u);
    EXPECT_EQ(font.glyph_index(char(137)), 0u);
    EXPECT_EQ(font.text_width(std::string(1, char(136))), 1);
}

TEST(FontLoad, line_height_is_picture_height_minus_one)
{
    TestFont tall(17);
    EXPECT_EQ(tall.font.line_height(), 16);
}

TEST(FontLoad, degenerate_pictures_give_an_empty_measure_and_draw_nothing)
{
    Graphics g;
    g.create_surface(30, 10);
    for (auto size : {std::pair<int, int>{0, 0}, {10, 1}}) {
        SurfacePtr picture = make_surface(size.first, size.second);
        ASSERT_TRUE(picture);
        Font font;
        font.load(picture.get());
        EXPECT_EQ(font.line_height(), 0);
        EXPECT_EQ(font.text_width("hello"), 0);
        font.draw_text(g, "hello world\nagain", 0, 0);
        font.draw_line(g, "hello", 0, 0);
    }
    for (int y = 0; y < 10; ++y)
        EXPECT_TRUE(row_is_blank(g.surface, y));
}

TEST(FontLoad, null_picture_leaves_the_font_as_it_was)
{
    TestFont t;
    t.font.load(nullptr);
    EXPECT_EQ(t.font.line_height(), 4);
    EXPECT_EQ(t.font.text_width("ab"), 6);
}

TEST(FontMeasure, empty_font_and_empty_text_measure_zero)
{
    Font empty;
    EXPECT_EQ(empty.text_width("abc"), 0);
    EXPECT_EQ(empty.line_height(), 0);
    TestFont t;
    EXPECT_EQ(t.font.text_width(""), 0);
    EXPECT_EQ(t.font.text_width("a b"), 8);
}

TEST(FontMeasure, bytes_without_a_glyph_show_the_space)
{
    TestFont t;
    for (char c : {'\t', '\n', char(200), char(31), char(32 + 91)})
        EXPECT_EQ(t.font.glyph_index(c), 0u) << int(static_cast<unsigned char>(c));
    EXPECT_EQ(t.font.glyph_index(char(32 + 90)), 90u);
    EXPECT_EQ(t.font.text_width("a\xC8"), 5);
}

TEST(FontMeasure, text_width_saturates_instead_of_wrapping)
{
    SurfacePtr picture = make_surface(10001, 2);
    pixel_at(picture.get(), 10000, 0) = argb(0, 1, 0, 0);  // one glyph, 10000 px
    Font font;
    font.load(picture.get());
    std::string huge(300000, ' ');  // 3e9 px
    EXPECT_EQ(font.text_width(huge), 2147483647);
}

struct FitCase {
    const char* text;
    int width;
    std::size_t expected;
};

TEST(FontFitLine, breaks_at_the_last_blank_that_fits_or_after_the_glyph_that_fills)
{
    TestFont t;
    const FitCase cases[] = {
        {"", 10, 0},
        {"abc", 0, 0},
        {"abc", -5, 0},
        {"\nabc", 100, 0},
        {"abc", 100, 3},        // fits
        {"abc", 9, 3},          // the last glyph reaches the width: the end still ends the line
        {"abc", 8, 3},          // ... or passes it
        {"abcd", 9, 3},         // a word too long: cut after the glyph that reaches 9
        {"abcd", 8, 3},         // ... or passes it
        {"ab cd", 10, 2},       // "ab " is 8 < 10: break at the space
        {"ab cd", 8, 3},        // "ab " is 8, not below 8: no break, cut after the space glyph
        {"ab cd ef", 17, 5},    // the last space that fits wins
        {"ab\ncd", 100, 2},     // newline
        {"a\tbcdef", 9, 1},     // a tab is a blank
        {"a\xC8" "bcdef", 9, 1}, // so is a byte past the last glyph
        {" abcd", 6, 0},        // a break at position 0 is a break, not "none"
        {"abcd efgh", 12, 4},   // cut exactly at the word end; the space never counted
    };
    for (const FitCase& c : cases)
        EXPECT_EQ(t.font.fit_line(c.text, c.width), c.expected) << '"' << c.text << "\" width " << c.width;
}

class FontDrawText : public ::testing::Test {
protected:
    void SetUp() override { box.create_surface(60, 40); }

    std::string line(int n, int margin = 0) { return read_line(box, t.widths, margin, 1 + 4 * n); }

    TestFont t;  // line height 4
    Graphics box;
};

TEST_F(FontDrawText, newline_starts_the_next_line_and_blank_lines_keep_their_height)
{
    t.font.draw_text(box, "ab\n\ncd\n", 2, 0);
    EXPECT_EQ(line(0, 2), "ab");
    EXPECT_EQ(line(1, 2), "");
    EXPECT_EQ(line(2, 2), "cd");
    for (int y = 12; y < 40; ++y)
        EXPECT_TRUE(row_is_blank(box.surface, y)) << y;  // the trailing newline adds nothing
    EXPECT_EQ(pixel_at(box.surface, 1, 1), 0u);           // margin left free
}

TEST_F(FontDrawText, space_that_ends_a_line_is_drawn_on_neither_line)
{
    box.set_rect(0, 0, 12, 40);  // width 12: "ab " (8) fits, "ab cd" (14) does not
    t.font.draw_text(box, "ab cde", 0, 0);
    EXPECT_EQ(line(0), "ab");
    EXPECT_EQ(line(1), "cde");
    EXPECT_EQ(pixel_at(box.surface, 6, 1), 0u);
    EXPECT_TRUE(row_is_blank(box.surface, 9));
}

TEST_F(FontDrawText, a_word_cut_inside_loses_no_letter)
{
    box.set_rect(0, 0, 12, 40);  // four glyphs a line
    t.font.draw_text(box, "abcdefghij", 0, 0);
    EXPECT_EQ(line(0), "abcd");
    EXPECT_EQ(line(1), "efgh");
    EXPECT_EQ(line(2), "ij");
    EXPECT_TRUE(row_is_blank(box.surface, 13));
}

TEST_F(FontDrawText, a_line_ending_at_a_tab_drops_the_tab_like_a_space)
{
    box.set_rect(0, 0, 15, 40);
    t.font.draw_text(box, "abc\tdefgh", 0, 0);
    EXPECT_EQ(line(0), "abc");
    EXPECT_EQ(line(1), "defgh");
    EXPECT_TRUE(row_is_blank(box.surface, 9));
}

TEST_F(FontDrawText, lines_start_at_y_and_follow_at_the_line_height)
{
    t.font.draw_text(box, "a\nb", 0, 10);
    EXPECT_TRUE(row_is_blank(box.surface, 9));
    EXPECT_EQ(read_line(box, t.widths, 0, 10), "a");
    EXPECT_EQ(read_line(box, t.widths, 0, 13), "a");
    EXPECT_EQ(read_line(box, t.widths, 0, 14), "b");
    EXPECT_TRUE(row_is_blank(box.surface, 18));
}

TEST_F(FontDrawText, margin_of_half_the_width_draws_nothing)
{
    t.font.draw_text(box, "abc def\nghi", 30, 0);
    for (int y = 0; y < 40; ++y)
        EXPECT_TRUE(row_is_blank(box.surface, y));
}

TEST_F(FontDrawText, unknown_bytes_look_like_spaces)
{
    t.font.draw_text(box, "a\xC8" "b", 0, 0);
    EXPECT_EQ(line(0), "a b");
}

TEST(FontHugeText, lines_below_the_box_are_never_drawn_over_the_top)
{
    std::vector<int> widths = test_widths();
    SurfacePtr picture = make_font_picture(widths, 17);  // line height 16: line 4096 lands on y 65536
    Font font;
    font.load(picture.get());

    std::string huge = "a";
    for (int i = 0; i < 5000; ++i)
        huge += "\nb";
    Graphics box;
    box.create_surface(233, 60);
    font.draw_text(box, huge, 0, 0);

    Graphics expected;
    expected.create_surface(233, 60);
    font.draw_text(expected, "a\nb\nb\nb", 0, 0);
    ASSERT_EQ(decode_line(box.surface, widths, 0, 1), "a");
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 233; ++x)
            ASSERT_EQ(pixel_at(box.surface, x, y), pixel_at(expected.surface, x, y)) << x << "," << y;
}

TEST(FontHugeText, a_line_wider_than_16_bits_does_not_wrap_back_over_its_start)
{
    TestFont t;
    Graphics g;
    g.create_surface(100, 5);
    std::string line = "a" + std::string(30000, 'b');  // the 21846th glyph would land on x 65538
    t.font.draw_line(g, line, 0, 0);
    Uint32 a_pixel = pixel_at(g.surface, 0, 1);
    for (int x = 0; x < 3; ++x)
        EXPECT_EQ(pixel_at(g.surface, x, 1), a_pixel) << x;
    EXPECT_EQ(decode_line(g.surface, t.widths, 0, 1).substr(0, 3), "abb");
}
