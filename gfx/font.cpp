#include "gfx/font.h"

#include "gfx/blit.h"
#include "gfx/graphics.h"
#include "gfx/misc.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

Font font_small_blue;
Font font_small_white;
Font font_big_cyan;

void load_fonts()
{
    font_small_blue.load(load_image("res/font_small_blue.png"));
    font_small_white.load(load_image("res/font_small_white.png"));
    font_big_cyan.load(load_image("res/font_big_cyan.png"));
}

Font::Font() : height(0), count(0), surface(nullptr)
{
    // With no marker at all glyph 0 is still read for every character.
    std::memset(glyph_x, 0, sizeof glyph_x);
    std::memset(glyph_width, 0, sizeof glyph_width);
}

void Font::load(SDL_Surface* picture)
{
    if (!picture)
        return;
    surface = picture;
    // A 0-pixel-high picture would otherwise give line height -1.
    height = std::max(0, picture->h - 1);
    count = 0;
    int bytes_per_pixel = picture->format ? picture->format->BytesPerPixel : 0;
    if (picture->h < 1 || bytes_per_pixel < 1 || bytes_per_pixel > 4 || !picture->pixels)
        return;
    Uint32 colour_bits = ~picture->format->Amask;

    if (SDL_MUSTLOCK(picture) && SDL_LockSurface(picture) < 0)
        return;
    const Uint8* row = static_cast<const Uint8*>(picture->pixels);
    int first_column = 0;
    for (int j = 0; j < picture->w && count < max_glyphs; ++j) {
        Uint32 pixel = 0;
        std::memcpy(&pixel, row + j * bytes_per_pixel, bytes_per_pixel);
        if (bytes_per_pixel < 4)
            pixel &= (Uint32(1) << (8 * bytes_per_pixel)) - 1;
        if (j == 0 || (pixel & colour_bits) == 0)
            continue;
        glyph_x[count] = first_column;
        glyph_width[count] = j - first_column;
        first_column = j;
        ++count;
    }
    if (SDL_MUSTLOCK(picture))
        SDL_UnlockSurface(picture);
}

unsigned Font::glyph_index(char c) const
{
    unsigned g = unsigned(static_cast<unsigned char>(c)) - 32u;
    return g < unsigned(count) ? g : 0;
}

int Font::text_width(std::string_view s) const
{
    if (empty())
        return 0;
    std::int64_t sum = 0;
    for (char c : s) {
        sum += glyph_width[glyph_index(c)];
        if (sum >= INT_MAX)
            return INT_MAX;
    }
    return int(sum);
}

std::size_t Font::fit_line(std::string_view s, int max_width) const
{
    if (s.empty() || max_width <= 0 || s[0] == '\n')
        return 0;
    // A break at position 0 (a line that starts with a blank) is a real break,
    // so "none yet" needs a value of its own.
    constexpr std::size_t no_break = std::string_view::npos;
    std::size_t break_at = no_break;
    std::int64_t sum = 0;
    std::size_t i = 0;
    for (;;) {
        unsigned g = glyph_index(s[i]);
        sum += glyph_width[g];
        // Glyph 0 is the blank: spaces, tabs, control bytes and every byte
        // past the last glyph may all end a line.
        if (sum < max_width && g == 0)
            break_at = i;
        ++i;
        if (i == s.size())
            return s.size();
        if (sum >= max_width)
            return break_at != no_break ? break_at : i;
        if (s[i] == '\n')
            return i;
    }
}

void Font::draw_line(Graphics& g, std::string_view s, Sint16 x, Sint16 y) const
{
    if (empty() || !g.surface)
        return;
    SDL_Rect source{0, 1, 0, Uint16(height)};
    int dest_x = x;
    for (char c : s) {
        // Everything further right is clipped anyway; stopping here keeps a
        // huge text from costing time and from wrapping the 16-bit x.
        if (dest_x >= g.surface->w)
            break;
        unsigned k = glyph_index(c);
        source.x = Sint16(glyph_x[k]);
        source.w = Uint16(glyph_width[k]);
        SDL_Rect dest{Sint16(dest_x), y, source.w, Uint16(height)};
        blit_surface(surface, &source, g.surface, &dest);
        dest_x += glyph_width[k];
    }
}

void Font::draw_text(Graphics& g, std::string_view text, int margin, int y) const
{
    if (empty() || text.empty())
        return;
    int line_width = int(g.rect.w) - 2 * margin;
    std::size_t p = 0;
    std::int64_t n = 0;
    while (p < text.size()) {
        std::int64_t line_y = std::int64_t(y) + std::int64_t(height) * n;
        // Lines below the rect are never seen; going on would only let the
        // 16-bit y wrap round and draw them over the top lines.
        if (line_y >= g.rect.h)
            return;
        std::string_view rest = text.substr(p);
        std::size_t length = fit_line(rest, line_width);
        if (length > 0)
            draw_line(g, rest.substr(0, length), Sint16(margin), Sint16(line_y));
        // The blank or newline that ended the line is not drawn; after a cut
        // inside a word the next letter begins the next line, so none is lost.
        // An empty line must still move on by one, or the loop never ends.
        bool skip = length == 0 || length >= rest.size() || glyph_index(rest[length]) == 0;
        p += skip ? length + 1 : length;
        ++n;
    }
}
