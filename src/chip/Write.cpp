#include "chip/Write.h"

#include <cstdint>

#include "chip/At89c51.h"
#include "chip/Devices.h"

namespace lpt51::chip {

WriteResult WriteImage(ChipContext& ctx, const std::string& cpuCaption, const ScannedImage& scan,
                       ProgressObserver* observer) {
    WriteResult result;
    // The whole text was walked before the first port access, so a bad field
    // or an address beyond the chip programs nothing at all.
    result.refusal = RefusalText(scan, ImageUse::Write);
    if (result.refusal) return result;

    Bus& bus = ctx.bus;
    ProgrammerState& st = ctx.state;
    const ModeEntry& program = kAt89c51.mode(Operation::ProgramCode);
    const std::uint8_t modeBits = program.modeByte(CaptionVariant(cpuCaption));

    bus.LatchIdle(1);
    bus.BusDelay(20);
    for (const WalkRecord& rec : scan.records) {
        if (rec.data) {
            st.AddrHigh = rec.addrHigh;
            st.AddrLow = rec.addrLow;
            bus.SetControl(control::kRest);
            bus.BusDelay(1);
            for (const std::uint8_t b : rec.bytes) {
                LatchAddress(bus, st, modeBits, 1);
                st.ChipByte = b;
                bus.PutData(b);
                bus.BusDelay(1);
                bus.Sleep(1);
                // An output-only port gets a second millisecond before the pulse.
                if (st.BidiMode == 0) bus.Sleep(1);
                bus.SetControl(program.control);
                bus.BusDelay(1);
                bus.SetControl(control::kRest);
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
