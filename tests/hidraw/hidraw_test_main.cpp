#include "tests/hidraw/emulated_hidraw.h"

#include <gtest/gtest.h>

// The tests run inside the emulation, which must be preloaded before the program starts.
int main(int argc, char** argv) {
    return rig::runEmulated(argc, argv, [](int n, char** args) {
        ::testing::InitGoogleTest(&n, args);
        return RUN_ALL_TESTS();
    });
}
