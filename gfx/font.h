// Font: a proportional bitmap font cut from one picture. Row 0 of the picture
// holds marker pixels that end each glyph; rows 1 and below hold the glyphs
// side by side, glyph k showing character code 32 + k. The info box text and
// the scroller are drawn with the three global fonts, loaded once at start-up
// on the main thread and read-only afterwards.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <string_view>

class Graphics;

class Font {
public:
    static constexpr int max_glyphs = 105;  // character codes 32 to 136

    // Empty: no picture, height 0, no glyphs; measures 0 and draws nothing.
    Font();

    // Takes the picture (kept, never freed) and finds the glyphs from its
    // markers; null leaves the font as it was.
    void load(SDL_Surface* picture);
    // The glyph that shows c; every byte without a glyph of its own shows glyph 0.
    unsigned glyph_index(char c) const;
    int line_height() const { return height; }
    // Sum of the glyph widths, added in 64 bits and saturated at INT_MAX.
    int text_width(std::string_view s) const;
    // Characters of s on the first line of at most max_width pixels: it breaks
    // at the last blank that fits, at a newline, or after the glyph that
    // reaches the width inside a word too long for the line.
    std::size_t fit_line(std::string_view s, int max_width) const;
    // Draws s unwrapped with its top-left corner at (x, y) of g's surface;
    // g's rect and alpha play no part.
    void draw_line(Graphics& g, std::string_view s, Sint16 x, Sint16 y) const;
    // Draws text wrapped between margin and g's rect width minus margin,
    // from y down, until the lines leave g's rect.
    void draw_text(Graphics& g, std::string_view text, int margin, int y) const;

private:
    bool empty() const { return surface == nullptr; }

    int glyph_x[max_glyphs];
    int glyph_width[max_glyphs];
    int height;
    int count;
    SDL_Surface* surface;
};

extern Font font_small_blue;   // info box: artist and length
extern Font font_small_white;  // info box: title
extern Font font_big_cyan;     // the scroller

// Loads the three global fonts from the data file; a picture that cannot be
// read leaves its font empty. Main thread, at start-up.
void load_fonts();
