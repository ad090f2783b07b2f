// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/RecordWriter.h"

#include <algorithm>

namespace lpt51::image {
namespace {

void AppendByte(std::string& out, std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[(value >> 4) & 0xF];
    out += kDigits[value & 0xF];
}

// A data record of up to 255 bytes.
std::string DataRecord(std::uint16_t address, std::span<const std::uint8_t> data) {
    const std::uint32_t low = address & 0xFFu;
    const std::uint32_t high = (address >> 8) & 0xFFu;
    const auto count = static_cast<std::uint32_t>(data.size());
    // 0x10000 less the byte count, then less every other byte.
    std::uint32_t acc = 0x10000u - count - low - high;
    std::string line;
    line.reserve(11 + 2 * data.size());
    line += ':';
    AppendByte(line, count);
    AppendByte(line, high);
    AppendByte(line, low);
    line += "00";
    for (std::uint8_t b : data) {
        AppendByte(line, b);
        acc -= b;
    }
    AppendByte(line, acc & 0xFFu);
    return line;
}

}  // namespace

std::string RecordLine(std::uint16_t address, std::span<const std::uint8_t, kRecordBytes> data) {
    return DataRecord(address, data);
}

Lines RenderBytes(std::span<const std::uint8_t> bytes) {
    Lines lines;
    lines.reserve(bytes.size() / kRecordBytes + 2);
    for (std::size_t a = 0; a < bytes.size(); a += kRecordBytes)
        lines.push_back(DataRecord(static_cast<std::uint16_t>(a),
                                   bytes.subspan(a, std::min(kRecordBytes, bytes.size() - a))));
    lines.emplace_back(kEndRecordLine);
    return lines;
}

Lines RenderImage(std::span<const std::uint8_t, chip::kCodeSize> image) {
    return RenderBytes(image);
}

}  // namespace lpt51::image
