// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter check's automatic stage: the port and its data lines alone.
#include <array>
#include <cstdint>
#include <vector>

#include "chip/AdapterCheck.h"
#include "chip/AdapterWiring.h"
#include "chip/HexText.h"

namespace lpt51::chip {

namespace {

// What one data line did across the driven patterns.
struct LineRecord {
    int highDriven = 0, readLowWhenHigh = 0;
    int lowDriven = 0, readHighWhenLow = 0;
    std::array<bool, 8> followed{};  // it read as line m was driven, against its own value
};

std::vector<std::uint8_t> DrivenPatterns() {
    std::vector<std::uint8_t> patterns{0x00, 0xFF};
    for (int n = 0; n < 8; ++n) patterns.push_back(static_cast<std::uint8_t>(1u << n));
    for (int n = 0; n < 8; ++n) patterns.push_back(static_cast<std::uint8_t>(~(1u << n)));
    return patterns;
}

std::array<LineRecord, 8> DriveAndReadBack(Bus& bus) {
    std::array<LineRecord, 8> lines{};
    bus.SetControlOut(control::kRest);
    for (const std::uint8_t p : DrivenPatterns()) {
        bus.PutData(p);
        bus.BusDelay(1);
        const std::uint8_t read = bus.GetData();
        // A walking pattern: the one line that differs from the rest.
        int odd = -1;
        for (int m = 0; m < 8; ++m) {
            const std::uint8_t others = static_cast<std::uint8_t>(p ^ (1u << m));
            if (others == 0x00 || others == 0xFF) odd = m;
        }
        for (int n = 0; n < 8; ++n) {
            LineRecord& r = lines[static_cast<std::size_t>(n)];
            const bool driven = (p >> n) & 1, seen = (read >> n) & 1;
            (driven ? r.highDriven : r.lowDriven) += 1;
            if (driven && !seen) ++r.readLowWhenHigh;
            if (!driven && seen) ++r.readHighWhenLow;
            if (odd >= 0 && odd != n && seen != driven)
                r.followed[static_cast<std::size_t>(odd)] = true;
        }
    }
    return lines;
}

// Findings for lines that read other than driven; sets `grounded` for the
// lines found shorted to ground, which read 0 as inputs for that reason.
void JudgeDriven(const std::array<LineRecord, 8>& lines, std::uint8_t& grounded,
                 std::vector<Finding>& out) {
    const auto add = [&](std::string text) {
        out.push_back({CheckStage::Automatic, std::move(text)});
    };
    for (int n = 0; n < 8; ++n) {
        const LineRecord& r = lines[static_cast<std::size_t>(n)];
        if (r.readLowWhenHigh == r.highDriven) {
            grounded |= static_cast<std::uint8_t>(1u << n);
            add(DataLineText(n) +
                " is shorted to ground: it reads 0 even while the port drives it high.");
            continue;
        }
        if (r.readHighWhenLow == r.lowDriven) {
            add(DataLineText(n) +
                " is shorted to +5 V: it reads 1 even while the port drives it low.");
            continue;
        }
        if (r.readLowWhenHigh + r.readHighWhenLow == 0) continue;
        int partner = -1;
        for (int m = 0; m < 8; ++m)
            if (r.followed[static_cast<std::size_t>(m)]) partner = m;
        if (partner < 0) {
            add(DataLineText(n) + " reads other than the port drives it in " +
                std::to_string(r.readLowWhenHigh + r.readHighWhenLow) + " of " +
                std::to_string(r.highDriven + r.lowDriven) +
                " patterns: it is shorted to another line or to a supply.");
        } else if (partner > n || !lines[static_cast<std::size_t>(partner)]
                                       .followed[static_cast<std::size_t>(n)]) {
            add(DataLineText(n) + " and " + DataLineText(partner) + " are shorted together: " +
                "D" + std::to_string(n) + " reads as D" + std::to_string(partner) + " is driven.");
        }
    }
}

void JudgePullUps(std::uint8_t undriven, std::uint8_t grounded, std::vector<Finding>& out) {
    const std::uint8_t missing = static_cast<std::uint8_t>(~undriven & ~grounded);
    if (missing == 0) return;
    if (missing == 0xFF) {
        out.push_back({CheckStage::Automatic,
                       "None of D0-D7 reads 1 with nothing driving it: the pull-ups R10-R17 are "
                       "missing, or have no +5 V."});
        return;
    }
    for (int n = 0; n < 8; ++n) {
        if (((missing >> n) & 1) == 0) continue;
        out.push_back({CheckStage::Automatic,
                       DataLineText(n) + " reads 0 with nothing driving it: its pull-up R1" +
                           std::to_string(n) + " is missing or not connected to +5 V."});
    }
}

}  // namespace

StageResult CheckPort(ChipContext& ctx) {
    Bus& bus = ctx.bus;
    StageResult result;
    // The lines as inputs with both latches holding and PROG high: what the
    // lines do now reaches neither a latch nor the socket.
    bus.SetControl(control::kInput);
    bus.PutData(0x00);
    bus.BusDelay(1);
    const std::uint8_t with00 = bus.GetData();
    bus.PutData(0xFF);
    bus.BusDelay(1);
    const std::uint8_t withFF = bus.GetData();
    if (with00 == 0x00 && withFF == 0xFF) {
        result.skipped =
            "The port reads back what it writes with its drivers off: it is output-only (SPP) "
            "and cannot read its lines, so the data lines and their pull-ups cannot be checked "
            "here. Set the port to bidirectional (PS/2 or EPP) mode in the BIOS to check them.";
    } else {
        std::uint8_t grounded = 0;
        JudgeDriven(DriveAndReadBack(bus), grounded, result.findings);
        JudgePullUps(withFF, grounded, result.findings);
    }
    bus.SetControlOut(control::kRest);
    bus.ReleaseBus();
    return result;
}

}  // namespace lpt51::chip
