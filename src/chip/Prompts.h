// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lpt51 {

enum class QuestionKind { Information, Warning, Error };
enum class Answer { Yes, No };

// How chip operations and handlers talk to the user: the window answers with
// modal message boxes, the command line with its flags, tests with a script.
// Texts are passed exactly as the program builds them; a "\r" inside one is a
// line break for whoever shows it.
class Prompts {
  public:
    virtual ~Prompts() = default;

    // A plain message with an OK button.
    virtual void showMessage(const std::string& text) = 0;

    // A Yes/No question; Yes is the default and Escape answers No. The title
    // follows the kind: "Information", "Warning" or "Error".
    virtual Answer ask(QuestionKind kind, const std::string& text) = 0;
};

}  // namespace lpt51
