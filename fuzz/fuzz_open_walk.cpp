// The Open command's validation walk on arbitrary file text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "image/HexField.h"
#include "image/OpenWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)lpt51::image::ValidateImage(lpt51::image::SplitLines(text));
    return 0;
}
