#include "image/RecordWriter.h"

namespace lpt51::image {
namespace {

void AppendByte(std::string& out, std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[(value >> 4) & 0xF];
    out += kDigits[value & 0xF];
}

}  // namespace

std::string RecordLine(std::uint16_t address, std::span<const std::uint8_t, kRecordBytes> data) {
    const std::uint32_t low = address & 0xFFu;
    const std::uint32_t high = (address >> 8) & 0xFFu;
    // 0x10000 less the byte count 0x10, then less every other byte.
    std::uint32_t acc = 0xFFF0u - low - high;
    std::string line;
    line.reserve(43);
    line += ":10";
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

Lines RenderImage(std::span<const std::uint8_t, kImageBytes> image) {
    Lines lines;
    lines.reserve(kImageBytes / kRecordBytes + 1);
    for (std::size_t a = 0; a < kImageBytes; a += kRecordBytes)
        lines.push_back(
            RecordLine(static_cast<std::uint16_t>(a), image.subspan(a).first<kRecordBytes>()));
    lines.emplace_back(kEndRecordLine);
    return lines;
}

}  // namespace lpt51::image
