#pragma once

#include <QPlainTextEdit>
#include <optional>
#include <string>

#include "image/HexField.h"

namespace lpt51::app {

// The view's lines, one per block; a view holding nothing has one empty line.
image::Lines ViewLines(const QPlainTextEdit& view);
void SetViewLines(QPlainTextEdit& view, const image::Lines& lines);
void DeleteFirstViewLine(QPlainTextEdit& view);
void AppendViewLine(QPlainTextEdit& view, const std::string& line);

// Reads a text file line by line, or says which file failed and why.
std::optional<std::string> ReadTextLines(const std::string& path, image::Lines& lines);
// Writes each line followed by a line break, replacing the file.
std::optional<std::string> WriteTextLines(const std::string& path, const image::Lines& lines);

}  // namespace lpt51::app
