// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ImageOperand.h"

#include <unistd.h>

#include <cstring>

#include "chip/At89c51.h"
#include "chip/HexText.h"
#include "image/ImageFile.h"
#include "image/RecordWriter.h"
#include "image/TextFile.h"

namespace lpt51::cli {

bool IsStandardStream(const std::string& operand) {
    return operand == "-";
}

bool IsBinaryImage(const std::string& operand, ImageFormat format) {
    if (!IsStandardStream(operand)) {
        if (const std::optional<bool> raw = image::RawImageByName(operand)) return *raw;
    }
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
    if (auto e = image::RawImageLines(OperandName(operand), bytes, lines))
        return *e + " " + nothingDone;
    return std::nullopt;
}

namespace {

constexpr const char* kNothingRead = " Nothing was read.";

std::string ReadOutText(const chip::CodeBytes& bytes, bool binary) {
    if (binary) return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string text;
    for (const std::string& line : image::RenderImage(bytes)) text += line + '\n';
    return text;
}

std::string OutputFailure(const std::string& path, const file::OutputProblem& problem) {
    using Kind = file::OutputProblem::Kind;
    const std::string name = "\"" + path + "\"";
    switch (problem.kind) {
        case Kind::Exists:
            return path + " exists; give --force to replace it.";
        case Kind::DanglingLink:
            return path +
                   " is a symbolic link to a file that does not exist; give --force to "
                   "replace it.";
        case Kind::Loop:
            return path + " is a symbolic link that leads round in a loop.";
        case Kind::Dangerous:
            return path +
                   " is a block device or the machine's memory or ports; read writes only into "
                   "a file, a character device such as /dev/null, or a pipe.";
        case Kind::Replace:
            if (problem.replace.step == file::ReplaceProblem::Step::Create)
                return "Cannot create " + name + ": " + std::strerror(problem.error) + ".";
            break;
        case Kind::Directory:
        case Kind::Open:
        case Kind::Write:
            break;
    }
    return "Cannot write " + name + ": " + std::strerror(problem.error) + ".";
}

}  // namespace

std::optional<std::string> ReadOutput::open(const std::string& operand, ImageFormat format,
                                            bool force, std::ostream& err) {
    operand_ = operand;
    binary_ = IsBinaryImage(operand, format);
    if (IsStandardStream(operand)) return std::nullopt;
    const std::size_t size = ReadOutText(chip::CodeBytes{}, binary_).size();
    const auto waiting = [&] {
        err << "lpt51: waiting for a reader on " << operand << '\n' << std::flush;
    };
    if (auto problem = file::Output::open(operand, force, size, waiting, file_))
        return OutputFailure(operand, *problem) + kNothingRead;
    return std::nullopt;
}

std::optional<std::string> ReadOutput::save(const chip::CodeBytes& bytes, std::ostream& out) {
    const std::string text = ReadOutText(bytes, binary_);
    if (IsStandardStream(operand_)) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) return std::string("Cannot write standard output");
        return std::nullopt;
    }
    if (auto problem = file_.write(text)) return OutputFailure(operand_, *problem);
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
