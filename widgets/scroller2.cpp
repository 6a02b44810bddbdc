#include "widgets/scroller2.h"

#include "gfx/font.h"

#include <algorithm>
#include <cmath>

Scroller2::Scroller2(const Font* font, int width, int pixels_per_second, int extra_flags)
    : font(font),
      speed(float(pixels_per_second) / -30.0f),
      offset(float(width)),
      fade_step(1.0f / 30.0f),
      rendered_width(0)
{
    flags.fetch_or(extra_flags);
    set_size(width, font ? font->line_height() : 0);
}

void Scroller2::set_text(const std::string& new_text)
{
    if (new_text == text)
        return;
    fade_step = -std::abs(fade_step);
    text = new_text;
}

void Scroller2::update()
{
    if (fade_step < 0.0f) {
        text_picture.set_alpha(text_picture.get_alpha() + fade_step);
        if (text_picture.get_alpha() == 0.0f)
            render();
    }
    offset += speed;
    if (float(int(rect.x) - rendered_width) > offset)
        offset = float(rect.w);
}

void Scroller2::render()
{
    int height = font ? font->line_height() : 0;
    std::string_view shown = text;
    // Every glyph of a font is at least 1 px wide (or, with no glyphs, all
    // are 0), so a text longer than this many bytes never fits: measuring the
    // head alone keeps a 1 MB comment as cheap as a short one.
    std::string_view head = shown.substr(0, max_picture_width + 1);
    rendered_width = font ? font->text_width(head) : 0;
    if (rendered_width > max_picture_width) {
        // A wider picture cannot exist: keep the words that fit. The scroller
        // draws newlines as blanks, so they must not end the prefix early.
        std::string flat(head);
        std::replace(flat.begin(), flat.end(), '\n', ' ');
        std::size_t length = font->fit_line(flat, max_picture_width);
        // Cut inside a word, the line ends after the glyph that reached the
        // width, which may pass it.
        while (length > 0 && font->text_width(shown.substr(0, length)) > max_picture_width)
            --length;
        shown = shown.substr(0, length);
        rendered_width = font->text_width(shown);
    }
    if (rendered_width > text_picture.rect.w && height > 0) {
        text_picture.free_surface();
        text_picture.create_surface(rendered_width, height);
    }
    text_picture.clear();
    text_picture.set_alpha(1.0f);
    if (font)
        font->draw_line(text_picture, shown, 0, 0);
    fade_step = std::abs(fade_step);
    offset = float(rect.w);
}

void Scroller2::draw(Graphics& target)
{
    if (!text_picture.surface)
        return;
    SDL_Rect source = text_picture.rect;
    SDL_Rect destination{Sint16(rect.x + int(offset)), rect.y, 0, 0};
    target.blit(text_picture, &source, &destination);
}
