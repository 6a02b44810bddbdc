// The progress of a long recording on stderr: time recorded of the total,
// speed as a multiple of real time and the time left. On a terminal one
// line is redrawn in place a few times a second; into a file or a pipe a
// plain line goes out at every tenth of the total, so a log stays short.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class ProgressBar {
public:
    // total_seconds: what the whole recording will last; estimated marks a
    // guess (the whole disk), shown with a "~".
    ProgressBar(std::FILE* out, bool terminal, double total_seconds, bool estimated);
    // done_seconds recorded so far; cheap enough to call every frame.
    void update(double done_seconds);
    // The final state, on a line of its own.
    void finish(double done_seconds);
    // Ends a line drawn in place, so that a message can follow on its own.
    void break_line();

    // The line itself, for elapsed seconds of real time (no speed nor time
    // left in the first second).
    static std::string text(double done, double total, bool estimated, double elapsed);

private:
    double elapsed() const;
    void draw(double done_seconds, bool last);

    std::FILE* out;
    bool terminal;
    double total;
    bool estimated;
    std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
    double last_drawn = -1;  // elapsed seconds at the last redraw
    int last_tenth = 0;
    std::size_t drawn_width = 0;
};
