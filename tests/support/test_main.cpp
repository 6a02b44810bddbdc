#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Death tests fork; "threadsafe" re-executes the binary so a child never
    // inherits a half-held lock from a thread of the parent.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
