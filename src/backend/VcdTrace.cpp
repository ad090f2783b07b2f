// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <vector>

#include "backend/TraceFormat.h"

namespace lpt51 {

namespace {

constexpr const char* kSignature = "$comment lpt51 port trace";

// Every signal is a one-bit wire: the sigrok VCD reader (and so PulseView and
// sigrok-cli) takes nothing wider, and GTKWave can still combine bits into a
// bus. One bit of a 64-bit state word per signal, in this order.
enum Signal : unsigned {
    kD0 = 0,              // D0-D7: the data register as last written
    kLowLatchStrobe = 8,  // control bits as last written or read
    kHighLatchStrobe,
    kP27,
    kProg,
    kControlBit4,
    kDataDirection,
    kReadD0,  // read_D0-read_D7: the byte the last data register read returned
    kPortSignals = kReadD0 + 8,
    kA0 = kPortSignals,  // A0-A11: the low latch's outputs, then the high latch's bits 0-3
    kModeP26 = kA0 + 12,
    kModeP27,
    kModeP36,
    kModeP37,
    kVpp12V,
    kPortDrivesP0,
    kChipDrivesP0,
    kP0,  // P0_0-P0_7: the level of the data lines
    kFault = kP0 + 8,
    kSignalCount
};
static_assert(kSignalCount <= 52, "one letter per signal");

std::vector<std::string> SignalNames() {
    std::vector<std::string> names(kSignalCount);
    for (unsigned i = 0; i < 8; ++i) {
        names[kD0 + i] = "D" + std::to_string(i);
        names[kReadD0 + i] = "read_D" + std::to_string(i);
        names[kP0 + i] = "P0_" + std::to_string(i);
    }
    for (unsigned i = 0; i < 12; ++i) names[kA0 + i] = "A" + std::to_string(i);
    names[kLowLatchStrobe] = "low_latch_strobe";
    names[kHighLatchStrobe] = "high_latch_strobe";
    names[kP27] = "P2_7";
    names[kProg] = "PROG";
    names[kControlBit4] = "control_bit4";
    names[kDataDirection] = "data_direction";
    names[kModeP26] = "mode_P2_6";
    names[kModeP27] = "mode_P2_7";
    names[kModeP36] = "mode_P3_6";
    names[kModeP37] = "mode_P3_7";
    names[kVpp12V] = "VPP_12V";
    names[kPortDrivesP0] = "port_drives_P0";
    names[kChipDrivesP0] = "chip_drives_P0";
    names[kFault] = "fault";
    return names;
}

constexpr std::uint64_t Bit(unsigned signal) {
    return std::uint64_t{1} << signal;
}

constexpr std::uint64_t Bits(unsigned first, unsigned count) {
    return ((std::uint64_t{1} << count) - 1) << first;
}

constexpr std::uint64_t kAdapterBits = Bits(kPortSignals, kSignalCount - kPortSignals);

// The control bits that reach a signal: 0-5, in signal order.
constexpr std::uint64_t kControlBits = Bits(kLowLatchStrobe, 6);

class VcdTrace final : public TraceFormat {
  public:
    VcdTrace(std::string description, const sim::VirtualAdapter* adapter)
        : description_(std::move(description)), adapter_(adapter) {
        // '$' would end the comment early.
        for (char& c : description_)
            if (c == '$') c = '_';
        if (adapter_ != nullptr) {
            known_ = kAdapterBits;
            sampleAdapter();
        }
        shownKnown_ = known_;
        shownValue_ = value_;
    }

    std::string signature() const override { return kSignature; }

    std::string header() const override {
        std::string text = std::string(kSignature) + ": " + description_ + " $end\n";
        text +=
            "$comment port: D0-D7 and the control bits as the program writes them (the connector "
            "inverts strobe, auto feed and select-in); read_D0-read_D7 is the last byte read "
            "back. ";
        if (adapter_ != nullptr) {
            text +=
                "adapter: the latch outputs (A0-A7 low latch, A8-A11 and the mode lines high "
                "latch), the programming voltage, who drives P0 and its level; fault pulses "
                "where the model noticed a fault, listed at the end. ";
        }
        text += "$end\n$timescale 1 us $end\n";
        const std::vector<std::string> names = SignalNames();
        auto scope = [&](const char* name, unsigned first, unsigned last) {
            text += std::string("$scope module ") + name + " $end\n";
            for (unsigned i = first; i < last; ++i) {
                text += "$var wire 1 " + Id(i) + " " + names[i] + " $end\n";
            }
            text += "$upscope $end\n";
        };
        scope("port", 0, kPortSignals);
        if (adapter_ != nullptr) scope("adapter", kPortSignals, kSignalCount);
        text += "$enddefinitions $end\n#0\n$dumpvars\n";
        for (unsigned i = 0; i < signalCount(); ++i) text += Change(known_, value_, i);
        return text + "$end\n";
    }

