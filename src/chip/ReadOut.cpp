#include "chip/ReadOut.h"

#include "chip/HexText.h"

namespace lpt51::chip {

namespace {

constexpr std::size_t kRecordBytes = 16;
constexpr std::size_t kRecords = 4096 / kRecordBytes;

// ":10" + address + "00" + 16 bytes + checksum, 43 characters.
std::string RecordLine(unsigned address, const std::uint8_t* bytes) {
    unsigned sum = 0x10 + (address >> 8) + (address & 0xFF);
    std::string line = ":10" + Hex2(address >> 8) + Hex2(address & 0xFF) + "00";
    for (std::size_t k = 0; k < kRecordBytes; ++k) {
        line += Hex2(bytes[k]);
        sum += bytes[k];
    }
    line += Hex2((0x100 - (sum & 0xFF)) & 0xFF);
    return line;
}

// The read-out's per-byte sequence: four-times delays and the long strobe.
std::uint8_t ReadCodeByte(ChipContext& ctx) {
    Bus& bus = ctx.bus;
    ProgrammerState& st = ctx.state;
    bus.LatchIdle(4);
    bus.LatchLow(static_cast<std::uint8_t>(st.AddrLow), 4);
    bus.LatchHigh(static_cast<std::uint8_t>(0xB0 | (st.AddrHigh & 0x0F)), 4);
    st.ChipByte = bus.ReadStrobe(10, 40);
    // The address stops at 0xFFF instead of wrapping to 0.
    if (!(st.AddrLow == 0xFF && st.AddrHigh == 0x0F)) {
        if (++st.AddrLow == 0x100) {
            st.AddrLow = 0;
            ++st.AddrHigh;
        }
    }
    return static_cast<std::uint8_t>(st.ChipByte);
}

template <typename PerRecord>
void ReadAll(ChipContext& ctx, ProgressObserver* observer, PerRecord perRecord) {
    ctx.state.AddrLow = 0;
    ctx.state.AddrHigh = 0;
    std::uint8_t record[kRecordBytes];
    for (std::size_t r = 0; r < kRecords; ++r) {
        for (std::size_t k = 0; k < kRecordBytes; ++k) record[k] = ReadCodeByte(ctx);
        perRecord(static_cast<unsigned>(r * kRecordBytes), record);
        if (observer) observer->bytesDone((r + 1) * kRecordBytes, 4096);
    }
}

}  // namespace

image::Lines ReadChip(ChipContext& ctx, ProgressObserver* observer) {
    image::Lines lines;
    lines.reserve(kRecords + 1);
    ReadAll(ctx, observer, [&](unsigned address, const std::uint8_t* bytes) {
        lines.push_back(RecordLine(address, bytes));
        if (observer) observer->lineAppended(lines.back());
    });
    lines.emplace_back(":00000001FF");
    if (observer) observer->lineAppended(lines.back());
    ctx.bus.ReleaseBus();
    return lines;
}

std::array<std::uint8_t, 4096> ReadChipBytes(ChipContext& ctx, ProgressObserver* observer) {
    std::array<std::uint8_t, 4096> out{};
    ReadAll(ctx, observer, [&](unsigned address, const std::uint8_t* bytes) {
        for (std::size_t k = 0; k < kRecordBytes; ++k) out[address + k] = bytes[k];
    });
    ctx.bus.ReleaseBus();
    return out;
}

}  // namespace lpt51::chip
