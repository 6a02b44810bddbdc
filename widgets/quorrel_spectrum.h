// QuorrelSpectrum: the spectrum analyser of the player screen. 39 small
// pictures along an arc, each drawn at a fixed canvas position with the
// opacity of one band level; band 0, the lowest, drives the last picture.
// The tick feed writes the levels (decay included) before every tick pass;
// the widget only draws them, restoring the background under each picture
// first.
#pragma once

#include "gfx/graphics.h"
#include "widgets/widget.h"

#include <string>
#include <vector>

class Image;

class QuorrelSpectrum : public Widget {
public:
    static constexpr int band_count = 39;

    // Loads "res/spec01.png" to "res/spec39.png" into the frames; a picture
    // that cannot be read leaves its frame empty. Main thread, at start-up.
    QuorrelSpectrum(Image* background, int extra_flags = 0);

    // The resource name of frame i (0 to 38): "res/spec01.png" for frame 0.
    static std::string frame_name(int i);
    // Canvas position of frame i's top-left corner.
    struct Position { int x, y; };
    static Position frame_position(int i);

    // For each frame in order: the background under it back, then the frame
    // at the level of band 38 - i. Never clears dirty.
    void draw(Graphics& target) override;

    // The spectrum feed overwrites these in place once per tick; 0 is
    // invisible, 255 fully opaque.
    Uint8 levels[band_count];
    Image* background;
    std::vector<Graphics> frames;
};
