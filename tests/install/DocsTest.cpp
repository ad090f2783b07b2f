// SPDX-License-Identifier: GPL-3.0-or-later
// The manual page and the shell completion against the program they describe.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "../cli/CliTestSupport.h"

namespace {

using lpt51::cli::test::ReadAll;

using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

// Runs a shell command; its standard output and error, and its exit status.
std::pair<std::string, int> Shell(const std::string& command) {
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return {"", -1};
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    const int status = pclose(pipe);
    return {text, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string Source(const std::string& name) {
    return std::string(std::getenv("LPT51_SOURCE_DIR")) + "/" + name;
}

TEST(ManualPages, RenderWithoutWarnings) {
    if (Shell("command -v groff").second != 0) GTEST_SKIP() << "groff is not installed";
    for (const char* page : {"docs/lpt51.1", "docs/d51.7"}) {
        const auto [text, code] = Shell("groff -ww -man -Tutf8 -z '" + Source(page) + "'");
        EXPECT_EQ(code, 0) << page;
        EXPECT_EQ(text, "") << page;
    }
}

// An option or command added to the program and forgotten in the manual page
// or the completion shows up here.
TEST(ManualPages, ManualAndCompletionNameEveryOptionAndCommand) {
    const std::string program = std::string(std::getenv("LPT51_BIN_DIR")) + "/lpt51";
    const auto [help, code] = Shell("'" + program + "' --help");
    ASSERT_EQ(code, 0) << help;
    std::set<std::string> words;
    const std::regex option("--[a-z][a-z0-9-]*");
    std::istringstream lines(help);
    bool inCommands = false;
    for (std::string line; std::getline(lines, line);) {
        if (line == "Commands:") {
            inCommands = true;
        } else if (line.empty()) {
            inCommands = false;
        } else if (inCommands) {
            words.insert(line.substr(2, line.find(' ', 2) - 2));
        } else if (line.rfind("  -", 0) == 0) {
            for (std::sregex_iterator m(line.begin(), line.end(), option), end; m != end; ++m)
                words.insert(m->str());
        }
    }
    ASSERT_GT(words.size(), 15u);
    std::string manual = ReadAll(Source("docs/lpt51.1"));
    for (std::size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.erase(at, 1);
    const std::string completion = ReadAll(Source("docs/lpt51.bash-completion"));
    for (const std::string& word : words) {
        EXPECT_THAT(manual, HasSubstr(word)) << "the manual page lacks " << word;
        EXPECT_THAT(completion, HasSubstr(word)) << "the completion lacks " << word;
    }
}

// What bash's completion function offers for the words typed so far.
std::set<std::string> Complete(const std::string& words) {
    const std::string script =
        "[ -r /usr/share/bash-completion/bash_completion ] && "
        ". /usr/share/bash-completion/bash_completion; "
        ". '" +
        Source("docs/lpt51.bash-completion") +
        "'; "
        "COMP_WORDS=(" +
        words +
        "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
        "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}; "
        "_lpt51 lpt51 \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"; "
        "printf '%s\\n' \"${COMPREPLY[@]}\"";
    const auto [text, code] =
        Shell("bash -c '" + std::regex_replace(script, std::regex("'"), "'\\''") + "'");
    std::set<std::string> offered;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) offered.insert(line);
    return offered;
}

TEST(Completion, OffersPortsCommandsAndChoices) {
    // The virtual adapter always; a parallel port of this machine where there is one.
    std::set<std::string> ports{"sim", "sim:"};
    for (int n = 0; n < 4; ++n) {
        const std::string dev = "/dev/parport" + std::to_string(n);
        if (std::filesystem::exists(dev)) ports.insert({dev, dev.substr(5)});
    }
    const std::set<std::string> offered = Complete("lpt51 --port ''");
    for (const std::string& port : ports) EXPECT_TRUE(offered.count(port)) << port;

    EXPECT_THAT(Complete("lpt51 w"), UnorderedElementsAre("write"));
    const std::set<std::string> commands = Complete("lpt51 --device 12v ''");
    for (const char* c : {"info", "signature", "erase", "blank", "write", "verify", "read", "lock",
                          "cwv", "ports", "check"})
        EXPECT_TRUE(commands.count(c)) << c;
    // Without a command, the image files a window would open, and no others.
    lpt51::cli::test::TempDir dir;
    for (const char* name : {"a.hex", "b.IHX", "c.bin", "d.txt"}) std::ofstream(dir.path(name));
    EXPECT_THAT(Complete("lpt51 '" + dir.path("") + "'"),
                UnorderedElementsAre(dir.path("a.hex"), dir.path("b.IHX"), dir.path("c.bin")));
    EXPECT_THAT(Complete("lpt51 --sim-port ''"), UnorderedElementsAre("bidi", "spp", "nopullups"));
}

// docs/adapter.md holds the wiring table as the program prints it, which is
// the table the program drives the port by.
TEST(AdapterPage, HoldsTheWiringTableTheProgramPrints) {
    const std::string program = std::string(std::getenv("LPT51_BIN_DIR")) + "/lpt51";
    const auto [printed, code] = Shell("'" + program + "' adapter-wiring");
    ASSERT_EQ(code, 0) << printed;
    const std::string page = ReadAll(Source("docs/adapter.md"));
    const std::string begin = "<!-- lpt51 adapter-wiring: begin -->\n";
    const std::size_t from = page.find(begin);
    const std::size_t to = page.find("<!-- lpt51 adapter-wiring: end -->");
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(page.substr(from + begin.size(), to - from - begin.size()), printed)
        << "paste the output of lpt51 adapter-wiring into docs/adapter.md";
    // The page shows its diagram from the directory it is installed in.
    EXPECT_THAT(page, HasSubstr("](adapter.svg)"));
    EXPECT_TRUE(std::filesystem::exists(Source("docs/adapter.svg")));
}

// What software centres read: it must validate, and its newest release must
// be the version the package carries, which nothing else checks.
TEST(Metainfo, ValidatesAndNamesThisRelease) {
    const std::string metainfo = Source("packaging/org.example.lpt51.metainfo.xml");
    if (Shell("command -v appstreamcli").second != 0) GTEST_SKIP() << "appstream is not installed";
    const auto [text, code] =
        Shell("appstreamcli validate --no-net --strict --pedantic '" + metainfo + "'");
    EXPECT_EQ(code, 0) << text;
    std::smatch release;
    const std::string xml = ReadAll(metainfo);
    ASSERT_TRUE(std::regex_search(xml, release, std::regex("<release version=\"([^\"]+)\"")));
    EXPECT_EQ(release[1], LPT51_VERSION);
}

}  // namespace
