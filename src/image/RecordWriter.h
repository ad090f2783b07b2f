// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "chip/At89c51.h"
#include "image/HexField.h"

namespace lpt51::image {

inline constexpr const char* kEndRecordLine = ":00000001FF";
inline constexpr std::size_t kRecordBytes = 16;

// The 43-character data record of 16 bytes starting at `address` (0x000 to
// 0xFF0), upper-case digits.
std::string RecordLine(std::uint16_t address, std::span<const std::uint8_t, kRecordBytes> data);

// Bytes from address 0 as records of 16 (the last one shorter) and the end
// record: what a raw binary image is as Intel HEX text. At most 0x10000 bytes.
Lines RenderBytes(std::span<const std::uint8_t> bytes);

// The whole code memory as records of 16 and the end record.
Lines RenderImage(std::span<const std::uint8_t, chip::kCodeSize> image);

}  // namespace lpt51::image
