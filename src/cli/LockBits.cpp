// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LockBits.h"

#include <sstream>

namespace lpt51::cli {

std::optional<chip::LockSelection> ParseLockBits(const std::string& text) {
    chip::LockSelection bits;
    std::stringstream in(text);
    std::string item;
    bool any = false;
    while (std::getline(in, item, ',')) {
        if (item == "1") {
            bits.l1 = true;
        } else if (item == "2") {
            bits.l2 = true;
        } else if (item == "3") {
            bits.l3 = true;
        } else {
            return std::nullopt;
        }
        any = true;
    }
    if (!any) return std::nullopt;
    return bits;
}

}  // namespace lpt51::cli
