// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace lpt51 {

// What a --port value names.
struct PortName {
    enum class Kind { Address, Device, Virtual };
    Kind kind = Kind::Address;
    unsigned long address = 0;  // Address
    std::string device;         // Device: "parport0" or "/dev/parport0"
    std::string stateFile;      // Virtual: empty for a chip that lives only in memory
    // "sim:" alone: the chip is kept in the user's state directory, which
    // the one who opens it creates when it is missing.
    bool inStateDirectory = false;
};

// The state file "sim:" alone names, in file::StateDirectory().
inline constexpr const char* kVirtualChipFile = "virtual-chip.state";

// Reads "0x378", "parport0", "/dev/parport0", "sim", "sim:FILE" or "sim:".
// Returns the reason when the text names nothing usable.
std::optional<std::string> parsePortName(const std::string& text, PortName& out);

// Whether `port` names the virtual adapter ("sim", "sim:FILE" or "sim:").
bool NamesVirtualAdapter(const std::string& port);

// Makes the state directory of a "sim:" chip when it is missing (a
// directory that cannot be made is then refused as any missing one is).
void PrepareStateDirectory(const PortName& name);

}  // namespace lpt51
