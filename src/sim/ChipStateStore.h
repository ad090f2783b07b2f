// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "file/FileLock.h"
#include "file/ReplaceFile.h"
#include "sim/ChipStateFile.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::sim {

// Whether an operation may change the chip (erase, write, lock) or only
// reads it (read-out, verify, signature, blank check).
enum class ChipUse { Reads, Changes };

// The state file of one virtual chip as operations use it, one process at a
// time. An operation begins by locking the chip and reading it as the file
// holds it now, whatever an earlier operation of this process left in
// memory: another lpt51 may have written it since. One that changes the chip
// also has the room for its new state reserved, so a full disk refuses it
// before the first pulse rather than losing it after the last. It ends by
// saving the chip, only when it began as one that changes it, and unlocking.
// A chip whose file or directory the user cannot write is read without a
// lock: no lock file can be made there, and nothing of this user's can
// replace the file while it is read.
class ChipStateStore {
  public:
    explicit ChipStateStore(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Locks and reads the chip into `chip`; on a refusal `chip` is untouched
    // and nothing is held.
    std::optional<ChipStateRefusal> begin(ChipUse use, ChipKind kindIfMissing, ChipState& chip);
    // Saves `chip` if the operation began as one that changes it, then
    // unlocks. Returns the error text of a failed save.
    std::optional<std::string> end(const ChipState& chip);
    bool begun() const { return begun_; }

  private:
    std::string path_;
    file::FileLock lock_;
    file::ReservedReplacement reserved_;
    bool begun_ = false;
};

// The lock file beside the state file at `path` (beside a link's target, so
// every name of one chip shares it).
std::string LockFileOf(const std::string& path);

// Whether the state file at `path` is one the user cannot, or chose not to,
// write: no write permission for them, or none for anyone, or a read-only
// file system. A missing file is not.
bool StateFileIsReadOnly(const std::string& path);

// Why an operation of `use` could not begin on the chip in the state file at
// `path` now, as ChipStateStore::begin would refuse it short of the lock:
// asked before the port is opened. Nothing is created or changed by asking.
std::optional<ChipStateRefusal> StateFileRefusal(const std::string& path, ChipUse use);

}  // namespace lpt51::sim
