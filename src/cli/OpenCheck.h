// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "image/HexField.h"

namespace lpt51::cli {

// What the window's Open command concludes about a text: the code size it
// shows, or the one message it would show.
struct OpenCheckResult {
    bool ok = false;
    long codeSize = 0;
    std::string message;  // the window's own text when !ok
    // What the command line adds to a refusal: where, what is wrong when the
    // window's text does not show it ("line 2 is blank: ..."), and for a
    // checksum what was found and expected ("line 3: checksum 00, expected
    // F1: ..."); for the size refusal, how many bytes the records hold.
    std::string where;
};

// The Open command's validation walk and size limit, as one verdict.
OpenCheckResult CheckLikeOpen(const image::Lines& lines);

}  // namespace lpt51::cli
