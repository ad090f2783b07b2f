// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

#include "chip/ImageScan.h"
#include "chip/Lock.h"
#include "chip/Progress.h"
#include "session/Session.h"

namespace lpt51::session {

// Every chip operation from its image refusal to its result: the device
// check, the chip layer's walk, the read-back that tells what a stopped or
// failed write left, and the texts both front ends show. A front end asks
// (Prompts), shows progress (OperationView) and presents the result; it
// never reaches the bus.

// A front end's view of a running operation: the bytes done, and each step
// that walks bytes as it starts and ends (the window's captions and progress
// dialog follow them). Asked between two bytes whether to stop.
class OperationView : public chip::ProgressObserver {
  public:
    // `index` of `count` steps (Clear-Write-Verify has three), after the
    // device check and just before the step's first port access.
    virtual void stepStarted(Step step, int index, int count) {
        (void)step;
        (void)index;
        (void)count;
    }
    // After the step's last port access (the bus is at rest); `finished`
    // is false when it ended early (stopped, or a byte that failed).
    virtual void stepEnded(Step step, bool finished) {
        (void)step;
        (void)finished;
    }
    // Cancel pressed, or a termination signal arrived.
    virtual bool stopRequested() { return false; }
};

// The image refused for `use`, before any port is touched: the same text in
// both front ends.
[[nodiscard]] std::optional<std::string> ImageRefusal(const chip::ScannedImage& image,
                                                      chip::ImageUse use);

// Refused on an output-only port before the port is touched, naming what
// could not be done ("Verify needs a bidirectional port, ...").
[[nodiscard]] std::optional<std::string> OutputOnlyRefusal(const Session& session, Step step);

[[nodiscard]] OperationResult ReadSignature(Session& session, Prompts& prompts,
                                            OperationView& view);
[[nodiscard]] OperationResult Erase(Session& session, Prompts& prompts, OperationView& view,
                                    const std::string& device);

struct WriteOptions {
    // Every byte is read back once the write has finished, and the result
    // says what the chip holds only when it does: the command line's write.
    bool readBack = false;
};
[[nodiscard]] OperationResult Write(Session& session, Prompts& prompts, OperationView& view,
                                    const std::string& device, const chip::ScannedImage& image,
                                    WriteOptions options = {});
[[nodiscard]] OperationResult Verify(Session& session, Prompts& prompts, OperationView& view,
                                     const chip::ScannedImage& image);
[[nodiscard]] OperationResult ReadOut(Session& session, Prompts& prompts, OperationView& view);
// The signature first, as the device check reads it: an empty socket or a
// chip of another kind fails the check. Then a read-out judged by its bytes:
// Done when every byte reads FF.
[[nodiscard]] OperationResult BlankCheck(Session& session, Prompts& prompts, OperationView& view);
[[nodiscard]] OperationResult Lock(Session& session, Prompts& prompts, OperationView& view,
                                   const std::string& device, chip::LockSelection bits);
[[nodiscard]] OperationResult ClearWriteVerify(Session& session, Prompts& prompts,
                                               OperationView& view, const std::string& device,
                                               const chip::ScannedImage& image);
// What Info says, measured inside an operation (the virtual chip's state
// file is read for it) at normal priority, handed to `show`.
[[nodiscard]] OperationResult ReadFacts(Session& session, Prompts& prompts,
                                        const std::function<void(const Facts&)>& show);

// The data lines as inputs with the pull-ups pulling them high, while
// `measure` asks the user for the current; then the port at rest.
[[nodiscard]] OperationResult PortTest(Session& session, Prompts& prompts, OperationView& view,
                                       const std::function<void()>& measure);

}  // namespace lpt51::session
