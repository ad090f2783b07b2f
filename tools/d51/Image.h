#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
    std::string error;  // what is wrong and on which line; empty when ok
    Image image;
};

// Intel HEX text: data (00) and end (01) records; extended address records
// (02, 04) only with a zero base, start records (03, 05) are ignored. Every
// checksum is checked. A missing end record is accepted, as the programmer's
// own loader accepts it; text after the end record is ignored.
LoadResult ParseHex(std::string_view text);

}  // namespace lpt51::d51
