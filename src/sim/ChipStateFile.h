// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "file/ReplaceFile.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::sim {

// The virtual chip's state on disk, so that separate runs see the same chip.
//
// The file is text a person can read and diff:
//
//   lpt51 virtual chip state
//   version 1
//   kind 12V                      (12V, 5V, empty or foreign)
//   lock 0 0 0                    (LB1 LB2 LB3)
//   stuck FF                      (the bits a weak cell keeps at one)
//   weak 010 7FF                  (weak cell addresses, possibly none)
//   code 4096
//   000 FFFF...FF                 (256 lines: address, 16 bytes as 32 digits)
//   ...
//   crc32 1A2B3C4D                (CRC-32 of every byte above this line)
//
// Anything else, a line missing, out of order or changed, is refused.

// Why the chip in a state file cannot be used as an operation asks. Nothing
// has been changed when one is given.
struct ChipStateRefusal {
    enum class Kind {
        InUse,        // another process holds the chip's lock
        ReadOnly,     // the file or its directory cannot be written: only reading works
        CannotSave,   // the chip's new state would have nowhere to go (a full disk, say)
        NoDirectory,  // the directory the file is named in does not exist
        NotAFile,     // a directory, FIFO, device or socket, or a link that loops
        Unreadable,   // the file cannot be read (no permission, an I/O error)
        Damaged,      // a state file, damaged or cut short
        Foreign,      // no state file at all
        Newer,        // a state file of a format newer than this program's
    };
    Kind kind;
    std::string message;
};

// What loading found. Exactly one of `chip` and `error` is set.
struct ChipStateLoad {
    std::optional<ChipState> chip;
    bool fileExisted = false;  // false: the erased chip stands in for a missing file
    std::string error;         // names the file and what is wrong with it
    ChipStateRefusal::Kind problem = ChipStateRefusal::Kind::Unreadable;  // with `error`
};

// Reads the state file at `path`. A missing file gives an erased chip of
// `kindIfMissing`, but not in a directory that does not exist; an
// unreadable, damaged or foreign file gives an error and must be left as it
// is.
ChipStateLoad loadChipState(const std::string& path, ChipKind kindIfMissing);

// Writes `chip` to `path` atomically: a temporary file in the same directory,
// flushed to disk, then renamed over `path`, so a crash leaves the old state
// or the new one; the file keeps its permissions, and a link stays a link.
// Refuses, touching nothing, when `path` exists and is not a valid state
// file: a damaged or foreign file is never replaced, whatever the caller
// made of the load. Returns the error text, naming the file and the
// system's reason, or nothing on success.
std::optional<std::string> saveChipState(const std::string& path, const ChipState& chip);

// The same into a replacement reserved beforehand (of formatChipState's
// size for `chip`), which is used up either way.
std::optional<std::string> saveChipState(const std::string& path, const ChipState& chip,
                                         file::ReservedReplacement& reserved);

// Why the file at `path` must not be replaced by a state file, or nothing
// when it is a valid one or missing.
std::optional<std::string> refuseReplacing(const std::string& path);

// The text for a failed replacement of the state file at `path`.
std::string saveProblemText(const std::string& path, const file::ReplaceProblem& problem);

// The file's text for `chip`, and the parse of such a text (error without
// the file name; empty on success). Exposed for tests and fuzzing.
std::string formatChipState(const ChipState& chip);
std::optional<ChipState> parseChipState(const std::string& text, std::string& error);

}  // namespace lpt51::sim
