// SPDX-License-Identifier: GPL-3.0-or-later
// d51's HEX loader and the listing it makes of whatever loads.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Image.h"
#include "Listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto loaded = lpt51::d51::ParseHex(text);
    if (loaded.ok) (void)lpt51::d51::MakeListing(loaded.image, "fuzz");
    return 0;
}
