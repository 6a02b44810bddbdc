// The 37-second intro: a spiral star burst, six pictures fading in and out
// one after another, and a fade-in of the whole canvas from black. It is
// nothing but effects put into the effect list once at start-up.
#pragma once

// One row of the intro table; times in milliseconds from the frame thread's start.
struct IntroRow {
    const char* picture;
    int x, y;
    int start_ms, length_ms, fade_in_ms, fade_out_ms;
};

constexpr int intro_row_count = 6;
extern const IntroRow intro_table[intro_row_count];
constexpr int star_burst_lifetime = 1110;  // frames
constexpr int intro_fade_in_frames = 60;

// Appends the star burst, the six timed pictures and the fade-in, in that
// drawing order, under the effect lock. Main thread, before the frame thread.
void start_intro();
