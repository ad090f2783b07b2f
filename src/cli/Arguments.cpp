// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "cli/LockBits.h"

namespace lpt51::cli {

namespace {

using namespace std::string_literals;

constexpr const char* kFileNote =
    "FILE is Intel HEX text; a name ending in .bin is a raw image of at most 4096 bytes from "
    "address 0 (read writes all 4096). FILE - is standard input, or standard output for read.";

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0    done\n"
    "  1    operation failed or refused (a difference, the device check, a bad file, a chip "
    "that is not blank, an empty socket, a fault the virtual adapter noticed)\n"
    "  2    usage error\n"
    "  3    port cannot be used (not opened, or it cannot read the chip), or the virtual "
    "chip (its state file, or another program has it)\n"
    "  130  interrupted by Ctrl-C; 143 by SIGTERM, 129 by SIGHUP (the port is left at rest)";

// Optimal string alignment distance: a swapped pair of letters counts once.
// Three rows are enough: a swap looks back two.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, row);
    }
    return previous[b.size()];
}

std::string WithSuggestion(std::string text, const std::string& word,
                           const std::vector<std::string>& candidates) {
    const std::string closest = ClosestWord(word, candidates);
    if (!closest.empty()) text += "; did you mean '" + closest + "'?";
    return text;
}

std::string MissingValue(const std::string& option) {
    return option == "--device" ? "--device needs a value (12v or 5v)" : option + ": missing value";
}

// CLI11 says "--port: 1 required TEXT missing"; the program keeps its own words.
std::string MissingValueText(const std::string& cliText) {
    const std::string option = cliText.substr(0, cliText.find(':'));
    return option.rfind("--", 0) == 0 ? MissingValue(option) : cliText;
}

std::string DeviceNamed(const std::string& word) {
    if (word == "12v") return chip::kDevice12V;
    if (word == "5v") return chip::kDevice5V;
    throw UsageError{"--device: unknown device '" + word + "' (use 12v or 5v)"};
}

bool LooksLikeFile(const std::string& word) {
    std::error_code ec;
    if (std::filesystem::exists(word, ec)) return true;
    std::string tail = std::filesystem::path(word).extension().string();
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".hex" || tail == ".ihx" || tail == ".bin";
}

// The options that take one word, each checked once the line is parsed.
struct WordOption {
    const char* names;
    const char* words;
    const char* help;
};
constexpr WordOption kWordOptions[] = {
    {"-d,--device", "12v|5v", "the device in the socket (needed by erase, write, lock, cwv)"},
    {"--timing", "standard|datasheet",
     "standard (the default) or datasheet: every wait from the chip's own limits, for a 3 "
     "to 24 MHz crystal and a short cable"},
    {"--format", "hex|bin",
     "what FILE holds when its name does not end in .hex, .ihx or .bin, and what - holds "
     "(default hex)"},
};
enum WordOptionIndex { kDevice, kTiming, kFormat };

}  // namespace

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const Command& c : Commands()) names.emplace_back(c.name);
    return names;
}

