#include "app/ViewText.h"

#include <QTextBlock>
#include <QTextCursor>
#include <cerrno>
#include <cstring>
#include <fstream>

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
    view.appendPlainText(QString::fromStdString(line));
}

std::optional<std::string> ReadTextLines(const std::string& path, image::Lines& lines) {
    std::ifstream file(path);
    if (!file) return "Cannot open " + path + ": " + std::strerror(errno);
    image::Lines read;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        read.push_back(line);
    }
    if (file.bad()) return "Cannot read " + path + ": " + std::strerror(errno);
    lines = std::move(read);
    return std::nullopt;
}

std::optional<std::string> WriteTextLines(const std::string& path, const image::Lines& lines) {
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (!file) return "Cannot write " + path + ": " + std::strerror(errno);
    for (const std::string& line : lines) file << line << '\n';
    file.close();
    if (!file) return "Cannot write " + path + ": " + std::strerror(errno);
    return std::nullopt;
}

}  // namespace lpt51::app
