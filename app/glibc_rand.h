// rand() with the sequence glibc gives. The star field and the stars'
// twinkle draw from the C library's rand(), so a C library with another
// generator (musl in a web page, msvcrt on Windows) would show other frames
// than the Linux program. Where the C library is not glibc, this unit also
// defines rand() and srand() themselves, and the linker takes them before
// the C library's.
#pragma once

#include <cstdint>

class GlibcRand {
public:
    explicit GlibcRand(unsigned seed = 1) { reseed(seed); }
    // As srand(seed): 0 counts as 1, as glibc has it.
    void reseed(unsigned seed);
    // As rand(): 0 to 2147483647.
    int next();

private:
    // glibc's default state: an additive generator of degree 31, lag 3.
    static constexpr int degree = 31;
    static constexpr int separation = 3;
    std::int32_t state[degree];
    int front = separation;
    int rear = 0;
};
