// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>

#include "app/QtDialogs.h"
#include "chip/Prompts.h"

namespace lpt51::app {

// The window's boxes until a termination signal arrives; from then on the
// program is ending and nobody may be there to close a box, so messages go
// to stderr and every question is answered No.
class EndingPrompts final : public Prompts {
  public:
    EndingPrompts(Prompts& boxes, const int& signalled) : boxes_(boxes), signalled_(signalled) {}

    void showMessage(const std::string& text) override {
        if (signalled_ == 0) return boxes_.showMessage(text);
        std::fprintf(stderr, "lpt51: %s\n", DisplayText(text).toLocal8Bit().constData());
    }
    Answer ask(QuestionKind kind, const std::string& text) override {
        if (signalled_ == 0) return boxes_.ask(kind, text);
        showMessage(text + " No (the program is ending).");
        return Answer::No;
    }

  private:
    Prompts& boxes_;
    const int& signalled_;
};

}  // namespace lpt51::app
