// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ChipStateStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file/System.h"
#include "sim/ChipStateFile.h"

namespace lpt51::sim {

namespace {

using Kind = ChipStateRefusal::Kind;

bool WriteRefused(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

ChipStateRefusal ReadOnly(const std::string& path, const std::string& why) {
    return ChipStateRefusal{Kind::ReadOnly,
                            "The virtual chip state file " + path + " is read-only" + why +
                                ": the chip can be read, verified, checked for blank and its "
                                "signature read, but nothing that programs it is done."};
}

std::string DirectoryNotWritable(const std::string& path) {
    const std::string resolved = file::ResolvedPath(path);
    return " (its directory " + file::DirectoryOf(resolved.empty() ? path : resolved) +
           " cannot be written)";
}

ChipStateRefusal InUse(const std::string& path, const file::FileLock::Refusal& lock) {
    std::string text = "the virtual chip " + path + " is in use by another ";
    text += lock.otherProgram.empty() ? "lpt51" : "program, " + lock.otherProgram;
    if (lock.pid != 0) text += " (pid " + std::to_string(lock.pid) + ")";
    return ChipStateRefusal{Kind::InUse, text};
}

// Why the chip in `path`, loaded as `existed` says, cannot be changed:
// `lockError` is why its lock file could not be made, 0 when it was. On
// success `reserved` holds the room for the new state.
std::optional<ChipStateRefusal> RefuseChange(const std::string& path, bool existed, int lockError,
                                             std::size_t size,
                                             file::ReservedReplacement& reserved) {
    if (existed && StateFileIsReadOnly(path)) return ReadOnly(path, "");
    if (lockError != 0) {
        if (existed && WriteRefused(lockError)) return ReadOnly(path, DirectoryNotWritable(path));
        return ChipStateRefusal{Kind::CannotSave, "Cannot lock the virtual chip state file " +
                                                      path + " (" + LockFileOf(path) + ": " +
                                                      std::strerror(lockError) +
                                                      "); nothing was done."};
    }
    if (auto problem = file::ReservedReplacement::reserve(path, size, reserved)) {
        if (existed && problem->step == file::ReplaceProblem::Step::Create &&
            WriteRefused(problem->error))
            return ReadOnly(path, DirectoryNotWritable(path));
        return ChipStateRefusal{Kind::CannotSave,
                                saveProblemText(path, *problem) + "; nothing was done."};
    }
    return std::nullopt;
}

}  // namespace

std::string LockFileOf(const std::string& path) {
    const std::string resolved = file::ResolvedPath(path);
    return (resolved.empty() ? path : resolved) + ".lock";
}

bool StateFileIsReadOnly(const std::string& path) {
    file::System& sys = file::CurrentSystem();
    struct stat info {};
    if (sys.stat(path.c_str(), &info) != 0) return false;
    // The superuser may write anything; a file without a write bit is
    // still one its owner meant to keep as it is.
    return (info.st_mode & 0222) == 0 || sys.access(path.c_str(), W_OK) != 0;
}

std::optional<ChipStateRefusal> StateFileRefusal(const std::string& path, ChipUse use) {
    ChipStateLoad loaded = loadChipState(path, ChipKind::Part12V);
    if (!loaded.chip) return ChipStateRefusal{loaded.problem, loaded.error};
    if (use == ChipUse::Reads) return std::nullopt;
    file::ReservedReplacement probe;
    return RefuseChange(path, loaded.fileExisted, 0, formatChipState(*loaded.chip).size(), probe);
}

std::optional<ChipStateRefusal> ChipStateStore::begin(ChipUse use, ChipKind kindIfMissing,
                                                      ChipState& chip) {
    end(chip);  // an operation left open ends first, saving what it did
    // Where no lock file can be made, no state file can be saved either,
    // by this user: reading goes on unlocked, changing is refused.
    const auto unlocked = file::FileLock::acquire(LockFileOf(path_), lock_);
    if (unlocked && unlocked->held) return InUse(path_, *unlocked);
    if (lock_.held()) file::RemoveOrphanedTemporaries(path_);

    ChipStateLoad loaded = loadChipState(path_, kindIfMissing);
    std::optional<ChipStateRefusal> refusal;
    if (!loaded.chip) {
        refusal = ChipStateRefusal{loaded.problem, loaded.error};
    } else if (use == ChipUse::Changes) {
        refusal = RefuseChange(path_, loaded.fileExisted, unlocked ? unlocked->error : 0,
                               formatChipState(*loaded.chip).size(), reserved_);
    }
    if (refusal) {
        lock_.release();
        return refusal;
    }
    chip = std::move(*loaded.chip);
    begun_ = true;
    return std::nullopt;
}

std::optional<std::string> ChipStateStore::end(const ChipState& chip) {
    std::optional<std::string> error;
    if (reserved_.active()) error = saveChipState(path_, chip, reserved_);
    lock_.release();
    begun_ = false;
    return error;
}

}  // namespace lpt51::sim
