// SPDX-License-Identifier: GPL-3.0-or-later
// `lpt51 adapter-check`: the adapter check of the session, its guided stage
// asked on the terminal.
#include <unistd.h>

#include <iostream>
#include <istream>
#include <optional>
#include <string>

#include "chip/Devices.h"
#include "cli/CommandLine.h"
#include "cli/CommandRun.h"
#include "cli/Commands.h"
#include "session/AdapterCheck.h"

namespace lpt51::cli {

namespace {

std::string Trimmed(std::string s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The meter's reading typed by the user: 0, 5 or 12 (a "V" after it is
// taken), s to stop; end of input stops too.
class TerminalMeter final : public chip::Meter {
  public:
    TerminalMeter(std::istream& in, std::ostream& err) : in_(in), err_(err) {}

    std::optional<chip::Volts> read(const chip::Measurement& m) override {
        if (!introduced_) {
            err_ << "Guided stage: with the socket empty and the adapter powered, put the meter's "
                    "black lead on socket pin 20 (GND) and the red one on the pin named. Answer "
                    "0, 5 or 12 (volts), or s to stop.\n";
            introduced_ = true;
        }
        for (;;) {
            err_ << chip::MeasurementQuestion(m) << " [0/5/12/s] " << std::flush;
            std::string line;
            if (!std::getline(in_, line)) {
                err_ << '\n';
                return std::nullopt;
            }
            std::string word = Trimmed(line);
            if (!word.empty() && (word.back() == 'V' || word.back() == 'v')) word.pop_back();
            word = Trimmed(word);
            if (word == "0") return chip::Volts::Zero;
            if (word == "5") return chip::Volts::Five;
            if (word == "12") return chip::Volts::Twelve;
            if (word == "s" || word == "S" || word == "stop") return std::nullopt;
            err_ << "Please answer 0, 5, 12 or s.\n";
        }
    }

  private:
    std::istream& in_;
    std::ostream& err_;
    bool introduced_ = false;
};

// The questions asked on the terminal (y or n) when there is one and --yes
// was not given; otherwise as every command answers them.
class TerminalPrompts final : public Prompts {
  public:
    TerminalPrompts(CliPrompts& answered, std::istream& in, std::ostream& err, bool ask)
        : answered_(answered), in_(in), err_(err), ask_(ask) {}

    void showMessage(const std::string& text) override { answered_.showMessage(text); }
    Answer ask(QuestionKind kind, const std::string& text) override {
        if (!ask_) return answered_.ask(kind, text);
        err_ << TerminalText(text) << '\n';
        for (;;) {
            err_ << "[y/n] " << std::flush;
            std::string line;
            if (!std::getline(in_, line)) return Answer::No;
            const std::string word = Trimmed(line);
            if (word == "y" || word == "Y" || word == "yes") return Answer::Yes;
            if (word == "n" || word == "N" || word == "no") return Answer::No;
        }
    }

  private:
    CliPrompts& answered_;
    std::istream& in_;
    std::ostream& err_;
    bool ask_;
};

}  // namespace

int AdapterCheckCommand(CommandRun& run) {
    if (const int e = run.openPort(); e != kExitDone) return e;
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    TerminalMeter meter(std::cin, run.err);
    TerminalPrompts prompts(run.prompts, std::cin, run.err, terminal && !run.options.yes);
    session::AdapterCheckSetup setup;
    if (terminal) setup.meter = &meter;
    setup.noMeter =
        "skipped: standard input is not a terminal, so nobody can answer its measurements.";
    setup.device = run.options.device;
    setup.noDevice = "not run: it needs the device in the socket: --device 12v or --device 5v.";
    return run.operate(
        [&] { return session::AdapterCheck(run.session, prompts, run.view(), setup); });
}

}  // namespace lpt51::cli
