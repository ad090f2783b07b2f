#include "chip/ImageScan.h"

#include "chip/HexText.h"

namespace lpt51::chip {

namespace {

std::optional<ImageProblem> NotHex(std::size_t lineIndex, std::string_view line, std::size_t pos) {
    const std::string text = image::FieldText(line, pos);
    ImageProblem p;
    p.line = lineIndex + 1;
    p.column = pos + 1;
    if (text.size() < 2) {
        p.what = "the line ends where a two-digit field is expected";
    } else {
        p.what = "field \"" + text + "\" is not a hexadecimal byte";
    }
    return p;
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

// Upper-case hexadecimal, at least four digits, more beyond 64 KiB.
std::string AddressText(std::uint32_t address) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[address & 0x0F]);
        address >>= 4;
    } while (address != 0 || text.size() < 4);
    return text;
}

ImageProblem MalformedBase(std::size_t lineIndex, const std::string& type, unsigned count) {
    ImageProblem p;
    p.line = lineIndex + 1;
    p.column = image::kCountPos + 1;
    p.what = std::string("the extended ") + (type == "04" ? "linear" : "segment") +
             " address record (type " + type + ") has a byte count of " + Hex2(count) +
             "; it must be 02";
    return p;
}

}  // namespace

ScannedImage ScanImage(const image::Lines& lines) {
    ScannedImage out;
    ExtendedBase base;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        WalkRecord rec;
        rec.lineIndex = i;
        // The count and address-high fields are compared as text first, as the
        // walks do: "00" "00" ends the image whatever follows.
        if (image::FieldText(line, image::kCountPos) == "00") {
            if (image::FieldText(line, image::kAddrHighPos) == "00") {
                out.endLine = i;
                // An end record with nothing before it would "succeed" at
                // programming nothing, or erase the chip for it.
                if (out.dataBytes == 0) out.problem = ImageProblem{0, 0, kNoImageData};
                return out;
            }
            const std::string type = image::FieldText(line, image::kTypePos);
            if (type == "02" || type == "04") {
                out.problem = MalformedBase(i, type, 0);
                return out;
            }
            out.records.push_back(std::move(rec));  // no data bytes: programs nothing
            continue;
        }
        const auto count = image::ReadField(line, image::kCountPos);
        if (!count) {
            out.problem = NotHex(i, line, image::kCountPos);
            return out;
        }
        const auto high = image::ReadField(line, image::kAddrHighPos);
        if (!high) {
            out.problem = NotHex(i, line, image::kAddrHighPos);
            return out;
        }
        const auto low = image::ReadField(line, image::kAddrLowPos);
        if (!low) {
            out.problem = NotHex(i, line, image::kAddrLowPos);
            return out;
        }
        rec.addrHigh = *high;
        rec.addrLow = *low;
        const std::string type = image::FieldText(line, image::kTypePos);
        if (type == "02" || type == "04") {
            if (*count != 2) {
                out.problem = MalformedBase(i, type, *count);
                return out;
            }
            const auto b0 = image::ReadField(line, image::kDataPos);
            if (!b0) {
                out.problem = NotHex(i, line, image::kDataPos);
                return out;
            }
            const auto b1 = image::ReadField(line, image::kDataPos + 2);
            if (!b1) {
                out.problem = NotHex(i, line, image::kDataPos + 2);
                return out;
            }
            base.linear = type == "04";
            base.value = static_cast<std::uint16_t>((*b0 << 8) | *b1);
            out.records.push_back(std::move(rec));  // sets the base, programs nothing
            continue;
        }
        if (type != "00") {
            out.records.push_back(std::move(rec));  // other record types program nothing
            continue;
        }
        const std::uint32_t offset = (std::uint32_t{*high} << 8) | *low;
        const std::uint32_t start = base.Full(offset);
        if (std::uint64_t{start} + *count > kCodeSize) {  // 64 bits: a high base plus the count
            ImageProblem p;
            p.line = i + 1;
            p.what = "the record at address " + AddressText(start);
            if (base.value != 0) {
                p.what += std::string(" (extended ") + (base.linear ? "linear" : "segment") +
                          " address " + AddressText(base.value) + ", offset " +
                          AddressText(offset) + ")";
            }
            p.what += std::string(start >= kCodeSize ? " lies beyond" : " runs past") + " " +
                      AddressText(kCodeSize - 1) + ", the chip's last address";
            out.problem = std::move(p);
            return out;
        }
        // The walks latch the chip address, which is the offset unless a base
        // below the chip's end moved it.
        rec.addrHigh = static_cast<std::uint16_t>(start >> 8);
        rec.addrLow = static_cast<std::uint16_t>(start & 0xFF);
        rec.data = true;
        rec.bytes.reserve(*count);
        for (std::size_t k = 0; k < *count; ++k) {
            const std::size_t pos = image::kDataPos + 2 * k;
            const auto b = image::ReadField(line, pos);
            if (!b) {
                out.problem = NotHex(i, line, pos);
                return out;
            }
            rec.bytes.push_back(*b);
        }
        out.dataBytes += rec.bytes.size();
        out.records.push_back(std::move(rec));
    }
    ImageProblem p;
    p.line = lines.size();
    p.what = lines.empty() ? "the text is empty: there is no end record (:00000001FF)"
                           : "the text ends without an end record (:00000001FF)";
    out.problem = std::move(p);
    return out;
}

std::optional<std::string> RefusalText(const ScannedImage& scan, ImageUse use) {
    if (!scan.problem) return std::nullopt;
    switch (use) {
        case ImageUse::Write:
            return RefusalText(*scan.problem, "Write", "Nothing was programmed.");
        case ImageUse::Verify:
            return RefusalText(*scan.problem, "Verify", "Nothing was compared.");
        case ImageUse::ClearWriteVerify:
            break;
    }
    return RefusalText(*scan.problem, "Clear-Write-Verify", "The chip was not erased.");
}

std::string RefusalText(const ImageProblem& problem, const std::string& operation,
                        const std::string& nothingDone) {
    std::string where;
    if (problem.line > 0) {
        where = "line " + std::to_string(problem.line);
        if (problem.column > 0) where += ", column " + std::to_string(problem.column);
        where += ": ";
    }
    return operation + " refused: " + where + problem.what + ". " + nothingDone;
}

}  // namespace lpt51::chip
