// Software surfaces for the widget and font tests: standard-format pictures
// built in memory, pixel access, and a bitmap font whose glyphs can be read
// back from what it drew.
#pragma once

#include "gfx/graphics.h"

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

inline SurfacePtr make_surface(int w, int h, Uint32 fill = 0)
{
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SRCALPHA, w, h, 32, standard_red_mask,
                                          standard_green_mask, standard_blue_mask,
                                          standard_alpha_mask);
    if (s) {
        Uint32* p = static_cast<Uint32*>(s->pixels);
        for (int i = 0; i < w * h; ++i)
            p[i] = fill;
    }
    return SurfacePtr(s);
}

inline Uint32& pixel_at(SDL_Surface* s, int x, int y)
{
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch)[x];
}

inline Uint32 argb(unsigned a, unsigned r, unsigned g, unsigned b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A font picture with glyph k widths[k] wide, every glyph pixel opaque with
// red = k + 1 so that a drawn line can be decoded column by column. Row 0
// holds one marker at the first column after each glyph.
inline SurfacePtr make_font_picture(const std::vector<int>& widths, int height)
{
    int total = 0;
    for (int w : widths)
        total += w;
    SurfacePtr s = make_surface(total + 1, height);
    int x = 0;
    for (std::size_t k = 0; k < widths.size(); ++k) {
        for (int c = x; c < x + widths[k]; ++c)
            for (int y = 1; y < height; ++y)
                pixel_at(s.get(), c, y) = argb(255, unsigned(k + 1), 0, 0);
        x += widths[k];
        pixel_at(s.get(), x, 0) = argb(0, 0, 0, 1);  // a marker: colour bits, no alpha
    }
    return s;
}

// Reads back the glyphs drawn on row y from column x on: each glyph's red
// value names it, and the known widths say where the next one starts.
inline std::string decode_line(SDL_Surface* s, const std::vector<int>& widths, int x, int y)
{
    std::string text;
    while (x < s->w) {
        unsigned red = (pixel_at(s, x, y) >> 16) & 0xFF;
        if (red == 0 || red > widths.size())
            break;
        text += char(32 + red - 1);
        x += widths[red - 1];
    }
    return text;
}