std::string ClosestWord(const std::string& word, const std::vector<std::string>& candidates) {
    // Close means at most a third of the word changed, and never all of it.
    const std::size_t allowed = std::max<std::size_t>(1, word.size() / 3);
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& c : candidates) {
        // The lengths alone may put it further off than allowed.
        const std::size_t longer = std::max(word.size(), c.size());
        if (longer - std::min(word.size(), c.size()) > allowed) continue;
        const std::size_t d = Distance(word, c);
        if (best.empty() || d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    if (best.empty() || bestDistance > allowed || bestDistance >= word.size()) return {};
    return best;
}

struct ArgumentParser::Parts {
    explicit Parts(CommandNeeded needed);
    Options read(const std::vector<std::string>& args);
    void forget();
    // The steps of read(): false when the words asked for help or the
    // version (o is complete then); the words no option or command took;
    // the values checked into o; the command chosen and its operand.
    bool parseWords(const std::vector<std::string>& args);
    std::vector<std::string> extraWords(CLI::App* command) const;
    void applyValues();
    Options chooseCommand(CLI::App* command, const std::vector<std::string>& extras);

    bool windowAllowed;
    CLI::App app;
    Options o;  // the flags write into it
    std::vector<std::string> backendValues;
    std::vector<CLI::Option*> backendOptions;
    std::string wordValues[std::size(kWordOptions)];
    CLI::Option* wordOptions[std::size(kWordOptions)] = {};
    std::vector<std::string> operands;  // one for each command
    std::vector<CLI::App*> subcommands;
    std::vector<std::string> longNames;  // "--port", for suggestions
};

ArgumentParser::Parts::Parts(CommandNeeded needed)
    : windowAllowed(needed == CommandNeeded::NoWindowInstead),
      app(windowAllowed ? "Programs AT89C51 microcontrollers through a passive adapter on "
                          "the parallel port. Without a COMMAND the window opens, with the Intel "
                          "HEX file if one is named (lpt51 [OPTIONS] FILE.hex)."
                        : "Programs AT89C51 microcontrollers through a passive adapter on "
                          "the parallel port.",
          "lpt51") {
    auto format = std::make_shared<CLI::Formatter>();
    format->label("SUBCOMMAND", "COMMAND");
    format->column_width(26);
    app.formatter(format);
    app.set_help_flag("-h,--help", "this text; COMMAND --help for one command");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.allow_extras();
    app.fallthrough();
    app.require_subcommand(0, 1);
    app.footer(std::string(kFileNote) + "\n\n" + kExitCodes);

    const auto backendList = BackendOptionList();
    backendValues.resize(backendList.size());
    for (std::size_t i = 0; i < backendList.size(); ++i) {
        // -P as other programmers' command lines name the port.
        const std::string name(backendList[i].name);
        backendOptions.push_back(app.add_option(name == "--port" ? "-P," + name : name,
                                                backendValues[i], std::string(backendList[i].help))
                                     ->type_name(std::string(backendList[i].valueName)));
    }
    for (std::size_t i = 0; i < std::size(kWordOptions); ++i) {
        wordOptions[i] = app.add_option(kWordOptions[i].names, wordValues[i], kWordOptions[i].help)
                             ->type_name(kWordOptions[i].words);
    }
    app.add_flag("-y,--yes", o.yes, "answer Yes to the signature and device questions");
    app.add_flag("-f,--force", o.force, "let read replace an existing regular FILE");
    app.add_flag("-q,--quiet", o.quiet, "no progress display");
    app.add_flag("--no-verify", o.noVerify, "let write skip reading back what it programmed");
    app.add_flag("-v,--verbose", o.verbose, "say on stderr what is done at each stage");
    if (windowAllowed) {
        app.add_option("--screenshot", o.screenshot, "open the window, save it as a PNG, quit")
            ->type_name("FILE.png");
    }
    app.add_flag("--version", o.version, "print the version and exit");

    const std::span<const Command> commands = Commands();
    operands.resize(commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const Command& c = commands[i];
        CLI::App* sub = app.add_subcommand(c.name, c.help);
        subcommands.push_back(sub);
        sub->group("Commands");
        sub->set_help_flag("-h,--help", "this text");
        sub->allow_extras();
        sub->footer(std::string(c.operand != nullptr && std::string(c.operand) == "FILE"
                                    ? std::string(kFileNote) + "\n\n"
                                    : std::string()) +
                    "The options of lpt51 --help go before or after the command.");
        if (c.operand != nullptr) {
            sub->add_option(c.operand, operands[i],
                            std::string(c.operand) == "BITS"
                                ? "the lock bits: 1, 2 or 3, or several separated by commas"
                                : "the image file, - for standard "s +
                                      (c.operation == nullptr ? "output" : "input"))
                ->type_name("");
        }
    }
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) longNames.push_back("--" + name);
    }
}

ArgumentParser::ArgumentParser(CommandNeeded needed) : parts_(std::make_unique<Parts>(needed)) {}

ArgumentParser::~ArgumentParser() = default;

Options ParseArguments(const std::vector<std::string>& args, CommandNeeded needed) {
    return ArgumentParser(needed).parse(args);
}

Options ArgumentParser::parse(const std::vector<std::string>& args) {
    const struct Forget {
        Parts& parts;
        ~Forget() { parts.forget(); }
    } forget{*parts_};
    return parts_->read(args);
}

void ArgumentParser::Parts::forget() {
    // CLI11 sets a bound value only when its option is given. Nothing is
    // kept, not even room: a line then holds no memory past its reading.
    o = Options{};
    for (std::string& value : backendValues) std::string().swap(value);
    for (std::string& value : wordValues) std::string().swap(value);
    for (std::string& operand : operands) std::string().swap(operand);
    app.clear();
}

Options ArgumentParser::Parts::read(const std::vector<std::string>& args) {
    if (!parseWords(args)) return o;
    const auto chosen = app.get_subcommands();
    CLI::App* command = chosen.empty() ? nullptr : chosen.front();
    const std::vector<std::string> extras = extraWords(command);
    applyValues();
    return chooseCommand(command, extras);
}

bool ArgumentParser::Parts::parseWords(const std::vector<std::string>& args) {
    // CLI11 takes the words without the program name, last word first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        o.help = true;
        const auto chosen = app.get_subcommands();
        o.helpText = chosen.empty() ? app.help() : chosen.front()->help("lpt51");
        return false;
    } catch (const CLI::ArgumentMismatch& e) {
        throw UsageError{MissingValueText(e.what())};
    } catch (const CLI::ParseError& e) {
        throw UsageError{e.what()};
    }
    return !o.version;
}

