// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "port/Clock.h"
#include "port/Port.h"
#include "port/RecordingPort.h"

namespace lpt51::testing {

// Two plain registers: reads return what was last written, or what the test
// put there (bits a real port reports on its own, lines the chip drives).
class RegisterPort final : public Port {
  public:
    std::uint8_t data = 0;
    std::uint8_t control = 0;

    std::uint8_t readData() override { return data; }
    void writeData(std::uint8_t value) override { data = value; }
    std::uint8_t readControl() override { return control; }
    void writeControl(std::uint8_t value) override { control = value; }
};

// A clock that only notes each wait, and where it fell among the port
// accesses of a recorder, so a transcript shows accesses and waits in order.
class NotingClock final : public Clock {
  public:
    explicit NotingClock(const RecordingPort& recorder) : recorder_(recorder) {}

    struct Wait {
        std::size_t afterAccesses;
        std::string text;  // "D4" (busy wait of 4 units), "S10" (sleep of 10 ms)
        std::uint32_t iterations;
    };

    void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                  std::uint32_t units) override {
        counter = 0;
        waits.push_back({recorder_.log().size(), "D" + std::to_string(units), iterations});
    }
    void sleepMs(unsigned ms) override {
        waits.push_back({recorder_.log().size(), "S" + std::to_string(ms), 0});
    }
    void busyWaitFor(Duration d) override {
        waits.push_back({recorder_.log().size(), "W" + std::to_string(d.count() / 1000), 0});
    }
    Duration now() const override { return Duration{0}; }

    // "WD 5A, D1, RC 07, WC 06, ..."
    std::string transcript() const {
        std::string text;
        std::size_t w = 0;
        const auto& log = recorder_.log();
        auto add = [&text](const std::string& item) {
            if (!text.empty()) text += ", ";
            text += item;
        };
        for (std::size_t i = 0; i <= log.size(); ++i) {
            while (w < waits.size() && waits[w].afterAccesses == i) add(waits[w++].text);
            if (i < log.size()) add(describe(log[i]));
        }
        return text;
    }

    std::vector<Wait> waits;

  private:
    const RecordingPort& recorder_;
};

}  // namespace lpt51::testing
