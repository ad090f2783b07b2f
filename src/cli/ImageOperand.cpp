#include "cli/ImageOperand.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "chip/At89c51.h"
#include "chip/HexText.h"
#include "image/RecordWriter.h"
#include "image/TextFile.h"

namespace lpt51::cli {

bool IsStandardStream(const std::string& operand) {
    return operand == "-";
}

bool IsBinaryImage(const std::string& operand) {
    if (operand.size() < 4) return false;
    std::string tail = operand.substr(operand.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".bin";
}

std::string OperandName(const std::string& operand) {
    return IsStandardStream(operand) ? "standard input" : operand;
}

std::optional<std::string> LoadImageOperand(const std::string& operand, image::Lines& lines,
                                            const std::string& nothingDone) {
    if (IsStandardStream(operand)) return image::ReadLines(STDIN_FILENO, "standard input", lines);
    if (!IsBinaryImage(operand)) return image::LoadLines(operand, lines);
    std::string bytes;
    if (auto e = image::LoadBytes(operand, bytes)) return e;
    if (bytes.size() > chip::kCodeSize) {
        return operand + ": " + std::to_string(bytes.size()) + " bytes, more than the chip's " +
               std::to_string(chip::kCodeSize) + ". " + nothingDone;
    }
    lines = image::RenderBytes(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return std::nullopt;
}

std::optional<std::string> SaveReadOut(const std::string& operand, const chip::CodeBytes& bytes,
                                       std::ostream& out) {
    if (IsBinaryImage(operand)) {
        return image::SaveBytes(
            operand, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    const image::Lines lines = image::RenderImage(bytes);
    if (!IsStandardStream(operand)) return image::SaveLines(operand, lines);
    for (const std::string& line : lines) out << line << '\n';
    out.flush();
    if (!out) return std::string("Cannot write standard output");
    return std::nullopt;
}

bool ReportBlank(std::span<const std::uint8_t> bytes, std::ostream& out) {
    constexpr std::size_t kShown = 8;
    std::size_t count = 0;
    std::string first;
    for (std::size_t a = 0; a < bytes.size(); ++a) {
        if (bytes[a] == 0xFF) continue;
        if (count < kShown)
            first += " " + chip::Hex2(static_cast<unsigned>(a >> 8)) +
                     chip::Hex2(static_cast<unsigned>(a & 0xFF));
        ++count;
    }
    if (count == 0) {
        out << "The chip is blank: all " << bytes.size() << " bytes are FF.\n";
        return true;
    }
    out << "The chip is not blank: " << count << (count == 1 ? " byte is" : " bytes are")
        << " not FF, at" << first << (count > kShown ? " ..." : "") << '\n';
    return false;
}

}  // namespace lpt51::cli
