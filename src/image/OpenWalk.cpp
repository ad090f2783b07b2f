// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/OpenWalk.h"

#include <algorithm>
#include <limits>

#include "chip/At89c51.h"
#include "image/CharText.h"

namespace lpt51::image {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

std::string Hex2(unsigned value) {
    return {kDigits[(value >> 4) & 0x0F], kDigits[value & 0x0F]};
}

// The characters the view would hand back for a two-character selection at
// `pos` of line `index`: a selection past the line's end runs on into the line
// break and the following text, which is why a short line quotes them. A
// character beyond ASCII is given as its code point, once however many of its
// bytes the selection takes, so that the message never holds a broken or
// invisible character.
std::string ViewFieldText(const Lines& lines, std::size_t index, std::size_t pos) {
    std::string text;
    std::size_t taken = 0;
    std::size_t i = index;
    std::size_t p = pos;
    std::size_t lastStart = std::string::npos;  // of the last character beyond ASCII
    while (taken < 2 && i < lines.size()) {
        const std::string& line = lines[i];
        if (p < line.size()) {
            if (static_cast<unsigned char>(line[p]) < 0x80) {
                text += line[p];
            } else if (const CharacterAt c = FindCharacter(line, p); c.start != lastStart) {
                text += PrintableCharacter(line, p);
                lastStart = c.start;
            }
            ++taken;
            ++p;
            continue;
        }
        if (i + 1 >= lines.size()) break;  // the text ends without a break
        if (p == line.size()) {
            text += '\n';
            ++taken;
            ++p;
            continue;
        }
        p -= line.size() + 1;
        ++i;
        lastStart = std::string::npos;
    }
    return text;
}

struct LineCheck {
    bool ok = true;
    bool checksumMismatch = false;
    std::uint8_t foundSum = 0;
    std::uint8_t expectedSum = 0;
    std::size_t pos = 0;  // of the field that failed
    std::string message;
};

// One record: every field must be two hex digits; the checksum must equal the
// low byte of 0x10000 less every field before it.
LineCheck CheckLine(const Lines& lines, std::size_t index, std::int64_t& codeSize) {
    static const std::string kEmpty;
    const std::string& line = index < lines.size() ? lines[index] : kEmpty;
    std::uint32_t acc = 0x10000;
    LineCheck check;
    auto read = [&](std::size_t pos, std::uint8_t& value) {
        const auto v = ReadField(line, pos);
        if (!v) {
            check.ok = false;
            check.pos = pos;
            check.message =
                std::string(kIllegalCharMessage) + ViewFieldText(lines, index, pos) + " ! ";
            return false;
        }
        value = *v;
        return true;
    };
    std::uint8_t count = 0;
    if (!read(kCountPos, count)) return check;
    acc -= count;
    std::uint8_t type = 0;
    for (std::size_t pos : {kAddrHighPos, kAddrLowPos, kTypePos}) {
        std::uint8_t v = 0;
        if (!read(pos, v)) return check;
        acc -= v;
        if (pos == kTypePos) type = v;
    }
    // Only data records carry code; the extended and start address records
    // that many tools write carry addresses, and counting them would push a
    // full image over the chip's size.
    if (type == kDataRecord) codeSize += count;
    for (std::size_t k = 0; k < count; ++k) {
        std::uint8_t v = 0;
        if (!read(kDataPos + 2 * k, v)) return check;
        acc -= v;
    }
    std::uint8_t sum = 0;
    if (!read(kDataPos + 2 * std::size_t{count}, sum)) return check;
    if (sum != (acc & 0xFFu)) {
        check.ok = false;
        check.checksumMismatch = true;
        check.foundSum = sum;
        check.expectedSum = static_cast<std::uint8_t>(acc & 0xFFu);
        check.message = kCorruptMessage;
    }
    return check;
}

std::string FieldName(std::size_t pos, std::string_view line) {
    switch (pos) {
        case kCountPos:
            return "the byte count";
        case kAddrHighPos:
        case kAddrLowPos:
            return "the address";
        case kTypePos:
            return "the record type";
        default:
            break;
    }
    const auto count = ReadField(line, kCountPos);
    const std::size_t k = (pos - kDataPos) / 2;
    if (count && k == *count) return "the checksum";
    return "data byte " + std::to_string(k + 1);
}

bool Printable(char c) {
    return c >= 0x20 && c < 0x7F;
}

// The command line's words for a refused line: the window's message quotes
// the field as the view selects it, which for a short or blank line is the
// next line's text, and for a byte-order mark nothing a reader would know.
std::string Detail(const Lines& lines, std::size_t index, const LineCheck& check) {
    const std::string where = "line " + std::to_string(index + 1);
    if (index >= lines.size()) {
        if (lines.empty()) return "the file is empty: it holds no records and no end record";
        return where +
               " (after the last line): the file ends after its one record without an end "
               "record: add :00000001FF as its last line";
    }
    const std::string& line = lines[index];
    if (check.checksumMismatch) {
        return where + ": checksum " + Hex2(check.foundSum) + ", expected " +
               Hex2(check.expectedSum) +
               ": the record was changed after it was written; build the file again, or "
               "correct the checksum if the change was meant";
    }
    if (index == 0 && StartsWithByteOrderMark(line)) {
        return where +
               " begins with a byte-order mark (U+FEFF), which Intel HEX does not allow: save "
               "the file as plain ASCII text without it";
    }
    if (IsBlankLine(line)) {
        return where + " is blank: records follow one another, one a line: delete the blank line";
    }
    const std::size_t pos = check.pos;
    const std::string have = FieldText(line, pos);  // what the line has of the field
    std::size_t bad = 0;
    while (bad < have.size() && ReadField(std::string{have[bad], '0'}, 0)) ++bad;
    if (bad == have.size()) {
        // Every character up to the end of the line is a digit: it ends too soon.
        const auto count = ReadField(line, kCountPos);
        std::string what = where + " ends after " + std::to_string(line.size()) +
                           " characters, in " + FieldName(pos, line);
        if (count) {
            what += ", but its byte count " + Hex2(*count) + " needs " +
                    std::to_string(kDataPos + 2 + 2 * std::size_t{*count});
        }
        return what + ": the record is cut short; build the file again";
    }
    if (have.size() == 2 && Printable(have[0]) && Printable(have[1]))
        return where;  // the window's message shows the field as it is
    return where + ", column " + std::to_string(pos + bad + 1) + ": " +
           CharacterName(line, pos + bad) + " in " + FieldName(pos, line) +
           ", where a hexadecimal digit is expected";
}

}  // namespace

