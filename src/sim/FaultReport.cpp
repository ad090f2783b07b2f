#include "sim/FaultReport.h"

#include <cstdio>

namespace lpt51::sim {

FaultReport::FaultReport(const VirtualAdapter& adapter)
    : adapter_(adapter), first_(adapter.faults().size()), start_(adapter.clock().now()) {}

std::size_t FaultReport::count() const {
    const std::size_t all = adapter_.faults().size();
    return all > first_ ? all - first_ : 0;
}

std::vector<std::string> FaultReport::lines() const {
    std::vector<std::string> lines;
    const std::vector<Fault>& faults = adapter_.faults();
    for (std::size_t i = faults.size() - count(); i < faults.size(); ++i) {
        char at[48];
        std::snprintf(at, sizeof at,
                      "at %.3f ms: ", static_cast<double>((faults[i].at - start_).count()) / 1e6);
        lines.push_back(at + faults[i].what);
    }
    return lines;
}

std::string FaultReport::summary() const {
    const std::size_t n = count();
    return "the virtual adapter noticed " + std::to_string(n) + (n == 1 ? " fault" : " faults") +
           ": real hardware may not have done what the messages above say";
}

}  // namespace lpt51::sim
