// SPDX-License-Identifier: GPL-3.0-or-later
#include <optional>

#include "port/RealTime.h"
#include "session/Operations.h"
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

// A stretched pulse the model saw on a code byte or lock bit that the
// program measured as stretched too and mended.
bool Mended(const sim::Fault& fault, const chip::PulseChecks& pulses) {
    if (fault.kind != sim::kStretchedPulseKind) return false;
    for (const chip::StretchedPulse& p : pulses.pulses) {
        if (p.outcome == chip::PulseOutcome::CouldNotBeMended) continue;
        const bool same = p.lockBit != 0 ? fault.lockBit == p.lockBit
                                         : fault.lockBit == 0 && fault.codeByte == p.address;
        if (same) return true;
    }
    return false;
}

// Asks at once, keeps what is said for the result: the front end shows it
// once the operation has ended and the chip has been saved, so a box left on
// screen never holds the virtual chip's lock or its state.
class KeptMessages final : public Prompts {
  public:
    KeptMessages(Prompts& asker, std::vector<std::string>& said) : asker_(asker), said_(said) {}
    void showMessage(const std::string& text) override { said_.push_back(text); }
    Answer ask(QuestionKind kind, const std::string& text) override {
        return asker_.ask(kind, text);
    }

  private:
    Prompts& asker_;
    std::vector<std::string>& said_;
};

}  // namespace

std::vector<sim::Fault> UnexplainedFaults(const std::vector<sim::Fault>& faults,
                                          const chip::PulseChecks& pulses) {
    std::vector<sim::Fault> unexplained;
    for (const sim::Fault& f : faults)
        if (!Mended(f, pulses)) unexplained.push_back(f);
    return unexplained;
}

std::vector<std::string> FaultReportLines(const OperationResult& result) {
    std::vector<std::string> lines;
    if (result.faults.empty()) return lines;
    for (const std::string& fault : result.faults) lines.push_back("virtual adapter " + fault);
    std::string summary = result.faultSummary;
    summary[0] = 'T';
    lines.push_back(summary + ".");
    return lines;
}

OperationResult Session::run(Prompts& prompts, sim::ChipUse use,
                             const std::function<Outcome(chip::ChipContext&)>& operation,
                             Priority priority, OperationView* view) {
    return run(
        prompts, use,
        [&operation](chip::ChipContext& ctx, OperationResult&) { return operation(ctx); }, priority,
        view);
}

OperationResult Session::run(Prompts& prompts, sim::ChipUse use, const DetailedOperation& operation,
                             Priority priority, OperationView* view) {
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
        // A step run inside another notes its pulses with the outer one's,
        // which judges the adapter's faults by them and reports them once.
        if (nesting.outermost()) pulseLog_ = &result.pulses;
        KeptMessages kept(prompts, result.said);
        Port& port = *backend_->port();
        if (nesting.outermost()) port.clearFailure();
        chip::ChipContext ctx{*bus_, kept, state_, pulseLog_, [&port, view] {
                                  return port.failure() || (view && view->stopRequested());
                              }};
        result.outcome = operation(ctx, result);
        if (nesting.outermost()) pulseLog_ = nullptr;
        if (const std::optional<std::string> failure = port.failure()) {
            // Put at rest once more: the bus's last steps went through the
            // port that refused.
            bus_->ReleaseBus();
            result.outcome = Outcome::Failed;
            result.messages.push_back(*failure + " The port is at rest.");
        }
    }
    if (nesting.outermost()) {
        if (auto error = backend_->endOperation()) result.messages.push_back(*error);
    }
    if (faults && faults->count() > 0) {
        const std::vector<sim::Fault> unexplained =
            UnexplainedFaults(faults->faults(), result.pulses);
        result.mendedFaults = faults->count() - unexplained.size();
        if (!unexplained.empty()) {
            result.faults = faults->lines(unexplained);
            result.faultSummary = sim::FaultReport::summary(unexplained.size());
        }
    }
    return result;
}

}  // namespace lpt51::session
