// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>

#include <sstream>

#include "../StallingClock.h"
#include "../VirtualAdapterBackend.h"
#include "WindowFixture.h"
#include "chip/Devices.h"
#include "cli/CommandLine.h"
#include "cli/CommandRun.h"
#include "file/System.h"
#include "port/ControlBits.h"
#include "port/RecordingPort.h"
#include "session/Operations.h"

// Each operation's result shown by both front ends: the window's boxes and
// the command line's stderr must carry the same texts in the same order.
namespace lpt51::app::testing {
namespace {

using lpt51::testing::StallingClock;
using lpt51::testing::VirtualAdapterBackend;
using session::OperationResult;
using session::Step;
using ::testing::HasSubstr;

// 16 bytes at 0000 and 16 at 0100, none of them FF.
image::Lines Image() {
    return {":10000000000102030405060708090A0B0C0D0E0F78",
            ":10010000101112131415161718191A1B1C1D1E1F67", ":00000001FF"};
}

// Asks the operation to stop once `after` bytes of `step` are done.
class StoppingView final : public session::OperationView {
  public:
    StoppingView(Step step, std::size_t after) : step_(step), after_(after) {}
    void stepStarted(Step step, int, int) override {
        current_ = step;
        done_ = 0;
    }
    void bytesDone(std::size_t done, std::size_t) override { done_ = done; }
    bool stopRequested() override { return current_ == step_ && done_ >= after_; }

  private:
    Step step_;
    std::size_t after_;
    std::optional<Step> current_;
    std::size_t done_ = 0;
};

class NoStop final : public session::OperationView {};

template <class TestClock = VirtualClock>
struct Chip {
    explicit Chip(sim::ChipState state, sim::PortKind port = sim::PortKind::Bidirectional)
        : backend(std::move(state), port), session([this] {
              session::SessionSetup setup;
              setup.measureCpuMHz = [] { return 1000.0; };
              setup.openBackend = [this] { return &backend; };
              return setup;
          }()) {
        session.open();
    }
    VirtualAdapterBackend<TestClock> backend;
    session::Session session;
};

// Yes to every question, so that each case reaches the text it is about.
class YesPrompts final : public Prompts {
  public:
    void showMessage(const std::string&) override {}
    Answer ask(QuestionKind, const std::string&) override { return Answer::Yes; }
};

class FrontEndsTest : public WindowTest {
  protected:
    // The texts the window shows for `result`, as lines.
    std::string window(const OperationResult& result) {
        dialogs.messages.clear();
        if (window_ == nullptr) window_ = &start(ProbeModelPort::Kind::PullUps);
        window_->present(result);
        std::string text;
        for (const std::string& m : dialogs.messages) text += cli::TerminalText(m) + "\n";
        return text;
    }
    // The same through the command line, without its "lpt51: " marks.
    static std::string commandLine(const OperationResult& result, int& code) {
        std::ostringstream err;
        cli::CliPrompts prompts(err, false);
        code = cli::PresentResult(prompts, err, result);
        std::string text, line;
        std::istringstream lines(err.str());
        while (std::getline(lines, line)) {
            if (line.rfind("lpt51: ", 0) == 0) line.erase(0, 7);
            text += line + "\n";
        }
        return text;
    }
    // Both the same, and failing on the command line; the shared text.
    std::string same(const OperationResult& result) {
        int code = 0;
        const std::string cli = commandLine(result, code);
        EXPECT_EQ(window(result), cli);
        EXPECT_NE(code, cli::kExitDone) << cli;
        return cli;
    }

