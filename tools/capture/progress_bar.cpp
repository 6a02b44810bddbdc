#include "tools/capture/progress_bar.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int bar_cells = 24;
constexpr double redraw_seconds = 0.2;

std::string clock_text(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

ProgressBar::ProgressBar(std::FILE* out, bool terminal, double total_seconds, bool estimated)
    : out(out), terminal(terminal), total(total_seconds), estimated(estimated) {}

double ProgressBar::elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

std::string ProgressBar::text(double done, double total, bool estimated, double elapsed) {
    // A guessed total can be overtaken; the bar then stays just short of full.
    const double shown_total = std::max(total, done);
    const double fraction = shown_total > 0 ? std::min(1.0, done / shown_total) : 1.0;
    const int filled = static_cast<int>(fraction * bar_cells);
    std::string line = "recording " + clock_text(done) + " of " + (estimated ? "~" : "") +
                       clock_text(shown_total) + " [" + std::string(filled, '#') +
                       std::string(bar_cells - filled, '.') + "] ";
    char tail[64];
    std::snprintf(tail, sizeof tail, "%3d%%", static_cast<int>(fraction * 100));
    line += tail;
    // The first second holds the encoders' start: too early for a speed.
    if (elapsed >= 1 && done > 0) {
        const double speed = done / elapsed;
        std::snprintf(tail, sizeof tail, "  %.1fx real time  ", speed);
        line += tail + clock_text((shown_total - done) / speed) + " left";
    }
    return line;
}

void ProgressBar::draw(double done_seconds, bool last) {
    std::string line = text(done_seconds, last ? done_seconds : total, last ? false : estimated, elapsed());
    if (terminal) {
        // Blanks over what a longer earlier line left behind.
        const std::size_t width = line.size();
        if (width < drawn_width) line += std::string(drawn_width - width, ' ');
        drawn_width = width;
        std::fprintf(out, "\r%s%s", line.c_str(), last ? "\n" : "");
    } else {
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fflush(out);
}

void ProgressBar::update(double done_seconds) {
    if (terminal) {
        const double now = elapsed();
        if (now - last_drawn < redraw_seconds) return;
        last_drawn = now;
        draw(done_seconds, false);
        return;
    }
    const int tenth = total > 0 ? static_cast<int>(done_seconds / total * 10) : 0;
    if (tenth <= last_tenth || tenth >= 10) return;
    last_tenth = tenth;
    draw(done_seconds, false);
}

void ProgressBar::finish(double done_seconds) {
    draw(done_seconds, true);
}

void ProgressBar::break_line() {
    if (terminal && drawn_width > 0) std::fputc('\n', out);
    drawn_width = 0;
}
