// SPDX-License-Identifier: GPL-3.0-or-later
#include "Image.h"

#include "image/HexScan.h"
#include "image/OpenWalk.h"

namespace lpt51::d51 {

void Image::Set(std::size_t address, std::uint8_t value) {
    bytes[address] = value;
    defined[address] = true;
    if (!any || address < first) first = address;
    if (!any || address > last) last = address;
    any = true;
}

LoadResult ReadHex(const image::Lines& lines) {
    LoadResult r;
    const image::OpenResult open = image::ValidateImage(lines);
    if (open.outcome != image::OpenResult::Outcome::Accepted) {
        std::string message = open.outcome == image::OpenResult::Outcome::TooLarge
                                  ? std::string(image::kTooLargeMessage)
                                  : open.message;
        // The window's message box breaks its line at the carriage return.
        std::size_t from = 0;
        for (std::size_t cr; (cr = message.find('\r', from)) != std::string::npos; from = cr + 1)
            r.error.push_back(message.substr(from, cr - from));
        r.error.push_back(message.substr(from));
        if (!open.detail.empty()) r.error.push_back(open.detail);
        return r;
    }
    const image::ScannedImage scan = image::ScanImage(lines);
    for (const image::ImageProblem& w : scan.warnings) r.warnings.push_back(image::ProblemText(w));
    if (scan.problem) {
        r.error.push_back(image::ProblemText(*scan.problem));
        return r;
    }
    for (const image::WalkRecord& rec : scan.records) {
        std::size_t address = (std::size_t{rec.addrHigh} << 8) | rec.addrLow;
        for (const std::uint8_t b : rec.bytes) r.image.Set(address++, b);
    }
    r.ok = true;
    return r;
}

LoadResult ParseHex(std::string_view text) {
    return ReadHex(image::SplitLines(text));
}

}  // namespace lpt51::d51
