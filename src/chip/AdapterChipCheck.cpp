// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter check's chip stage: what a chip programmed and read back
// through the adapter says about its address and data lines.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "chip/AdapterCheck.h"
#include "chip/AdapterWiring.h"
#include "chip/Erase.h"
#include "chip/HexText.h"
#include "chip/ReadOut.h"
#include "chip/Signature.h"
#include "chip/Write.h"
#include "image/RecordWriter.h"
#include "port/RecordingPort.h"

namespace lpt51::chip {

namespace {

constexpr unsigned kAddressLines = 12;

std::string N(int n) {
    return std::to_string(n);
}

std::string AddressLineText(unsigned k) {
    return "A" + N(static_cast<int>(k)) + " (socket pin " +
           N(socket_pins::AddressPin(static_cast<int>(k))) + ")";
}

// The pattern's byte at an address: the top byte of the address times
// 2^32 / phi (Fibonacci hashing). Addresses that differ in any one line hold
// different bytes somewhere, every data bit takes both values and no two bits
// are always equal; and where two addresses alias, so that both writes land
// in one cell (which keeps old AND new), that still holds of what is read. So
// a line that does not reach the chip is not taken for a stuck data bit.
std::uint8_t PatternByte(unsigned address) {
    return static_cast<std::uint8_t>((address * 2654435761u) >> 24);
}

ScannedImage PatternImage() {
    ScannedImage scan;
    constexpr std::size_t kRecord = image::kRecordBytes;
    for (std::size_t r = 0; r < kCodeSize / kRecord; ++r) {
        WalkRecord rec;
        rec.lineIndex = r;
        rec.data = true;
        rec.addrHigh = static_cast<std::uint16_t>((r * kRecord) >> 8);
        rec.addrLow = static_cast<std::uint16_t>((r * kRecord) & 0xFF);
        for (std::size_t k = 0; k < kRecord; ++k)
            rec.bytes.push_back(PatternByte(static_cast<unsigned>(r * kRecord + k)));
        scan.records.push_back(std::move(rec));
    }
    scan.endLine = scan.records.size();
    scan.dataBytes = kCodeSize;
    return scan;
}

std::string Address(std::size_t a) {
    return Hex2(static_cast<unsigned>(a >> 8)) + Hex2(static_cast<unsigned>(a & 0xFF));
}

// The data bits that read 0 in every byte.
std::uint8_t NeverOne(const CodeBytes& bytes) {
    std::uint8_t any = 0;
    for (const std::uint8_t b : bytes) any |= b;
    return static_cast<std::uint8_t>(~any);
}

// The address line a latch output carries, and the data line it takes.
int DataLineOf(unsigned addressLine) {
    const Drive latch = addressLine < 8 ? Drive::LowLatch : Drive::HighLatch;
    return FindConnection(latch, static_cast<int>(addressLine % 8))->db25 -
           FindConnection(Drive::DataLine, 0)->db25;
}

class ChipStage {
  public:
    ChipStage(ChipContext& ctx, ProgressObserver* observer) : ctx_(ctx), observer_(observer) {}

    StageResult run(const std::string& cpuCaption);

  private:
    void add(std::string text) { result_.findings.push_back({CheckStage::Chip, std::move(text)}); }
    bool deviceCheck(const std::string& cpuCaption);
    void judgeErase(const CodeBytes& bytes, const char* when);
    void judgeReadBack(const CodeBytes& read);
    // The address lines along which every byte reads as its neighbour's.
    std::vector<unsigned> aliasedLines(const CodeBytes& read) const;
    void judgeDataLines(const std::vector<unsigned>& aliased);
    void judgeBits(const CodeBytes& read, const CodeBytes& expected);
    void judgeSignature();

