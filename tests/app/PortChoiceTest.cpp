// SPDX-License-Identifier: GPL-3.0-or-later
#include <stdlib.h>

#include <QMenu>
#include <filesystem>

#include "WindowFixture.h"
#include "chip/Devices.h"

namespace lpt51::app::testing {
namespace {

using Kind = ProbeModelPort::Kind;
using Messages = std::vector<std::string>;

// The user's state directory inside the test's own.
class PortChoiceTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        const char* before = std::getenv("XDG_STATE_HOME");
        if (before != nullptr) savedStateHome_ = before;
        ::setenv("XDG_STATE_HOME", (appDir + "state").c_str(), 1);
        // Never a port this machine may have.
        backendOptions.port = "/dev/lpt51-test-no-such-port";
        backendOptions.portNamed = true;
        backendOptions.virtualTiming = true;
    }
    void TearDown() override {
        if (savedStateHome_) {
            ::setenv("XDG_STATE_HOME", savedStateHome_->c_str(), 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
        WindowTest::TearDown();
    }
    std::string chipFile() const { return appDir + "state/lpt51/virtual-chip.state"; }
    static bool greyed(QWidget* command) {
        const QPalette look = command->palette();
        return look.color(QPalette::Active, QPalette::ButtonText) ==
               look.color(QPalette::Disabled, QPalette::ButtonText);
    }

  private:
    std::optional<std::string> savedStateHome_;
};

TEST_F(PortChoiceTest, WithoutAPortTheVirtualAdapterIsOfferedAndTheDeviceMenuSwitchesBack) {
    const std::string problem = "No parallel port at 0x378: load the parport_pc module.";
    dialogs.takeChoices = {true};
    Form1& w = start(Kind::OutputOnly, problem);
    EXPECT_EQ(dialogs.messages, Messages{problem});
    EXPECT_EQ(dialogs.offeredChoices, Messages{kUseVirtualAdapter});

    // On the virtual adapter, its chip in the state directory, with every
    // command available and bidirectional.
    EXPECT_EQ(w.windowTitle().toStdString(), "lpt51 [virtual adapter]");
    EXPECT_TRUE(w.VirtualAdapter1->isChecked());
    EXPECT_FALSE(w.ParallelPort1->isChecked());
    EXPECT_FALSE(greyed(w.clear));
    EXPECT_TRUE(w.clear->toolTip().isEmpty());
    EXPECT_EQ(w.state.BidiMode, 1);
    EXPECT_TRUE(w.read->isEnabled());
    dialogs.messages.clear();
    w.AT89C5112V1->trigger();
    w.clear->click();
    EXPECT_EQ(dialogs.messages, Messages{chip::kChipIsClear});
    EXPECT_TRUE(std::filesystem::exists(chipFile()));

    // Back to the port named at start: it says why it cannot be used, and
    // offers nothing this time.
    dialogs.messages.clear();
    w.ParallelPort1->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("lpt51-test-no-such-port"), std::string::npos)
        << dialogs.messages[0];
    EXPECT_EQ(dialogs.offeredChoices.size(), 1u);
    EXPECT_EQ(w.windowTitle().toStdString(), "lpt51 [no port: /dev/lpt51-test-no-such-port]");
    EXPECT_TRUE(w.ParallelPort1->isChecked());
    EXPECT_TRUE(greyed(w.clear));

    // And to the virtual adapter again: the same chip.
    dialogs.messages.clear();
    w.VirtualAdapter1->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(greyed(w.clear));
    EXPECT_NE(w.session().backend()->description().find(chipFile()), std::string::npos);
}

TEST_F(PortChoiceTest, AnOutputOnlyPortLeftForTheVirtualAdapterGivesBackBidirectionalMode) {
    Form1& w = start(Kind::OutputOnly);
    ASSERT_FALSE(w.Disabled1->isEnabled());
    w.VirtualAdapter1->trigger();
    EXPECT_TRUE(w.Disabled1->isEnabled());
    EXPECT_TRUE(w.Test1->isEnabled());
    EXPECT_TRUE(w.read->isEnabled());
    EXPECT_EQ(w.Cwv->text().toStdString(), chip::kCwvCaptionBidi);
    EXPECT_TRUE(dialogs.messages.empty());
}

// A chip kept in a state file is what it is: asking for another is refused
// at start, naming both, and the virtual adapter is not offered in its place.
TEST_F(PortChoiceTest, ASimChipOtherThanTheStateFileKeepsIsRefusedAtStart) {
    backendOptions.port = "sim:" + appDir + "chip.state";
    {
        auto first = Backend::open(backendOptions);
        ASSERT_EQ(first->persist(), std::nullopt);
    }
    backendOptions.simChip = sim::ChipKind::Foreign;
    backendOptions.simChipNamed = true;
    EnsureApplication();
    WindowContext context;
    context.backendOptions = backendOptions;
    context.dialogs = &dialogs;
    context.appDir = appDir;
    context.appDirectory = [dir = appDir] { return dir; };
    context.measureCpuMHz = [] { return 1000.0; };
    window = std::make_unique<Form1>(std::move(context));
    window->FormCreate();
    EXPECT_EQ(dialogs.messages,
              Messages{"--sim-chip foreign asks for a foreign chip, but the virtual chip state "
                       "file " +
                       appDir +
                       "chip.state keeps an AT89C51 12 V part (--sim-chip 12v). Leave out "
                       "--sim-chip to use the chip it keeps, or name another state file."});
    EXPECT_TRUE(dialogs.offeredChoices.empty());
    EXPECT_TRUE(greyed(window->clear));
}

}  // namespace
}  // namespace lpt51::app::testing
