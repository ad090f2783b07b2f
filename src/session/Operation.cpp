#include <optional>

#include "port/RealTime.h"
#include "session/Session.h"
#include "sim/FaultReport.h"

namespace lpt51::session {

namespace {

// Counts the operations running, so that one inside another knows it.
class Nesting {
  public:
    explicit Nesting(int& depth) : depth_(depth) { ++depth_; }
    ~Nesting() { --depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    bool outermost() const { return depth_ == 1; }

  private:
    int& depth_;
};

}  // namespace

OperationResult Session::run(Prompts& prompts, sim::ChipUse use,
                             const std::function<Outcome(chip::ChipContext&)>& operation,
                             Priority priority) {
    OperationResult result;
    if (!ready()) {
        // The front ends ask ready() first; this only keeps a slip from
        // reaching a port that is not there.
        result.outcome = Outcome::Failed;
        result.messages.push_back("No port has been opened.");
        return result;
    }
    const Nesting nesting(depth_);
    if (nesting.outermost()) {
        if (auto refusal = backend_->beginOperation(use)) {
            result.outcome = Outcome::Failed;
            result.messages.push_back(refusal->message);
            result.refused = std::move(refusal);
            return result;
        }
    }
    std::optional<sim::FaultReport> faults;
    {
        std::optional<RealTimeSection> realTime;
        if (nesting.outermost()) {
            if (priority == Priority::RealTime) realTime.emplace(backend_->clock());
            if (const sim::VirtualAdapter* adapter = backend_->virtualAdapter())
                faults.emplace(*adapter);
        }
        chip::ChipContext ctx{*bus_, prompts, state_};
        result.outcome = operation(ctx);
    }
    if (nesting.outermost()) {
        if (auto error = backend_->endOperation()) result.messages.push_back(*error);
    }
    if (faults && faults->count() > 0) {
        result.faults = faults->lines();
        result.faultSummary = faults->summary();
    }
    return result;
}

}  // namespace lpt51::session