    ChipContext& ctx_;
    ProgressObserver* observer_;
    StageResult result_;
    std::vector<std::uint8_t> signature_;
    // Data bits that never read 1 from the erased chip: the chip cannot make
    // a one on them, so no byte is judged by them.
    std::uint8_t neverOne_ = 0;
    std::uint8_t judged_ = 0xFF;
    bool dataFound_ = false;
};

// The device check as erase runs it, its signature bytes taken from the
// port traffic.
bool ChipStage::deviceCheck(const std::string& cpuCaption) {
    RecordingPort tap(ctx_.bus.port());
    Bus bus(tap, ctx_.bus.clock(), ctx_.bus.delayUnit());
    ChipContext tapped{bus, ctx_.prompts, ctx_.state, ctx_.pulseLog};
    const bool go = RunDeviceCheck(tapped, cpuCaption);
    for (const PortAccess& a : tap.log()) {
        if (a.kind == PortAccess::Kind::ReadData) signature_.push_back(a.value);
    }
    return go;
}

void ChipStage::judgeErase(const CodeBytes& bytes, const char* when) {
    std::size_t n = 0, first = 0;
    for (std::size_t a = 0; a < bytes.size(); ++a) {
        if ((bytes[a] | static_cast<std::uint8_t>(~judged_)) != 0xFF && n++ == 0) first = a;
    }
    if (n == 0) return;
    add(std::string("The chip is not blank ") + when + ": " + N(static_cast<int>(n)) +
        " bytes are not FF, the first at " + Address(first) + " (" + Hex2(bytes[first]) +
        "). The erase did not reach the chip: check ALE/PROG (socket pin 30), EA/VPP (socket "
        "pin 31) and the mode lines P2.6, P3.6 and P3.7 (socket pins 27, 16 and 17).");
}

std::vector<unsigned> ChipStage::aliasedLines(const CodeBytes& read) const {
    std::vector<unsigned> lines;
    for (unsigned k = 0; k < kAddressLines; ++k) {
        bool alike = true;
        for (unsigned a = 0; alike && a < kCodeSize; ++a)
            alike = ((read[a] ^ read[a ^ (1u << k)]) & judged_) == 0;
        if (alike) lines.push_back(k);
    }
    return lines;
}

// A data line that never reads 1 is held low itself when the address lines
// latched from it do not reach the chip either; otherwise only the chip
// cannot pull it up.
void ChipStage::judgeDataLines(const std::vector<unsigned>& aliased) {
    for (int n = 0; n < 8; ++n) {
        if (((neverOne_ >> n) & 1) == 0) continue;
        dataFound_ = true;
        std::string held;
        int count = 0;
        for (const unsigned k : aliased) {
            if (DataLineOf(k) != n) continue;
            held += (count++ == 0 ? "" : " and ") + ("A" + N(static_cast<int>(k)));
        }
        if (count > 0) {
            add(DataLineText(n) +
                " is held low (shorted to ground): no byte reads a 1 on it, and " + held +
                ", latched from it, " + (count > 1 ? "do" : "does") +
                " not reach the chip either.");
        } else {
            add(DataLineText(n) + " never reads 1 from the chip: its pull-up R1" + N(n) +
                " is missing, or the line does not reach the chip's P0." + N(n) + ".");
        }
    }
    for (const unsigned k : aliased) {
        if ((neverOne_ >> DataLineOf(k)) & 1) continue;
        add(AddressLineText(k) + " does not reach the chip: addresses that differ only in A" +
            N(static_cast<int>(k)) +
            " read the same byte (it is stuck, open, or shorted to another "
            "line).");
    }
}

// Data bits against what the chip must hold, given the lines that alias.
void ChipStage::judgeBits(const CodeBytes& read, const CodeBytes& expected) {
    std::uint8_t explained = static_cast<std::uint8_t>(~judged_);
    for (int i = 0; i < 8; ++i) {
        bool everZero = false, expectZero = false;
        for (std::size_t a = 0; a < read.size(); ++a) {
            everZero = everZero || ((read[a] >> i) & 1) == 0;
            expectZero = expectZero || ((expected[a] >> i) & 1) == 0;
        }
        if (everZero || !expectZero || ((explained >> i) & 1)) continue;
        explained |= static_cast<std::uint8_t>(1u << i);
        dataFound_ = true;
        add(DataLineText(i) +
            " never reads 0 from the chip: it is held high, or does not reach "
            "the chip's P0." +
            N(i) + ".");
    }
    for (int i = 0; i < 8; ++i) {
        for (int j = i + 1; j < 8; ++j) {
            const std::uint8_t pair = static_cast<std::uint8_t>((1u << i) | (1u << j));
            if (explained & pair) continue;
            bool alike = true, expectAlike = true;
            for (std::size_t a = 0; a < read.size(); ++a) {
                alike = alike && (((read[a] >> i) ^ (read[a] >> j)) & 1) == 0;
                expectAlike = expectAlike && (((expected[a] >> i) ^ (expected[a] >> j)) & 1) == 0;
            }
            if (!alike || expectAlike) continue;
            explained |= pair;
            dataFound_ = true;
            add(DataLineText(i) + " and " + DataLineText(j) +
                " always read alike from the chip: they are shorted together.");
        }
    }
    std::size_t wrong = 0, at = 0;
    for (std::size_t a = 0; a < read.size(); ++a) {
        if (((read[a] ^ expected[a]) & ~explained) != 0 && wrong++ == 0) at = a;
    }
    if (wrong > 0) {
        add(N(static_cast<int>(wrong)) + " bytes read back other than programmed, the first at " +
            Address(at) + " (" + Hex2(expected[at]) + " expected, " + Hex2(read[at]) + " read).");
    }
}

void ChipStage::judgeReadBack(const CodeBytes& read) {
    bool programmed = false;
    for (const std::uint8_t b : read) programmed = programmed || (b & judged_) != judged_;
    if (!programmed) {
        add("Nothing was programmed, or nothing can be read: every byte reads as erased. Check "
            "P2.7 (socket pin 28), ALE/PROG (socket pin 30), EA/VPP (socket pin 31), and that "
            "--device names the part in the socket.");
        return;
    }
    const std::vector<unsigned> aliased = aliasedLines(read);
    judgeDataLines(aliased);
    // Where lines alias, both writes landed in one cell, which keeps old AND new.
    CodeBytes expected{};
    for (std::size_t a = 0; a < expected.size(); ++a)
        expected[a] = PatternByte(static_cast<unsigned>(a));
    for (const unsigned k : aliased) {
        for (std::size_t a = 0; a < expected.size(); ++a) {
            const std::size_t b = a ^ (1u << k);
            if (a < b) expected[a] = expected[b] = expected[a] & expected[b];
        }
    }
    judgeBits(read, expected);
}

// The signature read by the device check against the part's: two data
// lines swapped between the connector and the socket show only here, since
// a byte written through them reads back through them unchanged.
void ChipStage::judgeSignature() {
    if (signature_.size() != 3 || dataFound_) return;
    std::array<std::uint8_t, 3> expected12{kAt89c51.manufacturer, kAt89c51.device,
                                           kAt89c51.signature(Variant::Volts12)};
    std::array<std::uint8_t, 3> expected5 = expected12;
    expected5[2] = kAt89c51.signature(Variant::Volts5);
    const std::array<std::uint8_t, 3> got{signature_[0], signature_[1], signature_[2]};
    if (got == expected12 || got == expected5) return;
    const auto text = [](const std::array<std::uint8_t, 3>& b) {
        return Hex2(b[0]) + " " + Hex2(b[1]) + " " + Hex2(b[2]);
    };
    const auto swapped = [](std::uint8_t b, int i, int j) {
        return ((b >> i) & 1) == ((b >> j) & 1)
                   ? b
                   : static_cast<std::uint8_t>(b ^ (1u << i) ^ (1u << j));
    };
    for (const auto& expected : {expected12, expected5}) {
        for (int i = 0; i < 8; ++i) {
            for (int j = i + 1; j < 8; ++j) {
                bool match = true;
                for (std::size_t k = 0; k < 3; ++k)
                    match = match && swapped(expected[k], i, j) == got[k];
                if (!match) continue;
                add(DataLineText(i) + " and " + DataLineText(j) +
                    " are swapped: the signature reads " + text(got) + ", which is " +
                    text(expected) + " with those two bits exchanged.");
                return;
            }
        }
    }
    // Said only where nothing else explains it.
    if (!result_.findings.empty()) return;
    add("The signature reads " + text(got) + ", not an AT89C51's (" + text(expected12) + " or " +
        Hex2(expected5[2]) +
        " last): an address line, or P2.7 (socket pin 28), is wired wrongly, or the chip is of "
        "another kind.");
}

StageResult ChipStage::run(const std::string& cpuCaption) {
    if (ctx_.state.BidiMode == 0) {
        result_.skipped =
            "This port cannot read the chip back, so the chip stage cannot judge what it "
            "programs. Set the port to bidirectional (PS/2 or EPP) mode in the BIOS.";
        return result_;
    }
    if (!deviceCheck(cpuCaption)) {
        result_.skipped = "The device check stopped the chip stage: nothing was erased.";
        return result_;
    }
    const BusTiming& w = ctx_.state.waits();
    const bool is12V = CaptionVariant(cpuCaption) == Variant::Volts12;
    EraseSequence(ctx_.bus, is12V, w.erase);
    const CodeBytes erased = ReadChipBytes(ctx_, observer_);
    neverOne_ = NeverOne(erased);
    judged_ = static_cast<std::uint8_t>(~neverOne_);
    judgeErase(erased, "after the erase");

    const WriteResult written = WriteImage(ctx_, cpuCaption, PatternImage(), observer_);
    if (written.failure) add("The pattern's write stopped: " + *written.failure);
    judgeReadBack(ReadChipBytes(ctx_, observer_));
    judgeSignature();

    EraseSequence(ctx_.bus, is12V, w.erase);
    judgeErase(ReadChipBytes(ctx_, observer_), "after the final erase");
    ctx_.bus.ReleaseBus();
    return result_;
}

}  // namespace

StageResult CheckWithChip(ChipContext& ctx, const std::string& cpuCaption,
                          ProgressObserver* observer) {
    return ChipStage(ctx, observer).run(cpuCaption);
}

}  // namespace lpt51::chip
