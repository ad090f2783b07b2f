// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "Image.h"

namespace lpt51::d51 {

// The listing of every byte from the lowest to the highest loaded address, as
// assembler source that assembles back to the same bytes (bytes no record
// loads come back as 0FFH, the erased value). Two comment lines head it; then
// .ORG, one instruction or data line per line, each with its address and
// bytes in a comment, and labels where a jump or call lands on a line start.
std::string MakeListing(const Image& image, std::string_view sourceName);

}  // namespace lpt51::d51
