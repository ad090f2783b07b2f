// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/Verify.h"

#include <algorithm>

#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/HexText.h"

namespace lpt51::chip {

std::string MismatchQuestion(std::uint16_t addrHigh, std::uint16_t addrLow, std::uint8_t onChip,
                             std::uint8_t inFile) {
    return "Not correct on adress (Hex): " + Hex2(addrHigh) + Hex2(addrLow) +
           "\rOn chip =" + Hex2(onChip) + "  In file= " + Hex2(inFile) + "\r Continue ? ";
}

namespace {

// One byte at the current address as the verify reads it.
std::uint8_t ReadImageByte(ChipContext& ctx, const ReadWaits& w) {
    ctx.bus.LatchIdle(w.idle);
    ctx.bus.Wait(w.settle);
    LatchAddress(ctx.bus, ctx.state, kAt89c51.modeByte(Operation::ReadCode, Variant::Volts5),
                 w.latch);
    return ctx.bus.ReadStrobe(w.input, w.access);
}

}  // namespace

ReadBackResult ReadBackImage(ChipContext& ctx, const ScannedImage& scan, std::size_t limit,
                             ProgressObserver* observer, bool ignoreStop) {
    ReadBackResult result;
    ProgrammerState& st = ctx.state;
    const ReadWaits& w = st.waits().verify;
    const std::size_t total = std::min(limit, scan.dataBytes);
    for (const WalkRecord& rec : scan.records) {
        if (!rec.data) continue;
        st.AddrHigh = rec.addrHigh;
        st.AddrLow = rec.addrLow;
        for (const std::uint8_t expected : rec.bytes) {
            if (result.compared == total) break;
            if (!ignoreStop && ctx.stopAsked()) {
                result.stopped = true;
                break;
            }
            const std::uint8_t onChip = ReadImageByte(ctx, w);
            if (onChip != expected) {
                result.differences.push_back(
                    {static_cast<std::uint16_t>((st.AddrHigh << 8) | st.AddrLow), onChip, expected,
                     result.compared});
            }
            ctx.bus.Wait(w.after);
            AdvanceAddress(st);
            ++result.compared;
            if (observer) observer->bytesDone(result.compared, total);
        }
        if (result.stopped || result.compared == total) break;
    }
    ctx.bus.ReleaseBus();
    return result;
}

VerifyResult VerifyImage(ChipContext& ctx, const ScannedImage& scan, ProgressObserver* observer) {
    VerifyResult result;
    result.refusal = RefusalText(scan, ImageUse::Verify);
    if (result.refusal) return result;

    Bus& bus = ctx.bus;
    ProgrammerState& st = ctx.state;
    const ReadWaits& w = st.waits().verify;
    std::size_t done = 0;
    bool stopped = false;
    for (const WalkRecord& rec : scan.records) {
        if (rec.data) {
            st.AddrHigh = rec.addrHigh;
            st.AddrLow = rec.addrLow;
            result.remaining = rec.bytes.size();
            for (const std::uint8_t expected : rec.bytes) {
                if (ctx.stopAsked()) {
                    result.stopped = stopped = true;
                    break;
                }
                --result.remaining;
                st.ChipByte = ReadImageByte(ctx, w);
                ++result.compared;
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
                bus.Wait(w.after);
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
    if (result.stopped || result.remaining != 0 || state.CwvActive != 0) return std::nullopt;
    return std::string(state.VerifyFailed == 0 ? kFileCheckSuccessful : kVerifyNotCorrect);
}

}  // namespace lpt51::chip
