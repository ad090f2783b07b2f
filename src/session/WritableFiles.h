#pragma once

#include <optional>
#include <string>

#include "backend/Backend.h"

namespace lpt51::session {

// Why a file the session writes during or after an operation could not be
// written: the port trace, or the virtual chip's state file. Asked before
// the port is opened, so that no work is done whose record or result would
// be lost. Nothing is created or changed by asking.
std::optional<std::string> UnwritableFile(const BackendOptions& options);

}  // namespace lpt51::session
