#include "chip/Write.h"

#include <cstdint>

#include "chip/Devices.h"

namespace lpt51::chip {

std::optional<std::string> WriteRefusal(const image::Lines& lines) {
    const ScannedImage scan = ScanImage(lines);
    if (!scan.problem) return std::nullopt;
    return RefusalText(*scan.problem, "Write", "Nothing was programmed.");
}

WriteResult WriteImage(ChipContext& ctx, const std::string& cpuCaption, const image::Lines& lines,
                       ProgressObserver* observer) {
    WriteResult result;
    // The whole text is walked before the first port access, so a bad field
    // or an address beyond the chip programs nothing at all.
    const ScannedImage scan = ScanImage(lines);
    if (scan.problem) {
        result.refusal = RefusalText(*scan.problem, "Write", "Nothing was programmed.");
        return result;
    }

    Bus& bus = ctx.bus;
    ProgrammerState& st = ctx.state;
    const std::uint8_t modeBits = Is12V(cpuCaption) ? 0x30 : 0xB0;

    bus.LatchIdle(1);
    bus.BusDelay(20);
    for (const WalkRecord& rec : scan.records) {
        if (rec.data) {
            st.AddrHigh = rec.addrHigh;
            st.AddrLow = rec.addrLow;
            bus.SetControl(7);
            bus.BusDelay(1);
            for (const std::uint8_t b : rec.bytes) {
                bus.LatchLow(static_cast<std::uint8_t>(st.AddrLow), 1);
                bus.LatchHigh(static_cast<std::uint8_t>(modeBits | (st.AddrHigh & 0x0F)), 1);
                st.ChipByte = b;
                bus.PutData(b);
                bus.BusDelay(1);
                bus.Sleep(1);
                // An output-only port gets a second millisecond before the pulse.
                if (st.BidiMode == 0) bus.Sleep(1);
                bus.SetControl(0x0F);
                bus.BusDelay(1);
                bus.SetControl(7);
                bus.Sleep(3);
                AdvanceAddress(st);
                ++result.bytesProgrammed;
                if (observer) observer->bytesDone(result.bytesProgrammed, scan.dataBytes);
            }
        }
        if (observer) observer->recordFinished(rec.lineIndex);
    }
    bus.ReleaseBus();
    result.completed = true;
    return result;
}

std::optional<std::string> WriteFinalMessage(const WriteResult& result,
                                             const ProgrammerState& state) {
    if (result.refusal) return result.refusal;
    if (result.completed && state.CwvActive == 0) return std::string(kFileWasBurn);
    return std::nullopt;
}

}  // namespace lpt51::chip
