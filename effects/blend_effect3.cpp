#include "effects/blend_effect3.h"

#include <cstdint>

namespace {

// In 64 bits: a start time past about 20 hours would overflow ms * 30 in 32.
int ms_to_frames(int ms) { return static_cast<int>(static_cast<std::int64_t>(ms) * 30 / 1000); }

// A fade is a divisor; a zero (or negative) length would make its step
// infinite or backwards.
int fade_frames(int ms) {
    const int frames = ms_to_frames(ms);
    return frames > 0 ? frames : 1;
}

}  // namespace

BlendEffect3::BlendEffect3(Graphics& target, int start_ms, int length_ms, int fade_in_ms,
                           int fade_out_ms)
    : picture(0), target(target), frame(-ms_to_frames(start_ms)), length(ms_to_frames(length_ms)),
      fade_in(fade_frames(fade_in_ms)), fade_out(fade_frames(fade_out_ms)), step(0.0f),
      opacity(0.0f) {}

void BlendEffect3::advance() {
    // The picture shows the opacity reached before this frame's step, so the
    // first frame of the fade-in still draws at 0.
    picture.picture().set_alpha(opacity);
    // The fade-in test comes first: a fade-in as long as the whole life never
    // turns into a fade-out.
    const int c = frame;
    if (c == 0)
        step = 1.0f / fade_in;
    else if (c == fade_in)
        step = 0.0f;
    else if (c == length - fade_out)
        step = -(1.0f / fade_out);
    else if (c == length)
        opacity = 0.0f;
    frame += 1;
    opacity += step;
}

bool BlendEffect3::draw() {
    picture.draw(target);
    return frame < length;
}
