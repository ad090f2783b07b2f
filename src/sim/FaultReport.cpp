// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/FaultReport.h"

#include <cstdio>
#include <map>

namespace lpt51::sim {

FaultReport::FaultReport(const VirtualAdapter& adapter)
    : adapter_(adapter), first_(adapter.faults().size()), start_(adapter.clock().now()) {}

std::vector<Fault> FaultReport::faults() const {
    const std::vector<Fault>& all = adapter_.faults();
    if (all.size() <= first_) return {};
    return std::vector<Fault>(all.begin() + static_cast<std::ptrdiff_t>(first_), all.end());
}

std::size_t FaultReport::count() const {
    const std::size_t all = adapter_.faults().size();
    return all > first_ ? all - first_ : 0;
}

std::vector<std::string> FaultReport::lines(const std::vector<Fault>& faults) const {
    std::vector<std::string> lines;
    // A write into a locked chip notices one fault a byte: thousands of
    // lines would bury what matters, so the rest are counted by kind, in
    // the order each kind first appeared.
    std::vector<std::string> order;
    std::map<std::string, std::size_t> more;
    for (std::size_t i = 0; i < faults.size(); ++i) {
        if (i < kShown) {
            char at[48];
            std::snprintf(at, sizeof at, "at %.3f ms: ",
                          static_cast<double>((faults[i].at - start_).count()) / 1e6);
            lines.push_back(at + faults[i].what);
            continue;
        }
        const std::string kind = faults[i].kind.empty() ? "other" : faults[i].kind;
        if (more[kind]++ == 0) order.push_back(kind);
    }
    if (!order.empty()) {
        std::string line = "and " + std::to_string(faults.size() - kShown) + " more:";
        for (std::size_t k = 0; k < order.size(); ++k) {
            line += (k == 0 ? " " : ", ") + std::to_string(more[order[k]]) + " " + order[k];
        }
        lines.push_back(line);
    }
    return lines;
}

std::string FaultReport::summary(std::size_t n) {
    return "the virtual adapter noticed " + std::to_string(n) + (n == 1 ? " fault" : " faults") +
           ": real hardware may not have done what the messages above say";
}

}  // namespace lpt51::sim
