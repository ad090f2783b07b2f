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
    "that is not blank, a fault the virtual adapter noticed)\n"
    "  2    usage error\n"
    "  3    port cannot be used (not opened, or it cannot read the chip)\n"
    "  130  interrupted by Ctrl-C; 143 by SIGTERM, 129 by SIGHUP (the port is left at rest)";

// Optimal string alignment distance: a swapped pair of letters counts once.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
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

}  // namespace

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const Command& c : Commands()) names.emplace_back(c.name);
    return names;
}

std::string ClosestWord(const std::string& word, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& c : candidates) {
        const std::size_t d = Distance(word, c);
        if (best.empty() || d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    // Close means at most a third of the word changed, and never all of it.
    const std::size_t allowed = std::max<std::size_t>(1, word.size() / 3);
    if (best.empty() || bestDistance > allowed || bestDistance >= word.size()) return {};
    return best;
}

namespace {

// The words of one command line, read in steps: the options and commands
// declared, the words parsed, the values checked, the command chosen.
class Parser {
  public:
    explicit Parser(CommandNeeded needed)
        : windowAllowed_(needed == CommandNeeded::NoWindowInstead),
          app_(windowAllowed_ ? "Programs AT89C51 microcontrollers through a passive adapter on "
                                "the parallel port. Without a COMMAND the window opens, with the "
                                "Intel HEX file if one is named (lpt51 [OPTIONS] FILE.hex)."
                              : "Programs AT89C51 microcontrollers through a passive adapter on "
                                "the parallel port.",
               "lpt51") {}

    Options parse(const std::vector<std::string>& args);

  private:
    // The options that take one word, each checked once the line is parsed.
    struct WordOption {
        const char* names;
        const char* words;
        const char* help;
    };
    static constexpr WordOption kWordOptions[] = {
        {"-d,--device", "12v|5v", "the device in the socket (needed by erase, write, lock, cwv)"},
        {"--timing", "standard|datasheet",
         "standard (the default) or datasheet: every wait from the chip's own limits, for a 3 "
         "to 24 MHz crystal and a short cable"},
        {"--format", "hex|bin",
         "what FILE holds when its name does not end in .hex, .ihx or .bin, and what - holds "
         "(default hex)"},
    };
    enum Word { kDevice, kTiming, kFormat };

    void declareOptions();
    void declareCommands();
    // False when the words asked for help or the version: o_ is complete.
    bool parseWords(const std::vector<std::string>& args);
    std::vector<std::string> extraWords() const;
    void applyValues();
    void applyTiming(const std::string& timing);
    Options chooseCommand(const std::vector<std::string>& extras);

    bool windowAllowed_;
    CLI::App app_;
    Options o_;
    std::span<const BackendOptionInfo> backendList_ = BackendOptionList();
    std::vector<std::string> backendValues_ = std::vector<std::string>(backendList_.size());
    std::vector<CLI::Option*> backendOptions_;
    std::string wordValues_[std::size(kWordOptions)];
    CLI::Option* wordOptions_[std::size(kWordOptions)] = {};
    std::span<const Command> commands_ = Commands();
    std::vector<std::string> operands_ = std::vector<std::string>(commands_.size());
    std::vector<CLI::App*> subcommands_;
};

void Parser::declareOptions() {
    auto format = std::make_shared<CLI::Formatter>();
    format->label("SUBCOMMAND", "COMMAND");
    format->column_width(26);
    app_.formatter(format);
    app_.set_help_flag("-h,--help", "this text; COMMAND --help for one command");
    app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app_.allow_extras();
    app_.fallthrough();
    app_.require_subcommand(0, 1);
    app_.footer(std::string(kFileNote) + "\n\n" + kExitCodes);

    for (std::size_t i = 0; i < backendList_.size(); ++i) {
        // -P as other programmers' command lines name the port.
        const std::string name(backendList_[i].name);
        backendOptions_.push_back(app_.add_option(name == "--port" ? "-P," + name : name,
                                                  backendValues_[i],
                                                  std::string(backendList_[i].help))
                                      ->type_name(std::string(backendList_[i].valueName)));
    }
    for (std::size_t i = 0; i < std::size(kWordOptions); ++i) {
        wordOptions_[i] =
            app_.add_option(kWordOptions[i].names, wordValues_[i], kWordOptions[i].help)
                ->type_name(kWordOptions[i].words);
    }
    app_.add_flag("-y,--yes", o_.yes, "answer Yes to the signature and device questions");
    app_.add_flag("-f,--force", o_.force, "let read replace an existing FILE");
    app_.add_flag("-q,--quiet", o_.quiet, "no progress display");
    app_.add_flag("--no-verify", o_.noVerify, "let write skip reading back what it programmed");
    app_.add_flag("-v,--verbose", o_.verbose, "say on stderr what is done at each stage");
    if (windowAllowed_) {
        app_.add_option("--screenshot", o_.screenshot, "open the window, save it as a PNG, quit")
            ->type_name("FILE.png");
    }
    app_.add_flag("--version", o_.version, "print the version and exit");
}

void Parser::declareCommands() {
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        const Command& c = commands_[i];
        CLI::App* sub = app_.add_subcommand(c.name, c.help);
        subcommands_.push_back(sub);
        sub->group("Commands");
        sub->set_help_flag("-h,--help", "this text");
        sub->allow_extras();
        const bool file = c.operand != nullptr && std::string(c.operand) == "FILE";
        sub->footer((file ? std::string(kFileNote) + "\n\n" : std::string()) +
                    "The options of lpt51 --help go before or after the command.");
        if (c.operand != nullptr) {
            sub->add_option(c.operand, operands_[i],
                            std::string(c.operand) == "BITS"
                                ? "the lock bits: 1, 2 or 3, or several separated by commas"
                                : "the image file, - for standard "s +
                                      (c.operation == nullptr ? "output" : "input"))
                ->type_name("");
        }
    }
}

bool Parser::parseWords(const std::vector<std::string>& args) {
    // CLI11 takes the words without the program name, last word first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        o_.help = true;
        const auto chosen = app_.get_subcommands();
        o_.helpText = chosen.empty() ? app_.help() : chosen.front()->help("lpt51");
        return false;
    } catch (const CLI::ArgumentMismatch& e) {
        throw UsageError{MissingValueText(e.what())};
    } catch (const CLI::ParseError& e) {
        throw UsageError{e.what()};
    }
    return !o_.version;
}

