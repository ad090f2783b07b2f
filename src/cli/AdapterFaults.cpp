#include "cli/AdapterFaults.h"

#include "cli/CommandLine.h"

namespace lpt51::cli {

AdapterFaults::AdapterFaults(const sim::VirtualAdapter* adapter) {
    if (adapter != nullptr) report_.emplace(*adapter);
}

int AdapterFaults::finish(std::ostream& err, int code) const {
    if (!report_ || report_->count() == 0) return code;
    for (const std::string& line : report_->lines())
        err << "lpt51: virtual adapter " << line << '\n';
    err << "lpt51: " << report_->summary() << '\n';
    return code == kExitDone ? kExitFailed : code;
}

}  // namespace lpt51::cli
