// SPDX-License-Identifier: GPL-3.0-or-later
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

// Wraps any port, passes every access on, and shows each one to seen()
// right after it reached the inner port: a read with the value it returned.
class ObservedPort : public Port {
  public:
    explicit ObservedPort(Port& inner) : inner_(inner) {}

    std::uint8_t readData() override;
    void writeData(std::uint8_t value) override;
    std::uint8_t readControl() override;
    void writeControl(std::uint8_t value) override;
    std::optional<std::string> failure() const override { return inner_.failure(); }
    void clearFailure() override { inner_.clearFailure(); }

  protected:
    virtual void seen(const PortAccess& access) = 0;

  private:
    Port& inner_;
};

// Logs every access in order.
class RecordingPort final : public ObservedPort {
  public:
    using ObservedPort::ObservedPort;

    const std::vector<PortAccess>& log() const { return log_; }
    void clear() { log_.clear(); }

  private:
    void seen(const PortAccess& access) override { log_.push_back(access); }

    std::vector<PortAccess> log_;
};

}  // namespace lpt51
