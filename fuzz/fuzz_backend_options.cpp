// The command line's port options: NUL-separated arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "backend/Backend.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back().push_back(static_cast<char>(data[i]));
        }
    }
    lpt51::BackendOptions options;
    (void)lpt51::TakeBackendOptions(args, options);
    return 0;
}
