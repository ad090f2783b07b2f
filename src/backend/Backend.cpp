// SPDX-License-Identifier: GPL-3.0-or-later
#include "backend/Backend.h"

#include "backend/PortName.h"
#include "backend/Tracing.h"
#include "port/Ieee1284Port.h"
#include "sim/ChipStateFile.h"

namespace lpt51 {

namespace {

const char* chipText(sim::ChipKind kind) {
    switch (kind) {
        case sim::ChipKind::Part12V:
            return "AT89C51 12 V part";
        case sim::ChipKind::Part5V:
            return "AT89C51 5 V part";
        case sim::ChipKind::Empty:
            return "empty socket";
        case sim::ChipKind::Foreign:
            return "foreign chip";
    }
    return "?";
}

std::string chipWithArticle(sim::ChipKind kind) {
    const std::string text = chipText(kind);
    return (text[0] == 'A' || text[0] == 'e' ? "an " : "a ") + text;
}

// A state file keeps its chip for good; --sim-chip only says what a new one holds.
std::string KeptChipDiffers(const std::string& file, sim::ChipKind kept, sim::ChipKind asked) {
    return "--sim-chip " + std::string(SimChipWord(asked)) + " asks for " + chipWithArticle(asked) +
           ", but the virtual chip state file " + file + " keeps " + chipWithArticle(kept) +
           " (--sim-chip " + std::string(SimChipWord(kept)) +
           "). Leave out --sim-chip to use the chip it keeps, or name another state file.";
}

const char* portText(sim::PortKind kind) {
    switch (kind) {
        case sim::PortKind::Bidirectional:
            return "bidirectional port";
        case sim::PortKind::OutputOnly:
            return "output-only port";
        case sim::PortKind::NoPullUps:
            return "bidirectional port without pull-ups";
    }
    return "?";
}

// What every backend shares: a clock, and the reason it cannot be used.
class BackendBase : public Backend {
  public:
    bool usable() const override { return problem_.empty(); }
    const std::string& problem() const override { return problem_; }

  protected:
    std::string problem_;
};

class HardwareBackend final : public BackendBase {
  public:
    HardwareBackend(const PortName& name, const BackendOptions& options)
        : requested_(options.port) {
        std::string problem;
        if (name.kind == PortName::Kind::Device) {
            port_ = Ieee1284Port::openByName(name.device, problem);
        } else if (options.portNamed) {
            port_ = Ieee1284Port::openByAddress(name.address, problem);
        } else {
            port_ = Ieee1284Port::openAtOrOnly(name.address, problem);
        }
        if (!port_)
            problem_ = problem.empty() ? "Cannot open the parallel port " + requested_ : problem;
    }

    Port* port() override { return port_.get(); }
    Clock& clock() override { return clock_; }
    std::string description() const override {
        return port_ ? port_->description() : "parallel port " + requested_ + " (not open)";
    }
    std::string name() const override { return port_ ? port_->name() : "no port"; }
    std::string notice() const override {
        if (!port_ || !port_->standsIn()) return {};
        return "There is no parallel port at " + requested_ + "; using the only one there is, " +
               port_->description() + ".";
    }
    sim::VirtualAdapter* virtualAdapter() override { return nullptr; }
    std::optional<std::string> persist() override { return std::nullopt; }

  private:
    std::string requested_;
    RealClock clock_;
    std::unique_ptr<Ieee1284Port> port_;
};

class SimBackend final : public BackendBase {
  public:
    SimBackend(const BackendOptions& options, std::string stateFile)
        : stateFile_(stateFile),
          store_(std::move(stateFile)),
          chipKind_(options.simChip),
          portKind_(options.simPort),
          wiring_(options.simWiring) {
        if (options.virtualTiming) {
            clock_ = std::make_unique<VirtualClock>();
        } else {
            clock_ = std::make_unique<RealClock>();
        }
        sim::ChipState chip = sim::ChipState::erased(options.simChip);
        if (!stateFile_.empty()) {
            sim::ChipStateLoad loaded = sim::loadChipState(stateFile_, options.simChip);
            if (!loaded.chip) {
                // Never touched again: the user's file is not ours to overwrite.
                problem_ = loaded.error;
                return;
            }
            if (options.simChipNamed && loaded.fileExisted &&
                loaded.chip->kind != options.simChip) {
                problem_ = KeptChipDiffers(stateFile_, loaded.chip->kind, options.simChip);
                return;
            }
            chip = std::move(*loaded.chip);
        }
        sim::ChipTimingModel timing;
        timing.oscMHz = options.simOscMHz;
        timing.writeCycle = std::chrono::microseconds(options.simWriteCycleUs);
        adapter_ = std::make_unique<sim::VirtualAdapter>(*clock_, options.simPort, std::move(chip),
                                                         timing, sim::Wiring(options.simWiring));
    }

