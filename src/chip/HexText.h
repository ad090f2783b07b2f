// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace lpt51::chip {

// Two upper-case hexadecimal digits, zero-padded, no prefix.
inline std::string Hex2(unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s(2, '0');
    s[0] = kDigits[(value >> 4) & 0x0F];
    s[1] = kDigits[value & 0x0F];
    return s;
}

}  // namespace lpt51::chip
