#pragma once

#include <optional>
#include <string>

#include "chip/ImageScan.h"
#include "chip/ProgrammerState.h"
#include "chip/Progress.h"
#include "image/HexField.h"

namespace lpt51::chip {

struct WriteResult {
    // True when the walk reached the end record and the end sequence was sent.
    bool completed = false;
    // Set when the text was refused before anything reached the port; the
    // handler shows it (also during Clear-Write-Verify) instead of "File was burn !".
    std::optional<std::string> refusal;
    std::size_t bytesProgrammed = 0;
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
WriteResult WriteImage(ChipContext& ctx, const std::string& cpuCaption, const ScannedImage& image,
                       ProgressObserver* observer);

// The message to show after WriteImage: the refusal, or "File was burn !"
// unless CwvActive, or nothing.
std::optional<std::string> WriteFinalMessage(const WriteResult& result,
                                             const ProgrammerState& state);

}  // namespace lpt51::chip
