#include "effects/blend_effect2.h"

#include "widgets/widget.h"

BlendEffect2::BlendEffect2(Graphics& target, Widget& widget, int frames)
    : widget(widget), target(target),
      // Zero frames would make the step infinite and the mix NaN.
      remaining(frames > 0 ? frames : 1), step(1.0f / remaining), mix(0.0f) {
    // An empty target leaves both pictures empty; every later draw and blit
    // on them does nothing.
    if (target.surface != nullptr) {
        new_picture.create_surface(target.surface->w, target.surface->h);
        old_picture.create_surface(target.surface->w, target.surface->h);
    }
    new_picture.clear();
    old_picture.clear();
    old_picture.blit(target, nullptr, nullptr);
    widget.set_flag(Widget::dirty, true);
}

void BlendEffect2::advance() {
    old_picture.set_alpha(1.0f - mix);
    new_picture.set_alpha(mix);
    remaining -= 1;
    mix += step;
}

bool BlendEffect2::draw() {
    target.clear();
    target.blit(old_picture, nullptr, nullptr);
    target.blit(new_picture, nullptr, nullptr);
    widget.set_flag(Widget::dirty, true);
    return remaining > 0;
}
