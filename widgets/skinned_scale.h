// SkinnedScale: the position scale. A trough, a filled trough cut to the
// shown fraction and a knob (a SkinnedButton of its own, not in the widget
// list). The tick feed sets the play position with set_value; the pointer
// drags the knob and the scale's action seeks to drag_value on release.
#pragma once

#include "gfx/graphics.h"
#include "widgets/skinned_button.h"

#include <atomic>

class SkinnedScale : public Widget {
public:
    // Interactive; extra_flags are ORed in after. value and drag_value 0.
    explicit SkinnedScale(int extra_flags = 0);

    // From skin at (sx, sy), each h high: trough (w), filled trough (w),
    // knob face and knob glow (kw each). Sizes the scale to w x h.
    void set_skin(SDL_Surface* skin, int sx, int sy, int w, int kw, int h);
    // Shown fraction, clamped to 0..1 (NaN counts as 0); marks the scale
    // dirty only when the knob would move by a whole pixel.
    void set_value(float v);
    float get_value() const { return value.load(); }
    // The fraction the pointer chose last; the seek action reads it.
    float drag_value() const { return drag.load(); }
    // Knob x on the canvas for the fraction shown: float arithmetic, truncated.
    int knob_x(float shown) const;

    // Glow of the knob; takes the knob's dirty when the scale is clean.
    void update() override;
    // Trough, filled part up to value, knob at drag_value while pressed
    // (else at value); clears dirty.
    void draw(Graphics& target) override;
    // While pressed, x (from the left edge) picks drag_value with the knob
    // centred on the pointer; beyond the knob's travel, the nearer end. A
    // knob as wide as the scale has no travel: nothing changes then.
    void on_mouse(int x, int y, bool is_pressed) override;

    SkinnedButton knob;
    Graphics trough;
    Graphics trough_fill;

private:
    float shown() const { return test_flag(pressed) ? drag.load() : value.load(); }

    // Atomic so that the tick feed, the seek action and the pointer can never
    // see half a value even if a caller forgets the screen lock.
    std::atomic<float> value;
    std::atomic<float> drag;
};
