// The program's words: NUL-separated arguments, as the port options and as
// the whole command line read them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "backend/Backend.h"
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
    lpt51::BackendOptions options;
    (void)lpt51::TakeBackendOptions(args, options);
    return 0;
}
