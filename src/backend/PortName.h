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
};

// Reads "0x378", "parport0", "/dev/parport0", "sim" or "sim:FILE". Returns the
// reason when the text names nothing usable.
std::optional<std::string> parsePortName(const std::string& text, PortName& out);

}  // namespace lpt51
