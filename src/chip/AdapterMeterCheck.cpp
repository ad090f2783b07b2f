// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter check's guided stage: every socket pin the adapter drives,
// measured by the user while lpt51 sets it apart from its neighbours.
#include <array>
#include <cstdint>
#include <string>

#include "chip/AdapterCheck.h"
#include "chip/AdapterWiring.h"

namespace lpt51::chip {

namespace {

using namespace socket_pins;

std::string N(int n) {
    return std::to_string(n);
}

// Lines that one register or latch drives together, so that a pattern sets
// one apart from the others.
enum class Group { LowLatch, HighLatch, Data };

constexpr int GroupSize(Group g) {
    return g == Group::HighLatch ? 7 : 8;  // the high latch's Q7 is the 12 V switch's
}

const Connection& Row(Group g, int i) {
    const Drive drive = g == Group::LowLatch    ? Drive::LowLatch
                        : g == Group::HighLatch ? Drive::HighLatch
                                                : Drive::DataLine;
    return *FindConnection(drive, i);
}

// "A3", "P3.7", "D5".
std::string LineName(Group g, int i) {
    const int pin = Row(g, i).socketPin;
    const std::string programming = ProgrammingName(pin);
    return programming.empty() ? SocketPinName(pin) : programming;
}

// Where the line comes from: "the low latch's Q3 (pin 16)", "DB-25 pin 5 (D3)".
std::string SourceText(Group g, int i) {
    if (g == Group::Data) return "DB-25 pin " + N(Row(g, i).db25) + " (D" + N(i) + ")";
    return std::string(g == Group::LowLatch ? "the low latch's" : "the high latch's") + " Q" +
           N(i) + " (pin " + N(LatchOutputPin(i)) + ")";
}

std::string OthersText(Group g) {
    switch (g) {
        case Group::LowLatch:
            return "the other low latch outputs";
        case Group::HighLatch:
            return "the other high latch outputs";
        case Group::Data:
            return "the other data lines";
    }
    return {};
}

class Guide {
  public:
    Guide(ChipContext& ctx, Meter& meter) : bus_(ctx.bus), meter_(meter) {}

    StageResult run();

  private:
    void set(Group g, std::uint8_t pattern);
    // Asks; false when the user stopped.
    bool ask(int pin, Volts expected, const std::string& line, const std::string& set, Volts& got);
    bool checkGroup(Group g);
    bool checkLine(Group g, int i, std::array<int, 8>& carries);
    bool followPin(Group g, int i, int& source);
    void nameSwaps(Group g, const std::array<int, 8>& carries);
    bool checkVpp();
    bool checkControl(std::uint8_t bit, int pin, const std::string& line, Volts whenSet);
    void add(std::string text) {
        result_.findings.push_back({CheckStage::Guided, std::move(text)});
    }

