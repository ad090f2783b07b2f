// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>
#include <string>

#include "image/HexField.h"

namespace lpt51::app {

// The view's lines, one per block; a view holding nothing has one empty line.
image::Lines ViewLines(const QPlainTextEdit& view);
void SetViewLines(QPlainTextEdit& view, const image::Lines& lines);
void DeleteFirstViewLine(QPlainTextEdit& view);
void AppendViewLine(QPlainTextEdit& view, const std::string& line);

}  // namespace lpt51::app
