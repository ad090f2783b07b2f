// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/HexField.h"

namespace lpt51::d51 {

// The AT89C51 holds 4 KiB of code; nothing the programmer writes lies above.
inline constexpr std::size_t kCodeSize = 4096;

// Code memory as a HEX file defines it. Bytes that no record loads keep the
// erased value 0FFH and are marked undefined, so the listing shows them as data.
struct Image {
    std::array<std::uint8_t, kCodeSize> bytes{};
    std::array<bool, kCodeSize> defined{};
    std::size_t first = 0;  // lowest loaded address
    std::size_t last = 0;   // highest loaded address; both meaningless while empty()
    bool any = false;

    Image() { bytes.fill(0xFF); }
    bool empty() const { return !any; }
    void Set(std::size_t address, std::uint8_t value);
};

struct LoadResult {
    bool ok = false;
    // Why the text was refused, one line per sentence, as lpt51 words it;
    // empty when ok.
    std::vector<std::string> error;
    std::vector<std::string> warnings;  // records passed over, each with its line
    Image image;
};

// Intel HEX text read as lpt51 reads it, so that the listing shows what
// Write programs: the Open command's validation walk (fields, checksums, the
// size limit), then the write's scan (addresses with their extended base,
// overlapping records, the end record and what follows it).
LoadResult ReadHex(const image::Lines& lines);
LoadResult ParseHex(std::string_view text);

}  // namespace lpt51::d51
