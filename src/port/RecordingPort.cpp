// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/RecordingPort.h"

#include <cstdio>

namespace lpt51 {

std::string describe(const PortAccess& access) {
    static const char* const kNames[] = {"RD", "WD", "RC", "WC"};
    char text[8];
    std::snprintf(text, sizeof text, "%s %02X", kNames[static_cast<int>(access.kind)],
                  access.value);
    return text;
}

std::uint8_t ObservedPort::readData() {
    const std::uint8_t value = inner_.readData();
    seen({PortAccess::Kind::ReadData, value});
    return value;
}

void ObservedPort::writeData(std::uint8_t value) {
    inner_.writeData(value);
    seen({PortAccess::Kind::WriteData, value});
}

std::uint8_t ObservedPort::readControl() {
    const std::uint8_t value = inner_.readControl();
    seen({PortAccess::Kind::ReadControl, value});
    return value;
}

void ObservedPort::writeControl(std::uint8_t value) {
    inner_.writeControl(value);
    seen({PortAccess::Kind::WriteControl, value});
}

}  // namespace lpt51
