#include "effects/star_effect.h"

#include "gfx/damage.h"

#include <cmath>
#include <cstdlib>

std::atomic<int> StarEffect::star_clock{0};

namespace {

constexpr int row_length = 640;  // the canvas' pixels per row
constexpr int canvas_height = 400;

// Standard pixel format (alpha, red, green, blue from the top byte down).
// Blue stays full while the rest falls, so dimmer entries are bluish and
// translucent. Only entries 0 to 4 are reachable; the rest keep the ramp whole.
constexpr Uint32 star_colours[8] = {
    0xFFFFFFFF, 0xDDDDDDFF, 0xBBBBBBFF, 0x999999FF,
    0x777777FF, 0x555555FF, 0x333333FF, 0x111111FF,
};

// The star writes with a fixed row length, so only a 32-bit surface at least
// as large as the canvas keeps every write inside its pixel memory.
bool fits_star_burst(const Graphics& target) {
    const SDL_Surface* s = target.surface;
    return s != nullptr && s->pixels != nullptr && s->format != nullptr &&
           s->format->BytesPerPixel == 4 && s->w >= row_length && s->h >= canvas_height &&
           s->pitch >= row_length * 4;
}

// Differences of clock values in wrap-around arithmetic: the clock is shared
// and only ever counts up, so plain signed subtraction could overflow once it
// came near its limit, which is undefined behaviour.
int clock_difference(int a, int b) {
    return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
}

}  // namespace

StarEffect::StarEffect(Graphics& target, int lifetime) : target(target), frame(-lifetime) {
    for (Star& star : stars) {
        star.depth = std::rand() % life;
        star.angle = std::rand() % 360;
        star.radius = std::rand() % 256;
    }
}

void StarEffect::advance() { frame += 1; }

Uint32 StarEffect::colour_for_travel(float travel) {
    // Both the conversion and the division truncate toward zero: travel up to
    // 138 (115 - travel down to -22) still gives index 0.
    int index = static_cast<int>(115.0f - travel) / 23;
    if (index < 0 || index > 7)
        return 0;
    return star_colours[index];
}

bool StarEffect::draw() {
    const int clock = ++star_clock;
    if (!fits_star_burst(target))
        return frame < 0;

    Uint32* pixels = static_cast<Uint32*>(target.surface->pixels);
    for (Star& star : stars) {
        if (clock_difference(star.depth, clock) <= 0)
            star.depth = static_cast<int>(static_cast<unsigned>(clock) + life);
        const int age = life - clock_difference(star.depth, clock);  // 0..212
        // A newborn star has no angle yet (ln 0); drawing it would turn a NaN
        // into a pixel index.
        if (age == 0)
            continue;

        const float theta = 0.5 * std::log(static_cast<double>(age)) + star.angle * 2 * M_PI / 360;
        const float travel = life - std::sqrt(static_cast<double>(life * life - age * age));
        // Only the horizontal reach grows with travel: the burst widens sideways.
        const double fx = (star.radius + travel) * std::sin(static_cast<double>(theta)) + 320;
        const double fy = star.radius * std::cos(static_cast<double>(theta)) + 200;
        // |fx| and |fy| stay below 800, so the conversions cannot overflow.
        const int x = static_cast<int>(fx);
        const int y = static_cast<int>(fy);
        if (x < 0 || x >= row_length || y < 0 || y >= canvas_height)
            continue;
        pixels[y * row_length + x] = colour_for_travel(travel);
        if (target.damage) target.damage->add_pixel(static_cast<Uint32>(y * row_length + x));
    }
    return frame < 0;
}
