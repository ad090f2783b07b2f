// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace lpt51::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Ran {
    int code;
    std::string err;
};

// `lpt51 adapter-check` on the virtual adapter, standard input not a
// terminal (as under ctest from a shell), so the guided stage is skipped.
Ran AdapterCheck(const std::string& wiring, std::vector<std::string> more = {}) {
    EXPECT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    std::vector<std::string> args{"--port",     "sim", "--sim-timing", "virtual",
                                  "--sim-chip", "12v", "--sim-wiring", wiring};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back("adapter-check");
    std::ostringstream out, err;
    const int code = RunCommandLine(args, out, err);
    return {code, err.str()};
}

TEST(AdapterCheckCommand, ExitsOneNamingTheFaultAndZeroOnACorrectAdapter) {
    const Ran grounded = AdapterCheck("grounded:D2", {"--device", "12v", "--yes"});
    EXPECT_EQ(grounded.code, kExitFailed) << grounded.err;
    EXPECT_THAT(grounded.err,
                HasSubstr("lpt51: Automatic stage: D2 (DB-25 pin 4, socket pin 37) is shorted"));
    EXPECT_THAT(grounded.err, HasSubstr("lpt51: Guided stage: skipped: standard input is not a "
                                        "terminal"));
    EXPECT_THAT(grounded.err, HasSubstr("lpt51: Chip stage: not run: mend the faults"));

    // Without --yes the chip stage's question is answered No; with it the
    // stage runs and finds nothing either.
    const Ran asked = AdapterCheck("none", {"--device", "12v"});
    EXPECT_EQ(asked.code, kExitDone) << asked.err;
    EXPECT_THAT(asked.err, HasSubstr("-> No (give --yes to answer Yes)"));
    EXPECT_THAT(asked.err, HasSubstr("lpt51: Chip stage: not run; nothing was erased."));
    const Ran correct = AdapterCheck("none", {"--device", "12v", "--yes"});
    EXPECT_EQ(correct.code, kExitDone) << correct.err;
    EXPECT_THAT(correct.err, Not(HasSubstr("Chip stage")));
    EXPECT_THAT(correct.err, HasSubstr("lpt51: The adapter check found nothing wrong."));
}

}  // namespace
}  // namespace lpt51::cli
