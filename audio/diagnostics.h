// The audio side's one way of writing a diagnostic line. The engine, the
// decoder and the folder scan print from the main thread, the audio thread and
// notification threads; a line written piece by piece could interleave with
// another thread's, so each line goes out whole, in one call, and is flushed.
#pragma once

#include <cstdio>
#include <string>

// Writes line (which carries its own '\n') to stdout in one call and flushes.
inline void print_line(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}