    Bus& bus_;
    Meter& meter_;
    StageResult result_;
};

void Guide::set(Group g, std::uint8_t pattern) {
    switch (g) {
        case Group::LowLatch:
            bus_.LatchLow(pattern, 1);
            break;
        case Group::HighLatch:
            // The 12 V switch stays at 5 V.
            bus_.LatchHigh(static_cast<std::uint8_t>((pattern & 0x7F) | mode_bits::kVpp5V), 1);
            break;
        case Group::Data:
            bus_.PutData(pattern);
            break;
    }
}

bool Guide::ask(int pin, Volts expected, const std::string& line, const std::string& set,
                Volts& got) {
    const std::optional<Volts> read = meter_.read({pin, expected, line, set});
    if (!read) {
        result_.skipped =
            "Stopped at socket pin " + N(pin) + "; the pins after it were not measured.";
        return false;
    }
    got = *read;
    return true;
}

StageResult Guide::run() {
    // Everything low, the 12 V switch at 5 V, the lines driving.
    bus_.SetControlOut(control::kRest);
    set(Group::LowLatch, 0x00);
    set(Group::HighLatch, 0x00);
    const bool done = checkGroup(Group::LowLatch) && checkGroup(Group::HighLatch) && checkVpp() &&
                      checkControl(control_bits::kP27High, kP27, "P2.7", Volts::Five) &&
                      checkControl(control_bits::kProgLow, kProg, "ALE/PROG", Volts::Zero) &&
                      checkGroup(Group::Data);
    (void)done;
    bus_.SetControlOut(control::kRest);
    bus_.ReleaseBus();
    return result_;
}

bool Guide::checkGroup(Group g) {
    std::array<int, 8> carries;
    carries.fill(-1);
    for (int i = 0; i < GroupSize(g); ++i) {
        if (!checkLine(g, i, carries)) return false;
    }
    nameSwaps(g, carries);
    set(g, 0x00);
    return true;
}

bool Guide::checkLine(Group g, int i, std::array<int, 8>& carries) {
    const int pin = Row(g, i).socketPin;
    const std::string line = LineName(g, i);
    const std::uint8_t mask = GroupSize(g) == 8 ? 0xFF : 0x7F;
    const std::uint8_t alone = static_cast<std::uint8_t>(1u << i);
    Volts high{}, low{};
    set(g, alone);
    if (!ask(pin, Volts::Five, line, line + " high, " + OthersText(g) + " low", high)) return false;
    set(g, static_cast<std::uint8_t>(mask & ~alone));
    if (!ask(pin, Volts::Zero, line, line + " low, " + OthersText(g) + " high", low)) return false;

    const std::string where = "socket pin " + N(pin) + " (" + line + ")";
    if (high == Volts::Twelve || low == Volts::Twelve) {
        add(where + " reads 12 V: it touches the programming voltage.");
    } else if (high == Volts::Five && low == Volts::Zero) {
        // Right.
    } else if (high == Volts::Zero && low == Volts::Zero) {
        add(line + " never goes high: check " + SourceText(g, i) + " to socket pin " + N(pin) +
            ".");
    } else if (high == Volts::Five && low == Volts::Five) {
        add(line + " never goes low: " + SourceText(g, i) + " or socket pin " + N(pin) +
            " is held high (stuck, or shorted to +5 V).");
    } else {
        // The pin reads as its neighbours are set: another output reaches it.
        int source = -1;
        if (!followPin(g, i, source)) return false;
        if (source >= 0 && source != i) {
            carries[static_cast<std::size_t>(i)] = source;
        } else {
            add(where + " reads the opposite of " + line + ": check its wire from " +
                SourceText(g, i) + ".");
        }
    }
    return true;
}

// Finds which output of the group drives socket pin of line i: each
// question sets the outputs whose number has one bit set.
bool Guide::followPin(Group g, int i, int& source) {
    const int pin = Row(g, i).socketPin;
    const std::string line = LineName(g, i);
    source = 0;
    for (int bit = 0; (1 << bit) < GroupSize(g); ++bit) {
        std::uint8_t pattern = 0;
        std::string high;
        for (int k = 0; k < GroupSize(g); ++k) {
            if (((k >> bit) & 1) == 0) continue;
            pattern |= static_cast<std::uint8_t>(1u << k);
            high += (high.empty() ? "" : ", ") + LineName(g, k);
        }
        set(g, pattern);
        Volts got{};
        const Volts expected = ((i >> bit) & 1) ? Volts::Five : Volts::Zero;
        if (!ask(pin, expected, line, high + " high, " + OthersText(g) + " low", got)) return false;
        if (got == Volts::Twelve) {
            source = -1;
            return true;
        }
        if (got == Volts::Five) source |= 1 << bit;
    }
    if (source >= GroupSize(g)) source = -1;
    return true;
}

void Guide::nameSwaps(Group g, const std::array<int, 8>& carries) {
    for (int i = 0; i < GroupSize(g); ++i) {
        const int m = carries[static_cast<std::size_t>(i)];
        if (m < 0) continue;
        const int pinI = Row(g, i).socketPin, pinM = Row(g, m).socketPin;
        if (carries[static_cast<std::size_t>(m)] == i) {
            if (m < i) continue;
            add(LineName(g, i) + " and " + LineName(g, m) + " are swapped: socket pin " + N(pinI) +
                " gets " + SourceText(g, m) + " and socket pin " + N(pinM) + " gets " +
                SourceText(g, i) + ".");
        } else {
            add("socket pin " + N(pinI) + " (" + LineName(g, i) + ") gets " + LineName(g, m) +
                ", from " + SourceText(g, m) + ", instead of " + SourceText(g, i) + ".");
        }
    }
}

bool Guide::checkVpp() {
    const std::string line = "EA/VPP";
    Volts off{}, on{};
    bus_.LatchHigh(mode_bits::kVpp5V, 1);
    if (!ask(kVpp, Volts::Five, line, "the high latch's Q7 high: 5 V", off)) return false;
    bus_.LatchHigh(0x00, 1);
    const bool answered = ask(kVpp, Volts::Twelve, line, "the high latch's Q7 low: 12 V", on);
    bus_.LatchHigh(mode_bits::kVpp5V, 1);
    if (!answered) return false;
    const std::string drive = "the high latch's Q7 (pin " + N(LatchOutputPin(7)) + ")";
    if (off == Volts::Five && on == Volts::Twelve) return true;
    if (off == Volts::Zero || on == Volts::Zero) {
        add("EA/VPP reads 0 V" + std::string(off == Volts::Zero ? " while it should be 5 V" : "") +
            (on == Volts::Zero
                 ? std::string(off == Volts::Zero ? " and" : "") + " while it should be 12 V"
                 : "") +
            ": check the 12 V switch's output to socket pin " + N(kVpp) + " and its supplies.");
    } else if (off == Volts::Five) {
        add("EA/VPP never gets 12 V: check the 12 V switch, its 12 V supply, and " + drive +
            " that drives it.");
    } else if (on == Volts::Twelve) {
        add("EA/VPP stays at 12 V while " + drive +
            " is high: the 12 V switch is stuck on (12 V would destroy a 5 V part).");
    } else {
        add("The 12 V switch works the wrong way round: EA/VPP must be at 12 V while " + drive +
            " is low, and at 5 V while it is high.");
    }
    return true;
}

// P2.7 and ALE/PROG, straight from the control lines.
bool Guide::checkControl(std::uint8_t bit, int pin, const std::string& line, Volts whenSet) {
    const Connection& c = *ConnectionTo(pin);
    const Volts whenClear = whenSet == Volts::Five ? Volts::Zero : Volts::Five;
    const std::string setText = line + (whenSet == Volts::Five ? " high" : " low");
    const std::string clearText = line + (whenClear == Volts::Five ? " high" : " low");
    Volts set{}, clear{};
    bus_.SetControl(static_cast<std::uint8_t>(control::kRest | bit));
    if (!ask(pin, whenSet, line, setText, set)) return false;
    bus_.SetControl(static_cast<std::uint8_t>(control::kRest & ~bit));
    const bool answered = ask(pin, whenClear, line, clearText, clear);
    bus_.SetControl(control::kRest);
    if (!answered) return false;
    const std::string wire = "the wire from DB-25 pin " + N(c.db25) + " (" + Db25Signal(c.db25) +
                             ") to socket pin " + N(pin);
    if (set == Volts::Twelve || clear == Volts::Twelve) {
        add("socket pin " + N(pin) + " (" + line +
            ") reads 12 V: it touches the programming voltage.");
    } else if (set == whenSet && clear == whenClear) {
        // Right.
    } else if (set == Volts::Zero && clear == Volts::Zero) {
        add(line + " never goes high: check " + wire + ".");
    } else if (set == Volts::Five && clear == Volts::Five) {
        add(line + " never goes low: check " + wire + "; the pin is held high.");
    } else {
        add(line + " is the wrong way round: " + wire +
            " must be direct, not through an inverter.");
    }
    return true;
}

}  // namespace

const char* VoltsText(Volts v) {
    switch (v) {
        case Volts::Zero:
            return "0 V";
        case Volts::Five:
            return "5 V";
        case Volts::Twelve:
            return "12 V";
    }
    return "";
}

std::string MeasurementQuestion(const Measurement& m) {
    return "Socket pin " + SocketText(m.socketPin) + " should read " + VoltsText(m.expected) +
           " (" + m.set + "). What does it read?";
}

StageResult CheckWithMeter(ChipContext& ctx, Meter& meter) {
    return Guide(ctx, meter).run();
}

}  // namespace lpt51::chip
