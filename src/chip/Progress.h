// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lpt51::chip {

// Told about a running write, verify or read-out. The window deletes its view's
// first line at recordFinished and appends at lineAppended; the command line
// draws a bar from bytesDone and lists mismatches. Every method has a default
// that does nothing, so an observer overrides only what it shows. Calls come
// on the caller's thread, between port steps.
class ProgressObserver {
  public:
    virtual ~ProgressObserver() = default;

    // Write/verify: the record on line `lineIndex` (0-based index into the
    // lines passed in) is done; records of any type, the end record excepted.
    virtual void recordFinished(std::size_t lineIndex) { (void)lineIndex; }

    // Write/verify/read-out: data bytes done so far of `total`.
    virtual void bytesDone(std::size_t done, std::size_t total) {
        (void)done;
        (void)total;
    }

    // Verify: a byte differed; called before the mismatch question is asked.
    // `address` is AddrHigh x 256 + AddrLow.
    virtual void mismatch(std::uint16_t address, std::uint8_t onChip, std::uint8_t inFile) {
        (void)address;
        (void)onChip;
        (void)inFile;
    }

    // Read-out: a record line (or the end record line) was produced.
    virtual void lineAppended(const std::string& line) { (void)line; }
};

}  // namespace lpt51::chip
