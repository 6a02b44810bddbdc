#include "widgets/quorrel_spectrum.h"

#include "gfx/blit.h"
#include "gfx/misc.h"
#include "widgets/image.h"

#include <cassert>
#include <cstring>

namespace {

// Top-left corners of the 39 pictures along the arc, frame 0 first.
constexpr QuorrelSpectrum::Position positions[QuorrelSpectrum::band_count] = {
    {522, 390}, {514, 380}, {506, 370}, {499, 361}, {491, 352}, {483, 343}, {476, 335},
    {468, 327}, {460, 319}, {451, 311}, {443, 304}, {435, 297}, {426, 290}, {419, 284},
    {410, 278}, {401, 272}, {391, 266}, {381, 260}, {371, 255}, {360, 250}, {350, 246},
    {339, 242}, {326, 238}, {307, 234}, {269, 231}, {265, 228}, {235, 231}, {222, 236},
    {209, 240}, {200, 245}, {192, 250}, {183, 255}, {175, 261}, {167, 267}, {158, 274},
    {149, 282}, {139, 291}, {129, 302}, {97, 314},
};

}  // namespace

QuorrelSpectrum::QuorrelSpectrum(Image* background, int extra_flags)
    : background(background), frames(band_count)
{
    flags.fetch_or(extra_flags);
    std::memset(levels, 0, sizeof levels);
    for (int i = 0; i < band_count; ++i)
        frames[i].set_surface(convert_surface(load_png(frame_name(i))));
}

std::string QuorrelSpectrum::frame_name(int i)
{
    assert(i >= 0 && i < band_count);
    std::string name = "res/spec__.png";
    int n = i + 1;
    name[8] = char('0' + n / 10);
    name[9] = char('0' + n % 10);
    return name;
}

QuorrelSpectrum::Position QuorrelSpectrum::frame_position(int i)
{
    assert(i >= 0 && i < band_count);
    return positions[i];
}

void QuorrelSpectrum::draw(Graphics& target)
{
    // Some 500 short rows in three pictures, which the cache has lost
    // between two frames: asked for all at once, their misses overlap.
    for (int i = 0; i < band_count; ++i) {
        const Graphics& frame = frames[i];
        SDL_Rect area{Sint16(positions[i].x), Sint16(positions[i].y), frame.rect.w, frame.rect.h};
        if (background)
            prefetch_area(background->picture().surface, area, false);
        prefetch_area(target.surface, area, true);
        prefetch_area(frame.surface, frame.rect, false);
    }
    for (int i = 0; i < band_count; ++i) {
        Graphics& frame = frames[i];
        frame.set_alpha(levels[band_count - 1 - i]);
        SDL_Rect destination{Sint16(positions[i].x), Sint16(positions[i].y), frame.rect.w, frame.rect.h};
        // Frames overlap along the arc: each restore also erases the part of
        // the previous frame under this one, so the order matters.
        if (background)
            background->restore_region(target, destination);
        SDL_Rect source = frame.rect;
        target.blit(frame, &source, &destination);
    }
}
