// SPDX-License-Identifier: GPL-3.0-or-later
#include "backend/PortName.h"

#include <cctype>

#include "file/StateDirectory.h"

namespace lpt51 {

namespace {

constexpr unsigned long kHighestIoPort = 0xFFFF;

bool isHexDigits(const std::string& digits) {
    if (digits.empty()) return false;
    for (char c : digits) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> parsePortName(const std::string& text, PortName& out) {
    const std::string usage =
        " (use a base address such as 0x378, a port name such as parport0 or /dev/parport0, "
        "or sim[:FILE])";
    if (text.empty()) return "empty port name" + usage;
    if (text == "sim") {
        out = PortName{PortName::Kind::Virtual, 0, {}, {}};
        return std::nullopt;
    }
    if (text.rfind("sim:", 0) == 0) {
        const std::string file = text.substr(4);
        if (!file.empty()) {
            out = PortName{PortName::Kind::Virtual, 0, {}, file};
            return std::nullopt;
        }
        const std::string dir = file::StateDirectory();
        if (dir.empty()) {
            return "'sim:' keeps the chip in the state directory, and there is none (no "
                   "XDG_STATE_HOME and no home directory): name a file, sim:FILE";
        }
        out = PortName{PortName::Kind::Virtual, 0, {}, dir + kVirtualChipFile, true};
        return std::nullopt;
    }
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string digits = text.substr(2);
        // Leading zeros aside, an I/O port number has at most four hex digits.
        const auto first = digits.find_first_not_of('0');
        const std::string significant = first == std::string::npos ? "" : digits.substr(first);
        if (!isHexDigits(digits) || significant.size() > 4) {
            return "bad base address '" + text + "'" + usage;
        }
        const unsigned long address = std::stoul(digits, nullptr, 16);
        if (address == 0 || address > kHighestIoPort) {
            return "bad base address '" + text + "'" + usage;
        }
        out = PortName{PortName::Kind::Address, address, {}, {}};
        return std::nullopt;
    }
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0 ||
            std::iscntrl(static_cast<unsigned char>(c)) != 0) {
            return "bad port name '" + text + "'" + usage;
        }
    }
    out = PortName{PortName::Kind::Device, 0, text, {}};
    return std::nullopt;
}

bool NamesVirtualAdapter(const std::string& port) {
    PortName name;
    return !parsePortName(port, name) && name.kind == PortName::Kind::Virtual;
}

void PrepareStateDirectory(const PortName& name) {
    if (name.inStateDirectory) file::MakePrivateDirectories(file::StateDirectory());
}

}  // namespace lpt51