    Port* port() override { return adapter_.get(); }
    Clock& clock() override { return *clock_; }
    std::string description() const override {
        const sim::ChipKind kind = adapter_ ? adapter_->chip().kind : chipKind_;
        std::string text =
            std::string("virtual adapter (") + chipText(kind) + ", " + portText(portKind_);
        if (!stateFile_.empty()) text += ", state in " + stateFile_;
        if (wiring_.kind != sim::WiringFault::Kind::None) text += ", miswired: " + wiring_.word;
        return text + ")";
    }
    std::string name() const override { return "virtual adapter"; }
    sim::VirtualAdapter* virtualAdapter() override { return adapter_.get(); }
    std::optional<sim::ChipStateRefusal> beginOperation(sim::ChipUse use) override {
        if (!adapter_ || stateFile_.empty()) return std::nullopt;
        return store_.begin(use, chipKind_, adapter_->chip());
    }
    std::optional<std::string> endOperation() override {
        if (!adapter_ || !store_.begun()) return std::nullopt;
        return store_.end(adapter_->chip());
    }
    std::optional<std::string> persist() override {
        if (!adapter_ || stateFile_.empty()) return std::nullopt;
        if (store_.begun()) return store_.end(adapter_->chip());
        return sim::saveChipState(stateFile_, adapter_->chip());
    }

  private:
    std::string stateFile_;
    sim::ChipStateStore store_;
    sim::ChipKind chipKind_;
    sim::PortKind portKind_;
    sim::WiringFault wiring_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<sim::VirtualAdapter> adapter_;
};

// A --port value that names nothing: refused before any port is looked at.
class RefusedBackend final : public BackendBase {
  public:
    explicit RefusedBackend(std::string problem) { problem_ = std::move(problem); }
    Port* port() override { return nullptr; }
    Clock& clock() override { return clock_; }
    std::string description() const override { return "no port"; }
    std::string name() const override { return "no port"; }
    sim::VirtualAdapter* virtualAdapter() override { return nullptr; }
    std::optional<std::string> persist() override { return std::nullopt; }

  private:
    RealClock clock_;
};

// Any usable backend with its port and clock wearing the tracing wrappers.
// A trace file that cannot be written makes the whole backend unusable, so
// the user hears of it before the port is touched.
class TracedBackend final : public Backend {
  public:
    TracedBackend(std::unique_ptr<Backend> inner, const std::string& path)
        : inner_(std::move(inner)) {
        tracer_ = Tracer::open(path, inner_->description(), inner_->clock(),
                               inner_->virtualAdapter(), problem_);
        if (!tracer_) return;
        port_ = std::make_unique<TracingPort>(*inner_->port(), *tracer_);
        clock_ = std::make_unique<TracingClock>(inner_->clock(), *tracer_);
    }

    bool usable() const override { return tracer_ != nullptr; }
    const std::string& problem() const override { return problem_; }
    Port* port() override { return port_.get(); }
    Clock& clock() override { return clock_ ? *clock_ : inner_->clock(); }
    std::string description() const override { return inner_->description(); }
    std::string name() const override { return inner_->name(); }
    std::string notice() const override { return inner_->notice(); }
    sim::VirtualAdapter* virtualAdapter() override { return inner_->virtualAdapter(); }
    std::optional<sim::ChipStateRefusal> beginOperation(sim::ChipUse use) override {
        return inner_->beginOperation(use);
    }
    std::optional<std::string> endOperation() override {
        // The chip's state first, into the room reserved for it before the
        // operation: a trace that fills the disk must not cost it.
        std::optional<std::string> chip = inner_->endOperation();
        return joined(std::move(chip), tracer_ ? tracer_->finishOperation() : std::nullopt);
    }
    std::optional<std::string> persist() override {
        std::optional<std::string> chip = inner_->persist();
        return joined(std::move(chip), tracer_ ? tracer_->finishOperation() : std::nullopt);
    }

  private:
    static std::optional<std::string> joined(std::optional<std::string> chip,
                                             std::optional<std::string> trace) {
        if (chip && trace) return *chip + "\n" + *trace;
        return chip ? chip : trace;
    }

    std::unique_ptr<Backend> inner_;
    std::string problem_;
    std::unique_ptr<Tracer> tracer_;
    std::unique_ptr<TracingPort> port_;
    std::unique_ptr<TracingClock> clock_;
};

std::unique_ptr<Backend> OpenUntraced(const BackendOptions& options) {
    PortName name;
    if (auto problem = parsePortName(options.port, name)) {
        return std::make_unique<RefusedBackend>("--port: " + *problem);
    }
    if (name.kind == PortName::Kind::Virtual) {
        PrepareStateDirectory(name);
        return std::make_unique<SimBackend>(options, name.stateFile);
    }
    return std::make_unique<HardwareBackend>(name, options);
}

}  // namespace

std::unique_ptr<Backend> Backend::open(const BackendOptions& options) {
    std::unique_ptr<Backend> backend = OpenUntraced(options);
    // A port that cannot be used says so itself; no trace file is made for it.
    if (options.trace.empty() || !backend->usable()) return backend;
    return std::make_unique<TracedBackend>(std::move(backend), options.trace);
}

}  // namespace lpt51
