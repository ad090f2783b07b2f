#include "image/OpenWalk.h"

#include <algorithm>
#include <limits>

#include "chip/At89c51.h"

namespace lpt51::image {
namespace {

// The characters the view would hand back for a two-character selection at
// `pos` of line `index`: a selection past the line's end runs on into the line
// break and the following text, which is why a short line quotes them.
std::string ViewFieldText(const Lines& lines, std::size_t index, std::size_t pos) {
    std::string text;
    std::size_t i = index;
    std::size_t p = pos;
    while (text.size() < 2 && i < lines.size()) {
        const std::string& line = lines[i];
        if (p < line.size()) {
            text += line[p];
            ++p;
            continue;
        }
        if (i + 1 >= lines.size()) break;  // the text ends without a break
        if (p == line.size()) {
            text += '\n';
            ++p;
            continue;
        }
        p -= line.size() + 1;
        ++i;
    }
    return text;
}

bool IsBlank(const std::string& line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

struct LineCheck {
    bool ok = true;
    bool checksumMismatch = false;
    std::uint8_t foundSum = 0;
    std::uint8_t expectedSum = 0;
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
    if (type == 0x00) codeSize += count;
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

}  // namespace

OpenResult ValidateImage(const Lines& lines) {
    OpenResult result;
    std::int64_t codeSize = 0;
    auto finish = [&](OpenResult::Outcome outcome) {
        result.codeSize = static_cast<std::int32_t>(
            std::min<std::int64_t>(codeSize, std::numeric_limits<std::int32_t>::max()));
        result.outcome = outcome;
        if (outcome == OpenResult::Outcome::Accepted &&
            codeSize > static_cast<std::int64_t>(chip::kCodeSize))
            result.outcome = OpenResult::Outcome::TooLarge;
        return result;
    };
    auto reject = [&](const LineCheck& check, std::size_t line) {
        result.message = check.message;
        result.checksumMismatch = check.checksumMismatch;
        result.foundSum = check.foundSum;
        result.expectedSum = check.expectedSum;
        result.errorLine = line;
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
            if (!IsEndRecord(last) && !IsBlank(last)) {
                const LineCheck tail = CheckLine(lines, index, codeSize);
                if (!tail.ok) return reject(tail, index);
            }
            break;
        }
    }
    return finish(OpenResult::Outcome::Accepted);
}

}  // namespace lpt51::image
