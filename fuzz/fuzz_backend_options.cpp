// The program's words: NUL-separated arguments, as the whole command line
// reads them, the port options among them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/Arguments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back().push_back(static_cast<char>(data[i]));
        }
    }
    for (auto needed :
         {lpt51::cli::CommandNeeded::Yes, lpt51::cli::CommandNeeded::NoWindowInstead}) {
        try {
            (void)lpt51::cli::ParseArguments(args, needed);
        } catch (const lpt51::cli::UsageError&) {
        }
    }
    return 0;
}
