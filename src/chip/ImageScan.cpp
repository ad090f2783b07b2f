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

}  // namespace

ScannedImage ScanImage(const image::Lines& lines) {
    ScannedImage out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        WalkRecord rec;
        rec.lineIndex = i;
        // The count and address-high fields are compared as text first, as the
        // walks do: "00" "00" ends the image whatever follows.
        if (image::FieldText(line, image::kCountPos) == "00") {
            if (image::FieldText(line, image::kAddrHighPos) == "00") {
                out.endLine = i;
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
        if (image::FieldText(line, image::kTypePos) != "00") {
            out.records.push_back(std::move(rec));  // other record types program nothing
            continue;
        }
        const std::uint32_t start = (std::uint32_t{*high} << 8) | *low;
        if (start + *count > kCodeSize) {
            ImageProblem p;
            p.line = i + 1;
            p.what = "the record at address " + Hex2(*high) + Hex2(*low) +
                     (start >= kCodeSize ? " lies beyond" : " runs past") + " " +
                     Hex2((kCodeSize - 1) >> 8) + Hex2(kCodeSize - 1) + ", the chip's last address";
            out.problem = std::move(p);
            return out;
        }
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
