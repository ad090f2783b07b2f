// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/TextFile.h"

#include <cerrno>
#include <cstring>

#include "file/ReadFile.h"
#include "file/ReplaceFile.h"
#include "file/Stream.h"

namespace lpt51::image {
namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string Failure(const char* what, const std::string& path, int err) {
    return std::string(what) + " " + Quoted(path) + ": " + std::strerror(err);
}

std::string ReadFailure(const std::string& path, const file::ReadProblem& problem) {
    switch (problem.kind) {
        case file::ReadProblem::Kind::Open:
            return Failure("Cannot open", path, problem.error);
        case file::ReadProblem::Kind::Read:
            return Failure("Cannot read", path, problem.error);
        case file::ReadProblem::Kind::NotRegular:
            if (problem.error != 0) return Failure("Cannot open", path, problem.error);
            return "Cannot open " + Quoted(path) + ": not a regular file";
        case file::ReadProblem::Kind::TooLarge:
            break;
    }
    return "Cannot open " + Quoted(path) + ": file is larger than 64 MiB";
}

std::string JoinLines(const Lines& lines) {
    std::string data;
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 1;
    data.reserve(size);
    for (const auto& line : lines) {
        data += line;
        data += '\n';
    }
    return data;
}

}  // namespace

std::optional<std::string> TextToLines(const std::string& path, const std::string& text,
                                       Lines& lines) {
    if (text.find('\0') != std::string::npos)
        return "Cannot open " + Quoted(path) + ": not a text file (it contains NUL bytes)";
    lines = SplitLines(text);
    return std::nullopt;
}

std::optional<std::string> LoadStreamBytes(const std::string& path, std::string& bytes,
                                           const std::function<void()>& waiting) {
    if (auto problem = file::ReadFileOrStream(path, kMaxTextFileBytes, bytes, waiting)) {
        return ReadFailure(path, *problem);
    }
    return std::nullopt;
}

std::optional<std::string> LoadLines(const std::string& path, Lines& lines) {
    std::string text;
    if (auto error = LoadBytes(path, text)) return error;
    return TextToLines(path, text, lines);
}

std::optional<std::string> ReadLines(int fd, const std::string& name, Lines& lines) {
    std::string text;
    if (auto problem = file::ReadToEnd(fd, kMaxTextFileBytes, text)) {
        return ReadFailure(name, *problem);
    }
    return TextToLines(name, text, lines);
}

std::optional<std::string> ReadBytes(int fd, const std::string& name, std::string& bytes) {
    if (auto problem = file::ReadToEnd(fd, kMaxTextFileBytes, bytes)) {
        return ReadFailure(name, *problem);
    }
    return std::nullopt;
}

std::optional<std::string> LoadBytes(const std::string& path, std::string& bytes) {
    if (auto problem = file::ReadRegularFile(path, kMaxTextFileBytes, bytes)) {
        return ReadFailure(path, *problem);
    }
    return std::nullopt;
}

std::optional<std::string> SaveLines(const std::string& path, const Lines& lines) {
    return SaveBytes(path, JoinLines(lines));
}

std::optional<std::string> CheckSavable(const std::string& path) {
    const auto problem = file::CheckReplaceable(path);
    if (!problem) return std::nullopt;
    const bool created = problem->step == file::ReplaceProblem::Step::Create;
    return Failure(created ? "Cannot create" : "Cannot write", path, problem->error);
}

std::optional<std::string> WriteStreamLines(const std::string& path, const Lines& lines) {
    return WriteStreamBytes(path, JoinLines(lines));
}

std::optional<std::string> WriteStreamBytes(const std::string& path, std::string_view bytes) {
    if (const int error = file::WriteStream(path, bytes); error != 0)
        return Failure("Cannot write", path, error);
    return std::nullopt;
}

std::optional<std::string> SaveBytes(const std::string& path, std::string_view data) {
    const auto problem = file::ReplaceFile(path, data);
    if (!problem) return std::nullopt;
    const bool created = problem->step == file::ReplaceProblem::Step::Create;
    return Failure(created ? "Cannot create" : "Cannot write", path, problem->error);
}

}  // namespace lpt51::image
