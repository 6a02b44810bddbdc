#include "gfx/damage.h"

#include <algorithm>

void Damage::set_bounds(int w, int h) {
    width = std::max(w, 0);
    height = std::max(h, 0);
    clear();
    everything = true;
}

void Damage::add(int x, int y, int w, int h) {
    if (everything) return;
    // In wide integers: the callers' rectangles come from Sint16 and Uint16
    // fields and may lie far outside the picture.
    long left = std::max<long>(x, 0), top = std::max<long>(y, 0);
    long right = std::min<long>(static_cast<long>(x) + w, width);
    long bottom = std::min<long>(static_cast<long>(y) + h, height);
    if (left >= right || top >= bottom) return;
    SDL_Rect r{static_cast<Sint16>(left), static_cast<Sint16>(top),
               static_cast<Uint16>(right - left), static_cast<Uint16>(bottom - top)};
    // A restore and the drawing over it come one after the other.
    if (!rects.empty()) {
        const SDL_Rect& last = rects.back();
        if (last.x == r.x && last.y == r.y && last.w == r.w && last.h == r.h) return;
    }
    area += static_cast<long>(r.w) * r.h;
    if (rects.size() == most_rects || area > static_cast<long>(width) * height / 2) {
        everything = true;
        return;
    }
    rects.push_back(r);
}

void Damage::add_pixel(Uint32 index) {
    if (everything) return;
    if (index >= static_cast<Uint32>(width) * static_cast<Uint32>(height)) return;
    if (pixels.size() == most_pixels) {
        everything = true;
        return;
    }
    pixels.push_back(index);
}

void Damage::update_rects(std::vector<SDL_Rect>& out) const {
    out.clear();
    if (width == 0 || height == 0) return;
    if (everything) {
        out.push_back(SDL_Rect{0, 0, static_cast<Uint16>(width), static_cast<Uint16>(height)});
        return;
    }
    // One span per band of rows: each rectangle costs a request of its own,
    // and the star pixels make most bands wide anyway.
    int bands = (height + band_height - 1) / band_height;
    std::vector<int> left(bands, width), right(bands, 0);
    auto widen = [&](int band, int from, int to) {
        left[band] = std::min(left[band], from);
        right[band] = std::max(right[band], to);
    };
    for (const SDL_Rect& r : rects)
        for (int band = r.y / band_height; band <= (r.y + r.h - 1) / band_height; ++band)
            widen(band, r.x, r.x + r.w);
    // The star field records its pixels in rising order, a layer at a time,
    // a row or two apart: stepping the row forward finds most pixels' rows
    // without a division; a step back (the next layer) or a long jump divides.
    const Uint32 w = static_cast<Uint32>(width);
    Uint32 row = 0, row_start = 0;
    for (Uint32 index : pixels) {
        if (index < row_start || index - row_start >= 4 * w) {
            row = index / w;
            row_start = row * w;
        }
        while (index - row_start >= w) {
            ++row;
            row_start += w;
        }
        const int x = static_cast<int>(index - row_start);
        widen(static_cast<int>(row) / band_height, x, x + 1);
    }
    for (int band = 0; band < bands; ++band) {
        if (left[band] >= right[band]) continue;
        int top = band * band_height;
        out.push_back(SDL_Rect{static_cast<Sint16>(left[band]), static_cast<Sint16>(top),
                               static_cast<Uint16>(right[band] - left[band]),
                               static_cast<Uint16>(std::min(band_height, height - top))});
    }
}

void Damage::clear() {
    everything = false;
    area = 0;
    rects.clear();
    pixels.clear();
}
