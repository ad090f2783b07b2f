// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "chip/Prompts.h"

namespace lpt51::app {

// Everything the window asks of the user: the chip operations' messages and
// questions, plus the input box and the two file choices of the handlers.
class Dialogs : public Prompts {
  public:
    // A message with one more button beside OK, captioned `choice`; true
    // when the user presses it. OK stays the default.
    virtual bool offerChoice(const std::string& text, const std::string& choice) = 0;

    // The input box: the edit line's text on OK, `defaultText` on Cancel.
    virtual std::string inputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultText) = 0;

    // A file to open or to save to, or nothing when the user cancels.
    // `filter` is in Qt's syntax, e.g. " IntelHex File (*.hex)".
    virtual std::optional<std::string> chooseOpenFile(const std::string& filter,
                                                      const std::string& directory) = 0;
    virtual std::optional<std::string> chooseSaveFile(const std::string& filter,
                                                      const std::string& suggestedPath) = 0;
};

}  // namespace lpt51::app
