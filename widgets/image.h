// Image: the picture widget. Holds one Graphics drawn whole at the widget's
// rect. The player screen uses one as the background (kept outside the widget
// list, it restores the canvas under dirty widgets) and one as the info box;
// effects embed their own as sprites.
#pragma once

#include "gfx/graphics.h"
#include "widgets/widget.h"

class Image : public Widget {
public:
    // extra_flags are ORed into the flag word; an Image is not interactive.
    explicit Image(int extra_flags = 0);

    // Adopts surface (the caller keeps it), sizes the widget to it, sets dirty;
    // null changes nothing. Asserts when the picture already has a surface.
    void set_image(SDL_Surface* surface);
    // Sizes the widget and gives it an owned, transparent w x h picture.
    void create_picture(int w, int h);
    // For callers that paint into the picture, change its alpha or read it.
    Graphics& picture() { return image; }
    const Graphics& picture() const { return image; }

    // Blits the picture (its rect, its alpha) at rect on target; clears dirty.
    void draw(Graphics& target) override;
    // Copies region r of the picture to the same r on target: meaningful for
    // a picture at the canvas origin, as the background is.
    void restore_region(Graphics& target, SDL_Rect r);

private:
    Graphics image;
};
