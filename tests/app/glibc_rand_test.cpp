#include "app/glibc_rand.h"

#include <gtest/gtest.h>

#include <cstdlib>

// The Linux program's frames come from glibc's rand(); a port's frames equal
// them only if the replacement draws the same numbers for every seed,
// including the 0 that glibc treats as 1 and seeds past 2^31.
TEST(GlibcRand, draws_what_glibc_rand_draws)
{
    for (unsigned seed : {1u, 0u, 42u, 2147483647u, 2147483648u, 4294967295u}) {
        std::srand(seed);
        GlibcRand generator(seed);
        for (int i = 0; i < 2000; ++i)
            ASSERT_EQ(generator.next(), std::rand()) << "seed " << seed << ", draw " << i;
    }
}
