// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace lpt51::d51 {

// Numbers in the assembler's hex form: "30H", "0A5H" (a leading letter gets a
// 0 so that it cannot be read as a symbol).
std::string Hex8(std::uint8_t v);
std::string Hex16(std::uint16_t v);

// A direct address: SFR name above 7FH where the 8051 defines one, else a number.
std::string DirectName(std::uint8_t address);

// A bit address: the named bits of TCON, SCON, IE, IP and PSW, "SFR.n" for the
// other bits of a named bit-addressable SFR, "2xH.n" for the bit area at
// 20H-2FH, and a plain number for bits of registers this chip does not have.
std::string BitName(std::uint8_t bit);

}  // namespace lpt51::d51
