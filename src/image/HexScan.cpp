// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/HexScan.h"

#include <algorithm>

#include "chip/At89c51.h"
#include "image/CharText.h"

namespace lpt51::image {

namespace {

using chip::kCodeSize;

constexpr char kDigits[] = "0123456789ABCDEF";

std::string Hex2(unsigned value) {
    return {kDigits[(value >> 4) & 0x0F], kDigits[value & 0x0F]};
}

// Upper-case hexadecimal, at least four digits, more beyond 64 KiB.
std::string AddressText(std::uint32_t address) {
    std::string text;
    do {
        text.insert(text.begin(), kDigits[address & 0x0F]);
        address >>= 4;
    } while (address != 0 || text.size() < 4);
    return text;
}

bool Printable(char c) {
    return c >= 0x20 && c < 0x7F;
}

ImageProblem At(std::size_t lineIndex, std::size_t column, std::string what) {
    return ImageProblem{lineIndex + 1, column, std::move(what)};
}

ImageProblem NotHex(std::size_t lineIndex, std::string_view line, std::size_t pos) {
    const std::string text = FieldText(line, pos);
    if (text.size() < 2)
        return At(lineIndex, pos + 1, "the line ends where a two-digit field is expected");
    if (Printable(text[0]) && Printable(text[1]))
        return At(lineIndex, pos + 1, "field \"" + text + "\" is not a hexadecimal byte");
    // Quoted, a tab or a byte beyond ASCII would not show, or would garble
    // the terminal: the character is named instead, at its own column.
    const std::size_t bad = ReadField(std::string{text[0], '0'}, 0) ? pos + 1 : pos;
    return At(lineIndex, bad + 1,
              CharacterName(line, bad) + " where a hexadecimal digit is expected");
}

// The base that the last extended address record put in force: a segment
// (type 02) counts in 16-byte paragraphs, a linear address (type 04) in 64 KiB
// pages. Many tools begin every file with a zero base.
struct ExtendedBase {
    bool linear = false;
    std::uint16_t value = 0;

    std::uint32_t Full(std::uint32_t offset) const {
        return (linear ? std::uint32_t{value} << 16 : std::uint32_t{value} << 4) + offset;
    }
};

ImageProblem MalformedBase(std::size_t lineIndex, std::uint8_t type, unsigned count) {
    return At(lineIndex, kCountPos + 1,
              std::string("the extended ") + (type == kLinearRecord ? "linear" : "segment") +
                  " address record (type " + Hex2(type) + ") has a byte count of " + Hex2(count) +
                  "; it must be 02");
}

ImageProblem BeyondTheChip(std::size_t lineIndex, const ExtendedBase& base, std::uint32_t offset) {
    const std::uint32_t start = base.Full(offset);
    std::string what = "the record at address " + AddressText(start);
    if (base.value != 0) {
        what += std::string(" (extended ") + (base.linear ? "linear" : "segment") + " address " +
                AddressText(base.value) + ", offset " + AddressText(offset) + ")";
    }
    what += std::string(start >= kCodeSize ? " lies beyond" : " runs past") + " " +
            AddressText(kCodeSize - 1) + ", the chip's last address";
    return At(lineIndex, 0, std::move(what));
}

// Which line put which byte where, so that two records that disagree about
// a cell are found before the chip is touched: programming both would leave
// the cell holding the AND of the two.
class CellOwners {
  public:
    CellOwners() : line_(kCodeSize, 0), value_(kCodeSize, 0) {}

    std::optional<ImageProblem> put(std::size_t lineIndex, std::uint32_t address,
                                    std::uint8_t value) {
        if (line_[address] != 0 && value_[address] != value) {
            return At(lineIndex, 0,
                      "it puts " + Hex2(value) + " at address " + AddressText(address) +
                          ", where line " + std::to_string(line_[address]) + " puts " +
                          Hex2(value_[address]) +
                          "; records that overlap must hold the same data: delete one of them");
        }
        line_[address] = lineIndex + 1;
        value_[address] = value;
        return std::nullopt;
    }

