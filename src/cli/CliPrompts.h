// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>

#include "chip/Prompts.h"

namespace lpt51::cli {

// Chip texts on a terminal: each "\r" becomes a line break. Questions are
// answered from the command line: Yes with --yes, otherwise No, so nothing
// the user did not ask for happens unattended.
class CliPrompts final : public Prompts {
  public:
    CliPrompts(std::ostream& err, bool yes) : err_(err), yes_(yes) {}

    void showMessage(const std::string& text) override;
    Answer ask(QuestionKind kind, const std::string& text) override;

    // While a verify runs, its per-byte question is answered Yes without being
    // shown: the command line lists the differences itself.
    void setVerifying(bool on) { verifying_ = on; }

  private:
    std::ostream& err_;
    bool yes_;
    bool verifying_ = false;
};

// "a\rb" -> "a\nb".
std::string TerminalText(const std::string& text);

}  // namespace lpt51::cli
