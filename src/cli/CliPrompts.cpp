// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliPrompts.h"

namespace lpt51::cli {

std::string TerminalText(const std::string& text) {
    std::string s = text;
    for (char& c : s) {
        if (c == '\r') c = '\n';
    }
    return s;
}

void CliPrompts::showMessage(const std::string& text) {
    err_ << TerminalText(text) << '\n';
}

Answer CliPrompts::ask(QuestionKind kind, const std::string& text) {
    if (verifying_ && kind == QuestionKind::Error) return Answer::Yes;
    const char* title = kind == QuestionKind::Information ? "Information"
                        : kind == QuestionKind::Warning   ? "Warning"
                                                          : "Error";
    err_ << title << ": " << TerminalText(text) << '\n'
         << (yes_ ? "  -> Yes (--yes given)" : "  -> No (give --yes to answer Yes)") << '\n';
    return yes_ ? Answer::Yes : Answer::No;
}

}  // namespace lpt51::cli
