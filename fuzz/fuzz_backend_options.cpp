// SPDX-License-Identifier: GPL-3.0-or-later
// The program's words: NUL-separated arguments, as the whole command line
// reads them, the port options among them. The parsers are built once: one
// takes longer to build than a thousand lines take to read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Arguments.h"

constexpr std::size_t kMostWords = 32;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static lpt51::cli::ArgumentParser command(lpt51::cli::CommandNeeded::Yes);
    static lpt51::cli::ArgumentParser window(lpt51::cli::CommandNeeded::NoWindowInstead);
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            // Every word past the first few takes the same steps as they
            // did, and a thousand of them only slow the search down.
            if (args.size() == kMostWords) break;
            args.emplace_back();
        } else {
            args.back().push_back(static_cast<char>(data[i]));
        }
    }
    for (lpt51::cli::ArgumentParser* parser : {&command, &window}) {
        try {
            (void)parser->parse(args);
        } catch (const lpt51::cli::UsageError&) {
        }
    }
    return 0;
}