  private:
    std::vector<std::size_t> line_;  // 1-based; 0 while no record put a byte there
    std::vector<std::uint8_t> value_;
};

// Lines below the end record are neither programmed nor verified, so a
// record there would be lost without a word: a file joined from two images,
// or an end record in the wrong place. A line that reads as a record is one,
// whatever its start code, as everywhere else; other text (a note, the
// end-of-file character of DOS-era tools) is left alone.
bool IsRecordAfterTheEnd(std::string_view line) {
    if (IsEndRecord(line)) return false;
    if (!line.empty() && line[0] == ':') return true;
    for (const std::size_t pos : {kCountPos, kAddrHighPos, kAddrLowPos, kTypePos})
        if (!ReadField(line, pos)) return false;
    return true;
}

std::optional<ImageProblem> AfterTheEnd(const Lines& lines, std::size_t endIndex) {
    for (std::size_t i = endIndex + 1; i < lines.size(); ++i) {
        if (!IsRecordAfterTheEnd(lines[i])) continue;
        return At(i, 0,
                  "a record after the end record of line " + std::to_string(endIndex + 1) +
                      "; nothing after the end record is programmed: delete it, or move the end "
                      "record to the last line");
    }
    return std::nullopt;
}

}  // namespace

ScannedImage ScanImage(const Lines& lines) {
    ScannedImage out;
    ExtendedBase base;
    CellOwners owners;
    auto refuse = [&out](ImageProblem p) {
        out.problem = std::move(p);
        return out;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (i == 0 && StartsWithByteOrderMark(line)) {
            return refuse(At(i, 1,
                             "the file begins with a byte-order mark (U+FEFF), which Intel HEX "
                             "does not allow: save the file as plain ASCII text without it"));
        }
        if (IsBlankLine(line)) {
            const auto rest = lines.begin() + static_cast<std::ptrdiff_t>(i);
            if (std::all_of(rest, lines.end(), [](const std::string& l) { return IsBlankLine(l); }))
                break;
            return refuse(At(i, 0,
                             "a blank line between records; records follow one another, one a "
                             "line: delete the blank line"));
        }
        std::uint8_t field[4] = {};
        for (std::size_t k = 0; k < 4; ++k) {
            const std::size_t pos = kCountPos + 2 * k;
            const auto v = ReadField(line, pos);
            if (!v) return refuse(NotHex(i, line, pos));
            field[k] = *v;
        }
        const std::uint8_t count = field[0];
        const std::uint8_t type = field[3];
        WalkRecord rec;
        rec.lineIndex = i;
        rec.addrHigh = field[1];
        rec.addrLow = field[2];
        switch (type) {
            case kEndRecord:
                if (count != 0) {
                    return refuse(At(i, kCountPos + 1,
                                     "the end record (type 01) has a byte count of " + Hex2(count) +
                                         "; it must be 00"));
                }
                out.endLine = i;
                if (auto after = AfterTheEnd(lines, i)) return refuse(std::move(*after));
                // An end record with nothing before it would "succeed" at
                // programming nothing, or erase the chip for it.
                if (out.dataBytes == 0) return refuse(ImageProblem{0, 0, kNoImageData});
                return out;
            case kSegmentRecord:
            case kLinearRecord: {
                if (count != 2) return refuse(MalformedBase(i, type, count));
                const auto b0 = ReadField(line, kDataPos);
                if (!b0) return refuse(NotHex(i, line, kDataPos));
                const auto b1 = ReadField(line, kDataPos + 2);
                if (!b1) return refuse(NotHex(i, line, kDataPos + 2));
                base.linear = type == kLinearRecord;
                base.value = static_cast<std::uint16_t>((*b0 << 8) | *b1);
                out.records.push_back(std::move(rec));  // sets the base, programs nothing
                continue;
            }
            case kStartSegmentRecord:
            case kStartLinearRecord:
                // A start address means nothing to a chip that always starts at 0000.
                out.records.push_back(std::move(rec));
                continue;
            case kDataRecord:
                break;
            default:
                return refuse(At(i, kTypePos + 1,
                                 "record type " + Hex2(type) +
                                     " is not an Intel HEX record type (00 to 05): the file "
                                     "is damaged, or is not Intel HEX"));
        }
        if (count == 0) {
            out.warnings.push_back(At(i, 0,
                                      "a data record without bytes (byte count 00) is passed "
                                      "over; only an end record (type 01) ends the image"));
            out.records.push_back(std::move(rec));
            continue;
        }
        const std::uint32_t offset = (std::uint32_t{field[1]} << 8) | field[2];
        const std::uint32_t start = base.Full(offset);
        if (std::uint64_t{start} + count > kCodeSize)  // 64 bits: a high base plus the count
            return refuse(BeyondTheChip(i, base, offset));
        // The walks latch the chip address, which is the offset unless a base
        // below the chip's end moved it.
        rec.addrHigh = static_cast<std::uint16_t>(start >> 8);
        rec.addrLow = static_cast<std::uint16_t>(start & 0xFF);
        rec.data = true;
        rec.bytes.reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t pos = kDataPos + 2 * k;
            const auto b = ReadField(line, pos);
            if (!b) return refuse(NotHex(i, line, pos));
            if (auto clash = owners.put(i, start + static_cast<std::uint32_t>(k), *b))
                return refuse(std::move(*clash));
            rec.bytes.push_back(*b);
        }
        out.dataBytes += rec.bytes.size();
        out.records.push_back(std::move(rec));
    }
    // Named by its last line that is not blank, where the end record belongs.
    std::size_t last = lines.size();
    while (last > 0 && IsBlankLine(lines[last - 1])) --last;
    return refuse(ImageProblem{last, 0,
                               last == 0 ? "the text is empty: there is no end record (:00000001FF)"
                                         : "the text ends without an end record (:00000001FF)"});
}

std::string ProblemText(const ImageProblem& problem) {
    std::string where;
    if (problem.line > 0) {
        where = "line " + std::to_string(problem.line);
        if (problem.column > 0) where += ", column " + std::to_string(problem.column);
        where += ": ";
    }
    return where + problem.what;
}

}  // namespace lpt51::image
