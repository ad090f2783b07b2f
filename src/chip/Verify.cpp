#include "chip/Verify.h"

#include "chip/Devices.h"
#include "chip/HexText.h"

namespace lpt51::chip {

std::string MismatchQuestion(std::uint16_t addrHigh, std::uint16_t addrLow, std::uint8_t onChip,
                             std::uint8_t inFile) {
    return "Not correct on adress (Hex): " + Hex2(addrHigh) + Hex2(addrLow) +
           "\rOn chip =" + Hex2(onChip) + "  In file= " + Hex2(inFile) + "\r Continue ? ";
}

std::optional<std::string> VerifyRefusal(const image::Lines& lines) {
    const ScannedImage scan = ScanImage(lines);
    if (!scan.problem) return std::nullopt;
    return RefusalText(*scan.problem, "Verify", "Nothing was compared.");
}

VerifyResult VerifyImage(ChipContext& ctx, const image::Lines& lines, ProgressObserver* observer) {
    VerifyResult result;
    const ScannedImage scan = ScanImage(lines);
    if (scan.problem) {
        result.refusal = RefusalText(*scan.problem, "Verify", "Nothing was compared.");
        return result;
    }

    Bus& bus = ctx.bus;
    ProgrammerState& st = ctx.state;
    std::size_t done = 0;
    bool stopped = false;
    for (const WalkRecord& rec : scan.records) {
        if (rec.data) {
            st.AddrHigh = rec.addrHigh;
            st.AddrLow = rec.addrLow;
            result.remaining = rec.bytes.size();
            for (const std::uint8_t expected : rec.bytes) {
                bus.LatchIdle(1);
                bus.BusDelay(20);
                bus.LatchLow(static_cast<std::uint8_t>(st.AddrLow), 1);
                bus.LatchHigh(static_cast<std::uint8_t>(0xB0 | (st.AddrHigh & 0x0F)), 1);
                --result.remaining;
                st.ChipByte = bus.ReadStrobe(4, 20);
                if (st.ChipByte != expected) {
                    st.VerifyFailed = 1;
                    ++result.mismatches;
                    const auto onChip = static_cast<std::uint8_t>(st.ChipByte);
                    if (observer) {
                        observer->mismatch(
                            static_cast<std::uint16_t>((st.AddrHigh << 8) | st.AddrLow), onChip,
                            expected);
                    }
                    const std::string q =
                        MismatchQuestion(st.AddrHigh, st.AddrLow, onChip, expected);
                    if (ctx.prompts.ask(QuestionKind::Error, q) == Answer::No) {
                        stopped = true;
                        break;
                    }
                }
                bus.Sleep(1);
                AdvanceAddress(st);
                ++done;
                if (observer) observer->bytesDone(done, scan.dataBytes);
            }
        }
        if (stopped) break;
        if (observer) observer->recordFinished(rec.lineIndex);
    }
    result.reachedEnd = !stopped;
    bus.ReleaseBus();
    return result;
}

std::optional<std::string> VerifyFinalMessage(const VerifyResult& result,
                                              const ProgrammerState& state) {
    if (result.refusal) return result.refusal;
    if (result.remaining != 0 || state.CwvActive != 0) return std::nullopt;
    return std::string(state.VerifyFailed == 0 ? kFileCheckSuccessful : kVerifyNotCorrect);
}

}  // namespace lpt51::chip