    YesPrompts yes;
    NoStop noStop;
    Form1* window_ = nullptr;
};

TEST_F(FrontEndsTest, RefusalsSayTheSameInBoth) {
    Chip<> chip(sim::ChipState::erased(sim::ChipKind::Part12V));
    const std::string device = chip::kDevice12V;
    // An address beyond the chip, refused before the port is touched.
    const image::Lines beyond{":01100000AA45", ":00000001FF"};
    EXPECT_THAT(same(session::Write(chip.session, yes, noStop, device, chip::ScanImage(beyond))),
                HasSubstr("Write refused: line 1"));
    EXPECT_THAT(
        same(session::ClearWriteVerify(chip.session, yes, noStop, device, chip::ScanImage(beyond))),
        HasSubstr("The chip was not erased."));

    for (const auto& [kind, words] :
         {std::pair{sim::ChipKind::Empty, "no chip answers (bytes FF FF FF)"},
          std::pair{sim::ChipKind::Foreign, "of another kind (signature 1E 52 FF)"}}) {
        Chip<> other(sim::ChipState::erased(kind));
        EXPECT_THAT(same(session::ReadSignature(other.session, yes, noStop)), HasSubstr(words));
    }

    Chip<> outputOnly(sim::ChipState::erased(sim::ChipKind::Part12V), sim::PortKind::OutputOnly);
    const OperationResult verify =
        session::Verify(outputOnly.session, yes, noStop, chip::ScanImage(Image()));
    EXPECT_TRUE(verify.needsBidirectional);
    EXPECT_THAT(same(verify), HasSubstr("Verify needs a bidirectional port"));
}

TEST_F(FrontEndsTest, AStoppedWriteSaysWhatItReadBack) {
    Chip<> chip(sim::ChipState::erased(sim::ChipKind::Part12V));
    StoppingView stop(Step::Write, 20);
    const OperationResult result =
        session::Write(chip.session, yes, stop, chip::kDevice12V, chip::ScanImage(Image()));
    EXPECT_EQ(result.outcome, session::Outcome::Stopped);
    EXPECT_EQ(result.holds.kind, session::ChipHolds::Kind::Partly);
    // The read-back finds the 20 bytes programmed, the last of them at 0103.
    EXPECT_EQ(same(result),
              "Write Chip stopped after 20 of 32 bytes.\nThe port is at rest; the chip holds the "
              "file's first 20 of 32 bytes (to address 0103, read back): erase it and write it "
              "again.\n");
    EXPECT_EQ(chip.backend.adapter().chip().code[0x103], 0x13);
    EXPECT_EQ(chip.backend.adapter().chip().code[0x104], 0xFF);

    // A stop before the first byte changed nothing, and reads nothing back.
    StoppingView atOnce(Step::Write, 0);
    EXPECT_THAT(
        same(session::Write(chip.session, yes, atOnce, chip::kDevice12V, chip::ScanImage(Image()))),
        HasSubstr("before the first byte.\nThe port is at rest; the chip was not changed."));
}

TEST_F(FrontEndsTest, AStopInEachStepOfClearWriteVerifySaysWhereItStopped) {
    const std::string device = chip::kDevice12V;
    struct Case {
        Step step;
        std::size_t after;
        const char* words;
    };
    const Case cases[] = {
        // The erase pulse is never cut short: the stop comes after it.
        {Step::Erase, 0,
         "Write Chip stopped before the first byte.\nThe port is at rest; the chip "
         "was erased, and nothing of the file was programmed."},
        {Step::Write, 5,
         "Write Chip stopped after 5 of 32 bytes.\nThe port is at rest; the chip was "
         "erased and holds the file's first 5 of 32 bytes (to address 0004, read "
         "back)"},
        {Step::Verify, 5,
         "Verify Chip stopped after 5 of 32 bytes.\nThe port is at rest; the chip "
         "was erased and holds the file as written; it was not verified."},
    };
    for (const auto& [step, after, words] : cases) {
        Chip<> chip(sim::ChipState::erased(sim::ChipKind::Part12V));
        StoppingView stop(step, after);
        const OperationResult result =
            session::ClearWriteVerify(chip.session, yes, stop, device, chip::ScanImage(Image()));
        EXPECT_EQ(result.outcome, session::Outcome::Stopped) << session::StepName(step);
        const std::string text = same(result);
        EXPECT_THAT(text, HasSubstr(words));
        EXPECT_THAT(text, ::testing::Not(HasSubstr(chip::kTaskComplete)));
    }
}

TEST_F(FrontEndsTest, ALockedChipAndAnUnconfirmedLockBitFailInBoth) {
    sim::ChipState locked = sim::ChipState::erased(sim::ChipKind::Part12V);
    locked.lockBits = {true, false, false};
    Chip<> chip(std::move(locked));
    const OperationResult write = session::Write(chip.session, yes, noStop, chip::kDevice12V,
                                                 chip::ScanImage(Image()), {.readBack = true});
    EXPECT_EQ(write.outcome, session::Outcome::Failed);
    EXPECT_THAT(same(write), HasSubstr("written, but reading back 32 bytes differ from the file, "
                                       "at 0000 (chip FF, file 00)"));

    // Every pulse of lock bit 2 held up past the chip's limit: it may not be
    // set, and the lock fails instead of ending as done.
    Chip<StallingClock> stalled(sim::ChipState::erased(sim::ChipKind::Part12V));
    stalled.backend.testClock().progLow = stalled.backend.progLow();
    stalled.backend.testClock().stall({0, 1, 2});
    const OperationResult lock =
        session::Lock(stalled.session, yes, noStop, chip::kDevice12V, {false, true, false});
    EXPECT_EQ(lock.outcome, session::Outcome::Failed);
    EXPECT_THAT(same(lock), HasSubstr("lock bit 2 got 3 pulses, none within the chip's limit"));
}

// The virtual adapter behind a port whose data lines stop turning round
// after `turns` changes of direction, as a kernel that refuses would.
class RefusingPort final : public ObservedPort {
  public:
    RefusingPort(Port& inner, int turns) : ObservedPort(inner), turns_(turns) {}
    std::optional<std::string> failure() const override {
        if (turns_ >= 0) return std::nullopt;
        return "Turning the data lines of the test port to input failed: the system refused.";
    }

