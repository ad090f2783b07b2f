// SPDX-License-Identifier: GPL-3.0-or-later
// The Open command's validation walk and the write's scan on arbitrary file
// text, with the rules both must keep whatever the text:
// - the messages and the command line's words hold no byte beyond ASCII;
// - the scan accepts a text only when its end record has type 01, and every
//   line above it is a record it walked (none dropped without a word, a data
//   record without bytes among the warnings);
// - nothing below the end record reads as a record;
// - every data byte lies on the chip, and no two records give a cell
//   different values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "chip/At89c51.h"
#include "image/HexField.h"
#include "image/HexScan.h"
#include "image/OpenWalk.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool Ascii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lpt51::image;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Lines lines = SplitLines(text);

    const OpenResult open = ValidateImage(lines);
    Require(Ascii(open.message) && Ascii(open.detail));

    const ScannedImage scan = ScanImage(lines);
    if (scan.problem) {
        Require(Ascii(scan.problem->what));
        return 0;
    }
    Require(scan.endLine < lines.size());
    Require(IsEndRecord(lines[scan.endLine]));
    Require(ReadField(lines[scan.endLine], kTypePos) == kEndRecord);
    Require(scan.records.size() == scan.endLine);
    std::size_t zeroLength = 0;
    std::size_t bytes = 0;
    std::vector<int> cell(lpt51::chip::kCodeSize, -1);
    for (std::size_t k = 0; k < scan.records.size(); ++k) {
        const WalkRecord& rec = scan.records[k];
        Require(rec.lineIndex == k);
        const std::string& line = lines[k];
        const auto type = ReadField(line, kTypePos);
        Require(type && *type != kEndRecord);
        if (*type == kDataRecord && ReadField(line, kCountPos) == 0) ++zeroLength;
        Require(rec.data == !rec.bytes.empty());
        std::uint32_t address = (std::uint32_t{rec.addrHigh} << 8) | rec.addrLow;
        for (const std::uint8_t b : rec.bytes) {
            Require(address < lpt51::chip::kCodeSize);
            Require(cell[address] == -1 || cell[address] == b);
            cell[address++] = b;
        }
        bytes += rec.bytes.size();
    }
    Require(bytes == scan.dataBytes && bytes > 0);
    Require(scan.warnings.size() == zeroLength);
    for (std::size_t i = scan.endLine + 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        Require(line.empty() || line[0] != ':' || IsEndRecord(line));
    }
    return 0;
}
