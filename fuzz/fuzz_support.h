// What every fuzz target shares: failing loudly on a broken rule, and
// reading structured values from the fuzzer's bytes (zeros once they run out).
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] inline void fault(const char* what) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what);
    std::abort();
}

inline void check(bool ok, const char* what) {
    if (!ok) fault(what);
}

struct Reader {
    const std::uint8_t* data;
    size_t size;
    std::uint8_t byte() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    int int16() { return std::int16_t(byte() | byte() << 8); }
};

}  // namespace
