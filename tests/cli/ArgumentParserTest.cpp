// SPDX-License-Identifier: GPL-3.0-or-later
// One parser kept for many lines must read each as a parser built for it
// alone would: nothing of a line may carry over into the next.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Arguments.h"

namespace lpt51::cli {
namespace {

// Everything a line sets, or the usage error it gives.
std::string Read(const std::vector<std::string>& args,
                 const std::function<Options(const std::vector<std::string>&)>& parse) {
    Options o;
    try {
        o = parse(args);
    } catch (const UsageError& e) {
        return "usage: " + e.text;
    }
    std::ostringstream s;
    const BackendOptions& b = o.backend;
    s << b.port << ' ' << b.portNamed << ' ' << static_cast<int>(b.simChip) << ' '
      << static_cast<int>(b.simPort) << ' ' << b.virtualTiming << ' ' << b.simOscMHz << ' '
      << b.simWriteCycleUs << ' ' << b.trace << '|' << o.device << ' ' << static_cast<int>(o.timing)
      << o.timingGiven << o.yes << o.force << o.quiet << o.noVerify << o.verbose
      << static_cast<int>(o.format) << o.help << o.version << '|' << o.helpText.size() << '|'
      << (o.command != nullptr ? o.command->name : "window") << '|' << o.screenshot;
    for (const std::string& operand : o.operands) s << '|' << operand;
    s << '|' << o.lockBits.l1 << o.lockBits.l2 << o.lockBits.l3;
    return s.str();
}

TEST(ArgumentParser, EachLineReadsAsIfTheParserWereNew) {
    const std::vector<std::vector<std::string>> lines{
        {"--port",
         "sim:a.state",
         "--sim-chip",
         "5v",
         "--sim-port",
         "spp",
         "--sim-timing",
         "virtual",
         "--sim-osc",
         "11.0592",
         "--sim-write-cycle",
         "100",
         "--trace",
         "t.vcd",
         "-y",
         "-f",
         "-q",
         "--no-verify",
         "-v",
         "--timing",
         "datasheet",
         "--format",
         "bin",
         "--device",
         "5v",
         "read",
         "out.bin"},
        {"verify", "p.hex"},
        {"--device", "12v", "lock", "1,3"},
        {"lock", "2"},
        {"write", "--help"},
        {"info"},
        {"--screenshot", "w.png", "p.hex"},
        {},
        {"--bogus", "info"},
        {"--version"},
        {"blank"},
        {"erase"},
    };
    for (const CommandNeeded needed : {CommandNeeded::Yes, CommandNeeded::NoWindowInstead}) {
        ArgumentParser kept(needed);
        for (const auto& line : lines) {
            SCOPED_TRACE(::testing::PrintToString(line));
            EXPECT_EQ(Read(line, [&](const auto& a) { return kept.parse(a); }),
                      Read(line, [&](const auto& a) { return ParseArguments(a, needed); }));
        }
    }
}

}  // namespace
}  // namespace lpt51::cli
