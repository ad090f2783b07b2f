// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ViewText.h"

#include <QTextBlock>
#include <QTextCursor>

namespace lpt51::app {

image::Lines ViewLines(const QPlainTextEdit& view) {
    image::Lines lines;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
        lines.push_back(block.text().toStdString());
    }
    return lines;
}

void SetViewLines(QPlainTextEdit& view, const image::Lines& lines) {
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) text += QLatin1Char('\n');
        text += QString::fromStdString(lines[i]);
    }
    view.setPlainText(text);
}

void DeleteFirstViewLine(QPlainTextEdit& view) {
    QTextCursor cursor(view.document());
    cursor.movePosition(QTextCursor::Start);
    if (view.document()->blockCount() > 1) {
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    } else {
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    }
    cursor.removeSelectedText();
}

void AppendViewLine(QPlainTextEdit& view, const std::string& line) {
    // A cleared view still has its one empty line: the first line fills it.
    if (view.document()->isEmpty()) {
        view.setPlainText(QString::fromStdString(line));
    } else {
        view.appendPlainText(QString::fromStdString(line));
    }
}

}  // namespace lpt51::app
