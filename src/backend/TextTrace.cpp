// SPDX-License-Identifier: GPL-3.0-or-later
#include <cinttypes>
#include <cstdio>

#include "backend/TraceFormat.h"

namespace lpt51 {

namespace {

constexpr const char* kSignature = "# lpt51 port trace";

class TextTrace final : public TraceFormat {
  public:
    explicit TextTrace(std::string description) : description_(std::move(description)) {}

    std::string signature() const override { return kSignature; }
    std::string header() const override {
        return std::string(kSignature) + ": " + description_ +
               "\n# time in microseconds since the first access or wait; register values in hex\n";
    }

    void access(std::string& out, Duration at, const PortAccess& a) override {
        static constexpr const char* kWhat[] = {"read data", "write data", "read control",
                                                "write control"};
        char text[80];
        const int n = std::snprintf(text, sizeof text, " %s %02X\n",
                                    kWhat[static_cast<int>(a.kind)], a.value);
        line(out, at, text, n);
    }
    void busyWait(std::string& out, Duration at, std::uint32_t units,
                  std::uint32_t iterations) override {
        char text[80];
        const int n = std::snprintf(text, sizeof text,
                                    " busy-wait %" PRIu32 " unit%s (%" PRIu32 " iterations)\n",
                                    units, units == 1 ? "" : "s", iterations);
        line(out, at, text, n);
    }
    void exactWait(std::string& out, Duration at, Duration d) override {
        char text[48];
        const int n = std::snprintf(text, sizeof text, " busy-wait %.3f us\n",
                                    static_cast<double>(d.count()) / 1000.0);
        line(out, at, text, n);
    }
    void sleep(std::string& out, Duration at, unsigned ms) override {
        char text[40];
        const int n = std::snprintf(text, sizeof text, " sleep %u ms\n", ms);
        line(out, at, text, n);
    }
    void fault(std::string& out, Duration at, const std::string& what) override {
        const std::string text = " fault: " + what + "\n";
        line(out, at, text.data(), static_cast<int>(text.size()));
    }
    void end(std::string&, Duration) override {}

  private:
    static void line(std::string& out, Duration at, const char* text, int n) {
        const long long ns = at.count();
        char time[32];
        const int t = std::snprintf(time, sizeof time, "%12lld.%03lld", ns / 1000, ns % 1000);
        out.append(time, static_cast<std::size_t>(t));
        out.append(text, static_cast<std::size_t>(n));
    }

    std::string description_;
};

}  // namespace

std::unique_ptr<TraceFormat> MakeTextTrace(const std::string& description) {
    return std::make_unique<TextTrace>(description);
}

}  // namespace lpt51
