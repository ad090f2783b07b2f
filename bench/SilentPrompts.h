#pragma once

#include <cstdio>
#include <string>

#include "chip/Prompts.h"

namespace lpt51::bench {

// Messages go nowhere; a question would mean the run is not what the
// benchmark meant to time, so it is shown and answered Yes.
class SilentPrompts final : public Prompts {
  public:
    void showMessage(const std::string&) override {}
    Answer ask(QuestionKind, const std::string& text) override {
        std::fprintf(stderr, "unexpected question: %s\n", text.c_str());
        return Answer::Yes;
    }
};

}  // namespace lpt51::bench
