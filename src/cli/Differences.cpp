// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Differences.h"

#include "chip/HexText.h"

namespace lpt51::cli {

void ReportDifferences(std::ostream& out, const std::vector<chip::ByteDifference>& d,
                       std::size_t total) {
    constexpr std::size_t kShown = 10;
    bool notErased = false;
    for (std::size_t i = 0; i < d.size(); ++i) {
        if (i < kShown) {
            out << "  " << chip::Hex2(d[i].address >> 8) << chip::Hex2(d[i].address & 0xFF)
                << ": chip " << chip::Hex2(d[i].onChip) << ", file " << chip::Hex2(d[i].inFile)
                << '\n';
        }
        if (static_cast<std::uint8_t>(~d[i].onChip & d[i].inFile) != 0) notErased = true;
    }
    if (d.size() > kShown) out << "  ...\n";
    out << total << (total == 1 ? " byte differs" : " bytes differ") << '\n';
    if (notErased) {
        out << "The chip holds 0 bits where the file wants 1: it was probably not erased "
               "before writing.\n";
    }
}

}  // namespace lpt51::cli
