#include "effects/timed_fill_effect.h"

TimedFillEffect::TimedFillEffect(Graphics& target, int delay, int end, Uint8 red, Uint8 green,
                                 Uint8 blue)
    : target(target), frame(-delay), end(end), red(red), green(green), blue(blue) {}

void TimedFillEffect::advance() { frame += 1; }

bool TimedFillEffect::draw() {
    if (frame > 0 && end > 0)
        target.fill(red, green, blue);
    return frame < end;
}
