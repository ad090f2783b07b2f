#include "sim/ChipStateStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file/System.h"
#include "sim/ChipStateFile.h"

namespace lpt51::sim {

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

std::optional<ChipStateRefusal> ChipStateStore::begin(ChipUse use, ChipKind kindIfMissing,
                                                      ChipState& chip) {
    using Kind = ChipStateRefusal::Kind;
    end(chip);  // an operation left open ends first, saving what it did
    if (auto refusal = file::FileLock::acquire(LockFileOf(path_), lock_)) {
        if (refusal->held) {
            std::string text = "the virtual chip " + path_ + " is in use by another lpt51";
            if (refusal->pid != 0) text += " (pid " + std::to_string(refusal->pid) + ")";
            return ChipStateRefusal{Kind::InUse, text};
        }
        // Where no lock file can be made, no state file can be saved either,
        // by this user: reading goes on unlocked, changing is refused.
        if (use == ChipUse::Changes) {
            return ChipStateRefusal{Kind::CannotSave, "Cannot lock the virtual chip state file " +
                                                          path_ + " (" + LockFileOf(path_) + ": " +
                                                          std::strerror(refusal->error) +
                                                          "); nothing was done."};
        }
    }
    if (lock_.held()) file::RemoveOrphanedTemporaries(path_);

    ChipStateLoad loaded = loadChipState(path_, kindIfMissing);
    if (!loaded.chip) {
        lock_.release();
        return ChipStateRefusal{Kind::Unreadable, loaded.error};
    }
    if (use == ChipUse::Changes) {
        if (loaded.fileExisted && StateFileIsReadOnly(path_)) {
            lock_.release();
            return ChipStateRefusal{
                Kind::ReadOnly,
                "The virtual chip state file " + path_ +
                    " is read-only: the chip can be read, verified and its signature read, "
                    "but nothing that programs it is done."};
        }
        const std::size_t size = formatChipState(*loaded.chip).size();
        if (auto problem = file::ReservedReplacement::reserve(path_, size, reserved_)) {
            lock_.release();
            return ChipStateRefusal{Kind::CannotSave,
                                    saveProblemText(path_, *problem) + "; nothing was done."};
        }
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
