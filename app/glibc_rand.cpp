#include "app/glibc_rand.h"

#include <mutex>

void GlibcRand::reseed(unsigned seed)
{
    if (seed == 0)
        seed = 1;
    state[0] = std::int32_t(seed);
    // state[i] = 16807 * state[i - 1] % 2147483647, in Schrage's way, as
    // glibc computes it (its word is 32 bits, so the seed enters signed).
    std::int32_t word = std::int32_t(seed);
    for (int i = 1; i < degree; ++i) {
        std::int64_t hi = word / 127773;
        std::int64_t lo = word % 127773;
        word = std::int32_t(16807 * lo - 2836 * hi);
        if (word < 0)
            word += 2147483647;
        state[i] = word;
    }
    front = separation;
    rear = 0;
    // glibc throws away the first ten rounds of the table.
    for (int i = 0; i < degree * 10; ++i)
        next();
}

int GlibcRand::next()
{
    std::uint32_t value = std::uint32_t(state[front]) + std::uint32_t(state[rear]);
    state[front] = std::int32_t(value);
    if (++front == degree)
        front = 0;
    if (++rear == degree)
        rear = 0;
    return int(value >> 1);
}

#if !defined(__GLIBC__)
namespace {
std::mutex rand_lock;  // rand() is called from the frame thread and start-up
GlibcRand& shared_generator()
{
    static GlibcRand generator;
    return generator;
}
}  // namespace

extern "C" int rand(void)
{
    std::lock_guard<std::mutex> hold(rand_lock);
    return shared_generator().next();
}

extern "C" void srand(unsigned seed)
{
    std::lock_guard<std::mutex> hold(rand_lock);
    shared_generator().reseed(seed);
}
#endif
