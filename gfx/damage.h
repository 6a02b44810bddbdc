// The parts of a picture drawn since they were last shown. The canvas
// records every drawing operation here, so that presentation converts and
// sends only those parts: a player frame changes a few tens of thousands of
// the window's 256 000 pixels (the scroller's strip, the spectrum, two star
// layers of some 700 scattered pixels each).
//
// Records only grow between two calls of clear; past a few hundred rects or
// tens of thousands of pixels, or half the picture's area, the record
// becomes "everything", so a presentation that stalls for a while can never
// make it grow without bound.
#pragma once

#include <SDL.h>

#include <vector>

class Damage {
public:
    static constexpr int band_height = 16;
    static constexpr std::size_t most_rects = 256;
    static constexpr std::size_t most_pixels = 16384;

    // The picture's size; clears the record and marks everything.
    void set_bounds(int w, int h);

    // A drawn rectangle, clipped to the bounds. Empty ones are ignored.
    void add(int x, int y, int w, int h);
    // One pixel written directly, by its index y * width + x.
    void add_pixel(Uint32 index);
    void add_everything() { everything = true; }

    bool is_everything() const { return everything; }
    bool is_empty() const { return !everything && rects.empty() && pixels.empty(); }
    const std::vector<SDL_Rect>& drawn_rects() const { return rects; }
    const std::vector<Uint32>& drawn_pixels() const { return pixels; }
    // What to send to the window system: per band of rows, the span of
    // columns the rects and single pixels reach there. The whole picture
    // when everything is marked.
    void update_rects(std::vector<SDL_Rect>& out) const;

    // Starts a new record, of nothing.
    void clear();

private:
    int width = 0;
    int height = 0;
    bool everything = true;
    long area = 0;
    std::vector<SDL_Rect> rects;
    std::vector<Uint32> pixels;
};