std::vector<std::string> ArgumentParser::Parts::extraWords(CLI::App* command) const {
    // Words nobody took. CLI11 keeps a "--" among them; what follows it is
    // never an option.
    std::vector<std::string> extras;
    const auto collect = [&](const std::vector<std::string>& words) {
        bool ended = false;
        for (const std::string& word : words) {
            if (word == "--" && !ended) {
                ended = true;
                continue;
            }
            if (!ended && word.size() > 1 && word[0] == '-') {
                throw UsageError{WithSuggestion("unknown option '" + word + "'",
                                                word.substr(0, word.find('=')), longNames)};
            }
            extras.push_back(word);
        }
    };
    collect(app.remaining());
    if (command != nullptr) collect(command->remaining());
    return extras;
}

namespace {

// CLI11 gives a value-taking option the next word even when that is an
// option; the program never took one as a value.
void TakeValue(const std::string& option, const std::string& value) {
    if (value.rfind("--", 0) == 0) throw UsageError{MissingValue(option)};
}

chip::TimingKind TimingNamed(const std::string& timing) {
    if (timing == chip::kStandardTiming.name) return chip::TimingKind::Standard;
    if (timing == chip::kDatasheetTiming.name) return chip::TimingKind::Datasheet;
    throw UsageError{"--timing: unknown timing '" + timing + "' (use standard or datasheet)"};
}

}  // namespace

void ArgumentParser::Parts::applyValues() {
    const auto backendList = BackendOptionList();
    for (std::size_t i = 0; i < backendOptions.size(); ++i) {
        if (backendOptions[i]->count() == 0) continue;
        TakeValue(std::string(backendList[i].name), backendValues[i]);
        if (auto e =
                ApplyBackendOption(std::string(backendList[i].name), backendValues[i], o.backend))
            throw UsageError{*e};
    }
    if (wordOptions[kDevice]->count() > 0) {
        TakeValue("--device", wordValues[kDevice]);
        o.device = DeviceNamed(wordValues[kDevice]);
    }
    if (wordOptions[kTiming]->count() > 0) {
        TakeValue("--timing", wordValues[kTiming]);
        o.timing = TimingNamed(wordValues[kTiming]);
        o.timingGiven = true;
    }
    if (wordOptions[kFormat]->count() > 0) {
        const std::string& imageFormat = wordValues[kFormat];
        TakeValue("--format", imageFormat);
        if (imageFormat != "hex" && imageFormat != "bin")
            throw UsageError{"--format: unknown format '" + imageFormat + "' (use hex or bin)"};
        o.format = imageFormat == "bin" ? ImageFormat::Bin : ImageFormat::Hex;
    }
}

Options ArgumentParser::Parts::chooseCommand(CLI::App* command,
                                             const std::vector<std::string>& extras) {
    if (command == nullptr) {
        // The window takes one word of its own, a file to open, but only a
        // word that looks like one: any other is a mistyped command.
        const bool forWindow = windowAllowed && extras.size() == 1 && LooksLikeFile(extras.front());
        if (!extras.empty() && !forWindow) {
            throw UsageError{WithSuggestion("unknown command '" + extras.front() + "'",
                                            extras.front(), CommandNames())};
        }
        if (!windowAllowed) throw UsageError{"no command given"};
        o.operands = extras;
        return o;
    }
    std::size_t index = 0;
    while (subcommands[index] != command) ++index;
    const Command& chosenCommand = Commands()[index];
    o.command = &chosenCommand;
    const bool bits =
        chosenCommand.operand != nullptr && std::string(chosenCommand.operand) == "BITS";
    if (chosenCommand.operand != nullptr) {
        if (command->get_option(chosenCommand.operand)->count() == 0) {
            throw UsageError{
                "'" + command->get_name() + "' needs " +
                (bits ? std::string("the lock bits, e.g. 1,2,3") : std::string("a FILE"))};
        }
        o.operands.push_back(operands[index]);
    }
    if (!extras.empty()) throw UsageError{"unexpected argument '" + extras.front() + "'"};
    // The window asks for a device in its menu; here it is an option.
    if (chosenCommand.changesChip && o.device == chip::kNoSelect) {
        throw UsageError{"'" + command->get_name() +
                         "' needs the device in the socket: --device 12v or --device 5v"};
    }
    if (!o.screenshot.empty()) throw UsageError{"--screenshot is for the window, not a command"};
    if (bits) {
        const std::optional<chip::LockSelection> lockBits = ParseLockBits(o.operands[0]);
        if (!lockBits)
            throw UsageError{"lock: bits must be 1, 2 or 3 separated by commas, e.g. 1,2,3"};
        o.lockBits = *lockBits;
    }
    return o;
}

}  // namespace lpt51::cli
