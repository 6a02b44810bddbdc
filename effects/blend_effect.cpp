#include "effects/blend_effect.h"

#include <algorithm>

// A length of zero would make the step infinite and the opacity NaN after one
// frame; one frame is the shortest fade there is.
static int at_least_one(int frames) { return frames > 0 ? frames : 1; }

BlendEffect::BlendEffect(Graphics& target, int delay, int length, bool fade_in)
    : target(target), frame(-delay), length(at_least_one(length)),
      step(fade_in ? 1.0f / this->length : -(1.0f / this->length)),
      opacity(fade_in ? 0.0f : 1.0f) {}

void BlendEffect::advance() {
    // The opacity starts moving only on the second active frame, so the first
    // one draws the start value: 0 for a fade-in, 1 for a fade-out.
    if (frame > 0)
        opacity += step;
    frame += 1;
}

bool BlendEffect::draw() {
    // Skipped frames can carry the opacity past either end; limiting it keeps
    // an overshooting fade-in a no-op and an undershooting fade-out transparent.
    if (frame > 0)
        target.scale_alpha(std::clamp(opacity, 0.0f, 1.0f));
    return frame < length;
}
