#include "app/intro.h"

#include "app/frame_loop.h"
#include "effects/blend_effect.h"
#include "effects/blend_effect3.h"
#include "effects/star_effect.h"
#include "gfx/misc.h"

const IntroRow intro_table[intro_row_count] = {
    {"res/intro-1.png", 225, 129, 4500, 5000, 800, 500},
    {"res/intro-2.png", 206, 129, 9500, 5000, 800, 500},
    {"res/intro-3.png", 154, 27, 14500, 7000, 800, 500},
    {"res/intro-4.png", 247, 143, 22000, 5000, 800, 500},
    {"res/intro-5.png", 64, 100, 29500, 7500, 1000, 0},
    {"res/intro-6.png", 0, 89, 34000, 3000, 3000, 0},
};

void start_intro() {
    dlib::auto_mutex guard(effect_lock);
    effect_list.push_back(std::make_unique<StarEffect>(canvas, star_burst_lifetime));
    for (const IntroRow& row : intro_table) {
        auto picture = std::make_unique<BlendEffect3>(canvas, row.start_ms, row.length_ms,
                                                      row.fade_in_ms, row.fade_out_ms);
        picture->picture.set_image(load_image(row.picture));
        // Each picture is shown by this one effect: let it go with the effect
        // instead of keeping it for the rest of the run.
        picture->picture.picture().owned = true;
        picture->picture.set_position(row.x, row.y);
        effect_list.push_back(std::move(picture));
    }
    effect_list.push_back(std::make_unique<BlendEffect>(canvas, 0, intro_fade_in_frames, true));
}