OpenResult ValidateImage(const Lines& lines) {
    OpenResult result;
    std::int64_t codeSize = 0;
    auto finish = [&](OpenResult::Outcome outcome) {
        result.codeSize = static_cast<std::int32_t>(
            std::min<std::int64_t>(codeSize, std::numeric_limits<std::int32_t>::max()));
        result.outcome = outcome;
        if (outcome == OpenResult::Outcome::Accepted &&
            codeSize > static_cast<std::int64_t>(chip::kCodeSize)) {
            result.outcome = OpenResult::Outcome::TooLarge;
            result.detail = "its data records hold " + std::to_string(result.codeSize) +
                            " bytes, and the chip holds " + std::to_string(chip::kCodeSize);
        }
        return result;
    };
    auto reject = [&](const LineCheck& check, std::size_t line) {
        result.message = check.message;
        result.checksumMismatch = check.checksumMismatch;
        result.foundSum = check.foundSum;
        result.expectedSum = check.expectedSum;
        result.errorLine = line;
        result.detail = Detail(lines, line, check);
        return finish(OpenResult::Outcome::Rejected);
    };

    // The counter starts at the number of lines and the walk ends when it
    // reaches 1. A view of one record therefore walks on past its end and
    // meets an empty line, which is illegal; an empty view likewise.
    std::size_t counter = lines.size();
    std::size_t index = 0;
    for (;;) {
        const bool exists = index < lines.size();
        if (exists && IsEndRecord(lines[index])) break;
        const LineCheck check = CheckLine(lines, index, codeSize);
        if (!check.ok) return reject(check, index);
        ++index;
        --counter;
        if (counter == 1) {
            // The line left over is normally the end record. When it is a
            // record instead it would be programmed unchecked, so it is
            // validated and counted like the others; a blank trailing line is
            // not a record and stays unexamined.
            const std::string& last = lines[index];
            if (!IsEndRecord(last) && !IsBlankLine(last)) {
                const LineCheck tail = CheckLine(lines, index, codeSize);
                if (!tail.ok) return reject(tail, index);
            }
            break;
        }
    }
    return finish(OpenResult::Outcome::Accepted);
}

}  // namespace lpt51::image
