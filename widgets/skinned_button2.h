// SkinnedButton2: a push button with two faces, of which one is shown: the
// play/pause control. second_face selects the second pair (music playing).
// Both inner buttons animate together; only the selected one is drawn.
#pragma once

#include "widgets/skinned_button.h"

class SkinnedButton2 : public Widget {
public:
    // Interactive; extra_flags are ORed in after.
    explicit SkinnedButton2(int extra_flags = 0);

    // Moves itself and both inner buttons, so that all share the corner.
    void set_position(int x, int y) override;
    // First pair at (sx, sy), second pair at (sx + 2w, sy), each w x h.
    void set_skin(SDL_Surface* skin, int sx, int sy, int w, int h);
    // Selects the face; a real change marks the newly selected button dirty.
    void set_second_face(bool on);

    // Hands hover and pressed to both buttons and takes the selected one's dirty.
    void update() override;
    // The selected button only; clears dirty.
    void draw(Graphics& target) override;

    SkinnedButton& selected() { return test_flag(second_face) ? second : first; }

    SkinnedButton first;
    SkinnedButton second;
};