  private:
    void seen(const PortAccess& access) override {
        if (access.kind != PortAccess::Kind::WriteControl) return;
        if (((access.value ^ last_) & control_bits::kDataInput) != 0) --turns_;
        last_ = access.value;
    }
    int turns_;
    std::uint8_t last_ = 0;
};

class RefusingBackend final : public Backend {
  public:
    explicit RefusingBackend(int turns)
        : inner_(sim::ChipState::erased(sim::ChipKind::Part12V)), port_(inner_.adapter(), turns) {}
    bool usable() const override { return true; }
    const std::string& problem() const override { return none_; }
    Port* port() override { return &port_; }
    Clock& clock() override { return inner_.clock(); }
    std::string description() const override { return "refusing test port"; }
    sim::VirtualAdapter* virtualAdapter() override { return &inner_.adapter(); }
    std::optional<std::string> persist() override { return std::nullopt; }

  private:
    std::string none_;
    VirtualAdapterBackend<VirtualClock> inner_;
    RefusingPort port_;
};

TEST_F(FrontEndsTest, APortThatCannotTurnItsLinesEndsTheOperationAtRest) {
    // The probe and the rest turn the lines; the read-out's first byte
    // turns them again, and the kernel refuses from then on.
    RefusingBackend backend(3);
    session::SessionSetup setup;
    setup.measureCpuMHz = [] { return 1000.0; };
    setup.openBackend = [&backend] { return &backend; };
    session::Session session(std::move(setup));
    session.open();
    ASSERT_TRUE(session.ready());
    const OperationResult result = session::ReadOut(session, yes, noStop);
    EXPECT_EQ(result.outcome, session::Outcome::Failed);
    EXPECT_LT(result.readOut.bytesRead, chip::kCodeSize);
    EXPECT_THAT(same(result), HasSubstr("Turning the data lines of the test port to input "
                                        "failed: the system refused. The port is at rest."));
    EXPECT_EQ(backend.port()->readControl(), control::kRest);
}

// The state file's replacement refused at its last step.
class RefusingRename final : public file::PosixSystem {
  public:
    int rename(const char*, const char*) override {
        errno = EIO;
        return -1;
    }
};

TEST_F(FrontEndsTest, AVirtualChipThatCannotBeSavedFailsTheOperationInBoth) {
    BackendOptions options;
    options.port = "sim:" + appDir + "chip.state";
    options.virtualTiming = true;
    std::unique_ptr<Backend> backend = Backend::open(options);
    session::SessionSetup setup;
    setup.measureCpuMHz = [] { return 1000.0; };
    setup.openBackend = [&backend] { return backend.get(); };
    session::Session session(std::move(setup));
    session.open();
    ASSERT_TRUE(session.ready());
    RefusingRename refusing;
    file::SetSystem(&refusing);
    const OperationResult result = session::Erase(session, yes, noStop, chip::kDevice12V);
    file::SetSystem(nullptr);
    EXPECT_EQ(result.said, std::vector<std::string>{chip::kChipIsClear});
    EXPECT_THAT(same(result), HasSubstr("Cannot save"));
}

}  // namespace
}  // namespace lpt51::app::testing
