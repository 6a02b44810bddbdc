// The decoder guard on Windows, where a division by zero is a structured
// exception: run under Wine by make check-windows.
//   guard_test <damaged.ogg> <good.ogg>
// Guarded divisions on three threads at once, each cut short into its own
// run_guarded; then the damaged track sought (decoding on into the
// division) and played: it ends, and the next track opens and plays.
// Status 0 when all held. (Wine lets an unguarded division go on with 0
// where Windows ends the process, so only the guarded side is shown here.)
#include "audio/decoder_guard.h"
#include "audio/vorbis.h"

#include <cstdio>
#include <thread>
#include <vector>

namespace {

volatile int zero = 0;
int failures = 0;

void expect(bool held, const char* what) {
    if (held) return;
    std::printf("FAIL: %s\n", what);
    ++failures;
}

int divide(int n) { return n / zero; }

// Each thread's jump target is its own: three threads dividing at once each
// come back into their own run_guarded, and a later call runs normally.
void divide_often(int* cut_short) {
    for (int i = 0; i < 200; ++i) {
        int result = 0;
        if (!guarded([&] { result = divide(i + 1); })) ++*cut_short;
        int fine = 0;
        guarded([&] { fine = 7; });
        if (fine != 7) --*cut_short;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;

    int cut_short[3] = {0, 0, 0};
    std::thread first(divide_often, &cut_short[0]);
    std::thread second(divide_often, &cut_short[1]);
    divide_often(&cut_short[2]);
    first.join();
    second.join();
    for (int n : cut_short) expect(n == 200, "a guarded division was not cut short, or a later call failed");

    std::vector<Sint16> pcm(2048);
    Vorbis track;
    expect(track.open(argv[1]), "the damaged track does not open");
    track.seek(1.0);  // decodes on past the damaged packet, into the division
    int played = 0;
    for (int i = 0; i < 100; ++i) played += track.read(pcm.data(), 4096);
    expect(played < 100 * 4096, "the damaged track did not end");
    expect(track.open(argv[2]), "the next track does not open");
    expect(track.read(pcm.data(), 4096) == 4096, "the next track does not play");
    std::printf("%s\n", failures ? "guard failed" : "guard held");
    return failures ? 1 : 0;
}
