// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "backend/Backend.h"

namespace lpt51::session {

// Why a file the session writes during or after an operation could not be
// written: the port trace, or the virtual chip's state file. Asked before
// the port is opened, so that no work is done whose record or result would
// be lost. Nothing is created or changed by asking.
struct UnwritableReason {
    std::string text;
    // The virtual chip cannot be used for this (rather than the trace not
    // written): the front end treats it as a port that cannot be used.
    bool chipUnusable = false;
};
std::optional<UnwritableReason> UnwritableFile(const BackendOptions& options, bool changesChip);

}  // namespace lpt51::session
