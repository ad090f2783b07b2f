// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "chip/AdapterCheck.h"
#include "session/Operations.h"

namespace lpt51::session {

// What the adapter check works with besides the port.
struct AdapterCheckSetup {
    // Answers the guided stage; null skips it, saying `noMeter`.
    chip::Meter* meter = nullptr;
    std::string noMeter;
    // The selected device, as erase takes it; without one (kNoSelect) the
    // chip stage is not run, saying `noDevice`.
    std::string device;
    std::string noDevice;
};

// Asked before the chip stage: it erases and programs the chip.
extern const char* const kChipStageQuestion;

// The adapter check: the automatic stage, the guided stage, then, only when
// neither found anything and the user says so, the chip stage. Each finding
// is one of the result's messages (so any fails it), each stage that could
// not run or did not run to its end one of its notes; nothing found ends it
// Done with a note saying so.
OperationResult AdapterCheck(Session& session, Prompts& prompts, OperationView& view,
                             const AdapterCheckSetup& setup);

}  // namespace lpt51::session
