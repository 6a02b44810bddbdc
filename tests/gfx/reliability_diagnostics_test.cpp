// Diagnostic lines come from the main thread, the audio callback and the
// notification threads at once; each must reach stdout whole, never spliced
// with another thread's line.
#include "gfx/misc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(Diagnostics, lines_printed_from_many_threads_at_once_stay_whole) {
    char name[] = "/tmp/diskplayer-lines-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    std::fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    ASSERT_EQ(dup2(fd, STDOUT_FILENO), STDOUT_FILENO);

    // Long lines, so a write split in pieces would show as a broken line.
    const std::vector<std::string> lines = {
        "failed to open: /music/" + std::string(700, 'a') + ".ogg\n",
        "nothing to play\n",
        "not stereo /music/" + std::string(1500, 'm') + ".ogg\n",
        "vorbis fuckup\n"};
    std::vector<std::thread> threads;
    for (const std::string& line : lines)
        threads.emplace_back([&line] {
            for (int i = 0; i < 400; ++i) print_line(line);
        });
    for (std::thread& t : threads) t.join();

    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fd);

    std::ifstream in(name);
    std::string got;
    int count = 0;
    while (std::getline(in, got)) {
        ++count;
        bool known = false;
        for (const std::string& line : lines) known = known || got + "\n" == line;
        EXPECT_TRUE(known) << "a spliced line: " << got.substr(0, 80);
        if (!known) break;
    }
    EXPECT_EQ(count, 4 * 400);
    unlink(name);
}

}  // namespace
