#include "cli/ImageOperand.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "chip/At89c51.h"
#include "chip/HexText.h"
#include "file/Stream.h"
#include "image/RecordWriter.h"
#include "image/TextFile.h"

namespace lpt51::cli {

bool IsStandardStream(const std::string& operand) {
    return operand == "-";
}

namespace {

std::string Extension(const std::string& operand) {
    const auto dot = operand.find_last_of("./");
    if (dot == std::string::npos || operand[dot] != '.') return {};
    std::string tail = operand.substr(dot);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail;
}

}  // namespace

bool IsBinaryImage(const std::string& operand, ImageFormat format) {
    const std::string extension = IsStandardStream(operand) ? std::string() : Extension(operand);
    if (extension == ".bin") return true;
    if (extension == ".hex" || extension == ".ihx") return false;
    return format == ImageFormat::Bin;
}

std::string OperandName(const std::string& operand) {
    return IsStandardStream(operand) ? "standard input" : operand;
}

std::optional<std::string> LoadImageOperand(const std::string& operand, ImageFormat format,
                                            image::Lines& lines, const std::string& nothingDone,
                                            const std::function<void()>& waiting) {
    std::string bytes;
    if (IsStandardStream(operand)) {
        if (auto e = image::ReadBytes(STDIN_FILENO, "standard input", bytes)) return e;
    } else if (auto e = image::LoadStreamBytes(operand, bytes, waiting)) {
        return e;
    }
    if (!IsBinaryImage(operand, format))
        return image::TextToLines(OperandName(operand), bytes, lines);
    if (bytes.size() > chip::kCodeSize) {
        return OperandName(operand) + ": " + std::to_string(bytes.size()) +
               " bytes, more than the chip's " + std::to_string(chip::kCodeSize) + ". " +
               nothingDone;
    }
    lines = image::RenderBytes(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return std::nullopt;
}

std::optional<std::string> SaveReadOut(const std::string& operand, ImageFormat format,
                                       const chip::CodeBytes& bytes, std::ostream& out) {
    const bool binary = IsBinaryImage(operand, format);
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (IsStandardStream(operand)) {
        if (binary) {
            out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
        } else {
            for (const std::string& line : image::RenderImage(bytes)) out << line << '\n';
        }
        out.flush();
        if (!out) return std::string("Cannot write standard output");
        return std::nullopt;
    }
    if (file::IsOutputStream(operand)) {
        return binary ? image::WriteStreamBytes(operand, raw)
                      : image::WriteStreamLines(operand, image::RenderImage(bytes));
    }
    return binary ? image::SaveBytes(operand, raw)
                  : image::SaveLines(operand, image::RenderImage(bytes));
}

std::optional<std::string> ReadOutTargetProblem(const std::string& operand) {
    if (IsStandardStream(operand) || file::IsOutputStream(operand)) return std::nullopt;
    if (auto e = image::CheckSavable(operand)) return *e + ". Nothing was read.";
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
