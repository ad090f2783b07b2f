// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "chip/ImageScan.h"
#include "chip/ProgrammerState.h"
#include "chip/Progress.h"
#include "chip/PulseCheck.h"
#include "image/HexField.h"

namespace lpt51::chip {

struct WriteResult {
    // True when the walk reached the end record and the end sequence was sent.
    bool completed = false;
    // Set when the text was refused before anything reached the port; the
    // handler shows it (also during Clear-Write-Verify) instead of "File was burn !".
    std::optional<std::string> refusal;
    std::size_t bytesProgrammed = 0;
    // Every pulse longer than the chip allows, and what became of its byte.
    PulseChecks pulses;
    // Set when the write stopped (completed is false): a byte's stretched
    // pulse could not be mended, or a byte polled at the end of its write
    // cycle read wrong or its cycle did not end. Says where, what was read
    // and that the chip may be partly programmed.
    std::optional<std::string> failure;
    // The walk was asked to stop between two bytes (completed is false).
    bool stopped = false;
};

// Programs the image. Runs NO device check: the handler does, in this order:
//   if (!RunDeviceCheck(ctx, caption)) return;
//   write caption "WRITING ...", disable write and the window;
//   r = WriteImage(ctx, caption, image, &observer);
//   reload the view from the current image file; caption "Write Chip";
//   if (auto m = WriteFinalMessage(r, ctx.state)) prompts.showMessage(*m);
//   enable the window and write; in BidiMode also Ve and verify (only when r.completed).
// The text has been scanned (ScanImage): a scan with a problem is refused
// with no port access at all. Otherwise: initial sequence, every data byte
// of every data record, ReleaseBus. observer may be null.
// A byte whose pulse was stretched is mended at once: on a bidirectional
// port it is read back as the verify reads it and programmed again while it
// differs, on an output-only port it is programmed once more; a byte that
// cannot be mended in kPulseTries pulses ends the write (failure).
WriteResult WriteImage(ChipContext& ctx, const std::string& cpuCaption, const ScannedImage& image,
                       ProgressObserver* observer);

// The message to show after WriteImage: the refusal or the failure, or
// "File was burn !" unless CwvActive, or nothing. The pulse checks'
// text, if any, follows it.
std::optional<std::string> WriteFinalMessage(const WriteResult& result,
                                             const ProgrammerState& state);

}  // namespace lpt51::chip
