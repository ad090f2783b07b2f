// SPDX-License-Identifier: GPL-3.0-or-later
// The main of every test program. It sets the environment the tests expect
// when the caller has not (a test binary run by hand, outside CTest): the
// offscreen Qt platform and where the built programs and the sources are.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LPT51_BIN_DIR", LPT51_BIN_DIR_DEFAULT, 0);
    setenv("LPT51_SOURCE_DIR", LPT51_SOURCE_DIR_DEFAULT, 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
