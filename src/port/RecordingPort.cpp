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

std::uint8_t RecordingPort::readData() {
    const std::uint8_t value = inner_.readData();
    log_.push_back({PortAccess::Kind::ReadData, value});
    return value;
}

void RecordingPort::writeData(std::uint8_t value) {
    log_.push_back({PortAccess::Kind::WriteData, value});
    inner_.writeData(value);
}

std::uint8_t RecordingPort::readControl() {
    const std::uint8_t value = inner_.readControl();
    log_.push_back({PortAccess::Kind::ReadControl, value});
    return value;
}

void RecordingPort::writeControl(std::uint8_t value) {
    log_.push_back({PortAccess::Kind::WriteControl, value});
    inner_.writeControl(value);
}

}  // namespace lpt51
