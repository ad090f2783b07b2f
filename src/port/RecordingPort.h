#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "port/Port.h"

namespace lpt51 {

// One register access as a recording port saw it.
struct PortAccess {
    enum class Kind { ReadData, WriteData, ReadControl, WriteControl };
    Kind kind;
    std::uint8_t value;  // the byte written, or the byte the read returned

    bool operator==(const PortAccess&) const = default;
};

std::string describe(const PortAccess& access);  // e.g. "WC 27", "RD FF"

// Wraps any port and logs every access in order, then passes it on.
class RecordingPort final : public Port {
public:
    explicit RecordingPort(Port& inner) : inner_(inner) {}

    std::uint8_t readData() override;
    void writeData(std::uint8_t value) override;
    std::uint8_t readControl() override;
    void writeControl(std::uint8_t value) override;

    const std::vector<PortAccess>& log() const { return log_; }
    void clear() { log_.clear(); }

private:
    Port& inner_;
    std::vector<PortAccess> log_;
};

}  // namespace lpt51