    void access(std::string& out, Duration at, const PortAccess& a) override {
        advance(out, at);
        switch (a.kind) {
            case PortAccess::Kind::WriteData:
                set(Bits(kD0, 8), std::uint64_t{a.value} << kD0);
                break;
            case PortAccess::Kind::ReadData:
                set(Bits(kReadD0, 8), std::uint64_t{a.value} << kReadD0);
                break;
            case PortAccess::Kind::ReadControl:
            case PortAccess::Kind::WriteControl:
                set(kControlBits, std::uint64_t{a.value & 0x3Fu} << kLowLatchStrobe);
                break;
        }
        if (adapter_ != nullptr) sampleAdapter();
    }
    void busyWait(std::string& out, Duration at, std::uint32_t, std::uint32_t) override {
        advance(out, at);
    }
    void sleep(std::string& out, Duration at, unsigned) override { advance(out, at); }
    void exactWait(std::string& out, Duration at, Duration) override { advance(out, at); }
    void fault(std::string& out, Duration at, const std::string& what) override {
        advance(out, at);
        value_ |= Bit(kFault);
        const long long ns = at.count();
        char time[40];
        std::snprintf(time, sizeof time, "%lld.%03lld us: ", ns / 1000, ns % 1000);
        faults_ += std::string(faults_.empty() ? "" : "; ") + time + what;
    }
    void end(std::string& out, Duration at) override {
        advance(out, at);
        // The dump lasts to the end of the trace, even if nothing changed then.
        if (!emit(out, time_)) stamp(out, time_);
        // After the last change: the sigrok reader stops at a comment among
        // the changes, so nothing may follow it.
        if (!faults_.empty()) {
            for (char& c : faults_)
                if (c == '$') c = '_';
            out += "$comment faults: " + faults_ + " $end\n";
        }
    }

  private:
    unsigned signalCount() const { return adapter_ != nullptr ? kSignalCount : kPortSignals; }

    // Letters only: '$' and '#' are legal but trip readers that take them for
    // a keyword or a time.
    static std::string Id(unsigned signal) {
        static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        return std::string(1, kLetters[signal]);
    }

    static std::string Change(std::uint64_t known, std::uint64_t value, unsigned signal) {
        const char level = !(known & Bit(signal)) ? 'x' : (value & Bit(signal)) ? '1' : '0';
        return std::string(1, level) + Id(signal) + "\n";
    }

    void set(std::uint64_t mask, std::uint64_t bits) {
        known_ |= mask;
        value_ = (value_ & ~mask) | bits;
    }

    void sampleAdapter() {
        const sim::VirtualAdapter::ChipPins p = adapter_->pins();
        std::uint64_t bits = std::uint64_t{p.address} << kA0;
        bits |= p.p26 ? Bit(kModeP26) : 0;
        bits |= p.p27 ? Bit(kModeP27) : 0;
        bits |= p.p36 ? Bit(kModeP36) : 0;
        bits |= p.p37 ? Bit(kModeP37) : 0;
        bits |= p.twelveVolts ? Bit(kVpp12V) : 0;
        bits |= p.portDrives ? Bit(kPortDrivesP0) : 0;
        bits |= p.chipDrives ? Bit(kChipDrivesP0) : 0;
        bits |= std::uint64_t{p.lines} << kP0;
        const std::uint64_t mask = kAdapterBits & ~Bit(kFault);
        value_ = (value_ & ~mask) | bits;
    }

    // Changes are written once per time step, as the state stood at its end:
    // accesses within one step (virtual time stands still between waits) show
    // as one change. A fault pulse lasts one step.
    void advance(std::string& out, Duration at) {
        const long long us = at.count() / 1000;
        if (us <= time_) return;
        emit(out, time_);
        if (shownValue_ & Bit(kFault)) {
            value_ &= ~Bit(kFault);
            if (us > time_ + 1) emit(out, time_ + 1);
        }
        time_ = us;
    }

    void stamp(std::string& out, long long time) {
        if (time == stamped_) return;
        out += "#" + std::to_string(time) + "\n";
        stamped_ = time;
    }

    bool emit(std::string& out, long long time) {
        const std::uint64_t changed = (known_ ^ shownKnown_) | (value_ ^ shownValue_);
        if (changed == 0) return false;
        stamp(out, time);
        for (unsigned i = 0; i < signalCount(); ++i) {
            if (changed & Bit(i)) out += Change(known_, value_, i);
        }
        shownKnown_ = known_;
        shownValue_ = value_;
        return true;
    }

    std::string description_;
    const sim::VirtualAdapter* adapter_;
    std::uint64_t known_ = 0;
    std::uint64_t value_ = 0;
    std::uint64_t shownKnown_ = 0;
    std::uint64_t shownValue_ = 0;
    long long time_ = 0;     // microseconds
    long long stamped_ = 0;  // the last time written: the dump of the start is at #0
    std::string faults_;
};

}  // namespace

std::unique_ptr<TraceFormat> MakeVcdTrace(const std::string& description,
                                          const sim::VirtualAdapter* adapter) {
    return std::make_unique<VcdTrace>(description, adapter);
}

}  // namespace lpt51
