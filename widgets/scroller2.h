// Scroller2: one line of text running from the right edge of its rect to the
// left, endlessly. A new text first fades the old one out where it stands,
// then enters from the right at full opacity. The text is rendered once into
// a picture of its own and only blitted while it moves. The player screen
// shows the track comment with it; the track-change handler calls set_text.
#pragma once

#include "gfx/graphics.h"
#include "widgets/widget.h"

#include <string>

class Font;

class Scroller2 : public Widget {
public:
    // SDL 1.2 cannot make a 32-bit surface wider than this (16-bit pitch).
    static constexpr int max_picture_width = 16383;

    // width x the font's line height; starts just beyond the right edge.
    Scroller2(const Font* font, int width, int pixels_per_second, int extra_flags = 0);

    // Starts the fade-out towards text; the same text again changes nothing.
    void set_text(const std::string& new_text);

    // Fades, renders the waiting text once the fade reaches 0, then moves.
    void update() override;
    // Blits the rendered text at its offset; never clears dirty, so the
    // scroller is drawn every tick.
    void draw(Graphics& target) override;

    const Font* font;
    float speed;       // pixels per tick, negative to the left
    float offset;      // x of the text's left edge from rect.x
    float fade_step;   // 1/30 at rest, -1/30 while fading out
    int rendered_width;
    Graphics text_picture;

private:
    void render();

    std::string text;
};
