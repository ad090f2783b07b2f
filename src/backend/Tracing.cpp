// SPDX-License-Identifier: GPL-3.0-or-later
#include "backend/Tracing.h"

#include <cctype>

namespace lpt51 {

namespace {

// Text collects in memory up to about this much before it is written out.
constexpr std::size_t kFlushSize = 64 * 1024;

constexpr std::uint8_t kProgLowBit = 0x08;

// A Value Change Dump for a file ending in ".vcd", a text log otherwise.
std::unique_ptr<TraceFormat> FormatFor(const std::string& path, const std::string& description,
                                       const sim::VirtualAdapter* adapter) {
    std::string ending = path.size() > 4 ? path.substr(path.size() - 4) : std::string();
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ending == ".vcd") return MakeVcdTrace(description, adapter);
    return MakeTextTrace(description);
}

}  // namespace

std::unique_ptr<Tracer> Tracer::open(const std::string& path, const std::string& description,
                                     const Clock& clock, const sim::VirtualAdapter* adapter,
                                     std::string& problem) {
    std::unique_ptr<TraceFormat> format = FormatFor(path, description, adapter);
    std::unique_ptr<TraceFile> file =
        TraceFile::create(path, format->signature(), format->header(), problem);
    if (!file) return nullptr;
    return std::unique_ptr<Tracer>(new Tracer(std::move(file), std::move(format), clock, adapter));
}

Tracer::Tracer(std::unique_ptr<TraceFile> file, std::unique_ptr<TraceFormat> format,
               const Clock& clock, const sim::VirtualAdapter* adapter)
    : file_(std::move(file)),
      format_(std::move(format)),
      clock_(clock),
      adapter_(adapter),
      faultsSeen_(adapter != nullptr ? adapter->faults().size() : 0) {}

Tracer::~Tracer() {
    format_->end(file_->buffer(), elapsed());
    file_->flush();
}

Clock::Duration Tracer::elapsed() {
    const Clock::Duration now = clock_.now();
    if (!origin_) origin_ = now;
    return now - *origin_;
}

void Tracer::access(const PortAccess& access) {
    const Clock::Duration at = elapsed();
    format_->access(file_->buffer(), at, access);
    if (access.kind == PortAccess::Kind::WriteControl) progLow_ = access.value & kProgLowBit;
    if (adapter_ == nullptr) return;
    const auto& faults = adapter_->faults();
    if (faults.size() < faultsSeen_) faultsSeen_ = 0;  // someone cleared them
    for (; faultsSeen_ < faults.size(); ++faultsSeen_) {
        format_->fault(file_->buffer(), at, faults[faultsSeen_].what);
    }
}

void Tracer::busyWait(std::uint32_t units, std::uint32_t iterations) {
    format_->busyWait(file_->buffer(), elapsed(), units, iterations);
    flushBetweenSteps();
}

void Tracer::exactWait(Clock::Duration d) {
    format_->exactWait(file_->buffer(), elapsed(), d);
    flushBetweenSteps();
}

void Tracer::sleep(unsigned ms) {
    format_->sleep(file_->buffer(), elapsed(), ms);
    flushBetweenSteps();
}

// Only as a wait begins, and never while PROG is low: writing the file then
// lengthens a wait, which every step tolerates, but a programming pulse has an
// upper limit.
void Tracer::flushBetweenSteps() {
    if (file_->buffer().size() >= kFlushSize && !progLow_) file_->flush();
}

std::optional<std::string> Tracer::finishOperation() {
    file_->flush();
    if (!file_->failure() || failureTold_) return std::nullopt;
    failureTold_ = true;
    return "The port trace " + file_->path() + " could not be written to its end (" +
           *file_->failure() + "); the operation itself was not affected.";
}

void TracingClock::busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                            std::uint32_t units) {
    tracer_.busyWait(units, iterations);
    inner_.busyWait(counter, iterations, units);
}

void TracingClock::busyWaitFor(Duration d) {
    tracer_.exactWait(d);
    inner_.busyWaitFor(d);
}

void TracingClock::sleepMs(unsigned ms) {
    tracer_.sleep(ms);
    inner_.sleepMs(ms);
}

}  // namespace lpt51