// Words nobody took. CLI11 keeps a "--" among them; what follows it is
// never an option.
std::vector<std::string> Parser::extraWords() const {
    std::vector<std::string> longNames;
    for (const CLI::Option* option : app_.get_options()) {
        for (const std::string& name : option->get_lnames()) longNames.push_back("--" + name);
    }
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
    collect(app_.remaining());
    const auto chosen = app_.get_subcommands();
    if (!chosen.empty()) collect(chosen.front()->remaining());
    return extras;
}

// CLI11 gives a value-taking option the next word even when that is an
// option; the program never took one as a value.
void TakeValue(const std::string& option, const std::string& value) {
    if (value.rfind("--", 0) == 0) throw UsageError{MissingValue(option)};
}

void Parser::applyValues() {
    for (std::size_t i = 0; i < backendOptions_.size(); ++i) {
        if (backendOptions_[i]->count() == 0) continue;
        const std::string name(backendList_[i].name);
        TakeValue(name, backendValues_[i]);
        if (auto e = ApplyBackendOption(name, backendValues_[i], o_.backend)) throw UsageError{*e};
    }
    if (wordOptions_[kDevice]->count() > 0) {
        TakeValue("--device", wordValues_[kDevice]);
        o_.device = DeviceNamed(wordValues_[kDevice]);
    }
    if (wordOptions_[kTiming]->count() > 0) applyTiming(wordValues_[kTiming]);
    if (wordOptions_[kFormat]->count() > 0) {
        const std::string& imageFormat = wordValues_[kFormat];
        TakeValue("--format", imageFormat);
        if (imageFormat != "hex" && imageFormat != "bin")
            throw UsageError{"--format: unknown format '" + imageFormat + "' (use hex or bin)"};
        o_.format = imageFormat == "bin" ? ImageFormat::Bin : ImageFormat::Hex;
    }
}

void Parser::applyTiming(const std::string& timing) {
    TakeValue("--timing", timing);
    if (timing == chip::kStandardTiming.name) {
        o_.timing = chip::TimingKind::Standard;
    } else if (timing == chip::kDatasheetTiming.name) {
        o_.timing = chip::TimingKind::Datasheet;
    } else {
        throw UsageError{"--timing: unknown timing '" + timing + "' (use standard or datasheet)"};
    }
    o_.timingGiven = true;
}

Options Parser::chooseCommand(const std::vector<std::string>& extras) {
    const auto chosen = app_.get_subcommands();
    if (chosen.empty()) {
        // The window takes one word of its own, a file to open, but only a
        // word that looks like one: any other is a mistyped command.
        const bool forWindow =
            windowAllowed_ && extras.size() == 1 && LooksLikeFile(extras.front());
        if (!extras.empty() && !forWindow) {
            throw UsageError{WithSuggestion("unknown command '" + extras.front() + "'",
                                            extras.front(), CommandNames())};
        }
        if (!windowAllowed_) throw UsageError{"no command given"};
        o_.operands = extras;
        return o_;
    }
    CLI::App* command = chosen.front();
    std::size_t index = 0;
    while (subcommands_[index] != command) ++index;
    const Command& chosenCommand = commands_[index];
    o_.command = &chosenCommand;
    const bool bits =
        chosenCommand.operand != nullptr && std::string(chosenCommand.operand) == "BITS";
    if (chosenCommand.operand != nullptr) {
        if (command->get_option(chosenCommand.operand)->count() == 0) {
            throw UsageError{
                "'" + command->get_name() + "' needs " +
                (bits ? std::string("the lock bits, e.g. 1,2,3") : std::string("a FILE"))};
        }
        o_.operands.push_back(operands_[index]);
    }
    if (!extras.empty()) throw UsageError{"unexpected argument '" + extras.front() + "'"};
    // The window asks for a device in its menu; here it is an option.
    if (chosenCommand.changesChip && o_.device == chip::kNoSelect) {
        throw UsageError{"'" + command->get_name() +
                         "' needs the device in the socket: --device 12v or --device 5v"};
    }
    if (!o_.screenshot.empty()) throw UsageError{"--screenshot is for the window, not a command"};
    if (bits) {
        const std::optional<chip::LockSelection> lockBits = ParseLockBits(o_.operands[0]);
        if (!lockBits)
            throw UsageError{"lock: bits must be 1, 2 or 3 separated by commas, e.g. 1,2,3"};
        o_.lockBits = *lockBits;
    }
    return o_;
}

Options Parser::parse(const std::vector<std::string>& args) {
    declareOptions();
    declareCommands();
    if (!parseWords(args)) return o_;
    const std::vector<std::string> extras = extraWords();
    applyValues();
    return chooseCommand(extras);
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args, CommandNeeded needed) {
    return Parser(needed).parse(args);
}

}  // namespace lpt51::cli
