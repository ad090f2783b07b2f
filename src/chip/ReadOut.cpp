// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/ReadOut.h"

#include "chip/At89c51.h"
#include "image/RecordWriter.h"

namespace lpt51::chip {

namespace {

constexpr std::size_t kRecordBytes = image::kRecordBytes;
constexpr std::size_t kRecords = kCodeSize / kRecordBytes;

// The read-out's per-byte sequence: in the standard timing four-times delays
// and the long strobe.
std::uint8_t ReadCodeByte(ChipContext& ctx) {
    ProgrammerState& st = ctx.state;
    const std::uint8_t b = ReadByteAt(ctx, Operation::ReadCode, st.waits().readOut);
    // The address stops at the last byte instead of wrapping to 0.
    if (((st.AddrHigh << 8) | st.AddrLow) != kCodeSize - 1) AdvanceAddress(st);
    return b;
}

template <typename PerRecord>
bool ReadAll(ChipContext& ctx, ProgressObserver* observer, PerRecord perRecord) {
    ctx.state.AddrLow = 0;
    ctx.state.AddrHigh = 0;
    std::uint8_t record[kRecordBytes];
    for (std::size_t r = 0; r < kRecords; ++r) {
        if (ctx.stopAsked()) return false;
        for (std::size_t k = 0; k < kRecordBytes; ++k) record[k] = ReadCodeByte(ctx);
        perRecord(static_cast<unsigned>(r * kRecordBytes), record);
        if (observer) observer->bytesDone((r + 1) * kRecordBytes, kCodeSize);
    }
    return true;
}

}  // namespace

image::Lines ReadChip(ChipContext& ctx, ProgressObserver* observer) {
    const ChipReadOut out = ReadWholeChip(ctx, observer);
    image::Lines lines = ReadOutLines(out.bytes);
    if (out.stopped) lines.resize(out.bytesRead / kRecordBytes);
    return lines;
}

ChipReadOut ReadWholeChip(ChipContext& ctx, ProgressObserver* observer) {
    ChipReadOut out;
    out.stopped = !ReadAll(ctx, observer, [&](unsigned address, const std::uint8_t* bytes) {
        for (std::size_t k = 0; k < kRecordBytes; ++k) out.bytes[address + k] = bytes[k];
        out.bytesRead = address + kRecordBytes;
        if (observer) {
            observer->lineAppended(image::RecordLine(
                static_cast<std::uint16_t>(address),
                std::span<const std::uint8_t, kRecordBytes>(bytes, kRecordBytes)));
        }
    });
    if (observer && !out.stopped) observer->lineAppended(image::kEndRecordLine);
    ctx.bus.ReleaseBus();
    return out;
}

CodeBytes ReadChipBytes(ChipContext& ctx, ProgressObserver* observer) {
    return ReadWholeChip(ctx, observer).bytes;
}

image::Lines ReadOutLines(const CodeBytes& bytes) {
    image::Lines lines;
    lines.reserve(kRecords + 1);
    for (std::size_t r = 0; r < kRecords; ++r) {
        lines.push_back(image::RecordLine(static_cast<std::uint16_t>(r * kRecordBytes),
                                          std::span<const std::uint8_t, kRecordBytes>(
                                              bytes.data() + r * kRecordBytes, kRecordBytes)));
    }
    lines.emplace_back(image::kEndRecordLine);
    return lines;
}

}  // namespace lpt51::chip
