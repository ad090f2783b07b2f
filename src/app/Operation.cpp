#include <string>

#include "app/MainWindow.h"

namespace lpt51::app {

namespace {

// More would not fit on the screen; the command line lists them all.
constexpr std::size_t kFaultsShown = 20;

}  // namespace

Form1::Operation::Operation(Form1& window) : window_(window) {
    if (window_.operationDepth_++ > 0) return;
    Backend* backend = window_.context_.backend;
    if (backend == nullptr) return;
    realTime_.emplace(backend->clock());
    if (const sim::VirtualAdapter* adapter = backend->virtualAdapter()) faults_.emplace(*adapter);
}

Form1::Operation::~Operation() {
    --window_.operationDepth_;
    realTime_.reset();
    if (!faults_ || faults_->count() == 0) return;
    std::string text;
    const std::vector<std::string> lines = faults_->lines();
    for (std::size_t i = 0; i < lines.size() && i < kFaultsShown; ++i) text += lines[i] + "\r";
    if (lines.size() > kFaultsShown)
        text += "... and " + std::to_string(lines.size() - kFaultsShown) + " more\r";
    std::string summary = faults_->summary();
    summary[0] = 'T';
    window_.prompts_.showMessage(text + "\r" + summary + ".");
}

}  // namespace lpt51::app
