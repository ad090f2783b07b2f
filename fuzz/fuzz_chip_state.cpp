// The virtual chip's state file reader.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "backend/ChipStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/lpt51-fuzz-state-" + std::to_string(getpid());
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    (void)lpt51::loadChip(path, lpt51::sim::ChipKind::Part12V);
    return 0;
}
