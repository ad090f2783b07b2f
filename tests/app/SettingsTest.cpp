// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"

namespace lpt51::app::testing {
namespace {

using Kind = ProbeModelPort::Kind;

TEST_F(WindowTest, DeviceItemsSelectOneAndLeavePortAndModeAlone) {
    Form1& w = start(Kind::PullUps);
    const std::size_t controlWrites = port->controlWrites.size();
    const int dataWrites = port->dataWrites;

    w.AT89C515V1->trigger();
    EXPECT_EQ(w.cpu->text().toStdString(), "AT89C51-5V");
    EXPECT_EQ(w.state.ChipType, "AT89C51-5V");
    EXPECT_TRUE(w.AT89C515V1->isChecked());
    EXPECT_FALSE(w.AT89C5112V1->isChecked());

    w.AT89C5112V1->trigger();
    EXPECT_EQ(w.cpu->text().toStdString(), "AT89C51-12V");
    EXPECT_EQ(w.state.ChipType, "AT89C51-12V");
    EXPECT_TRUE(w.AT89C5112V1->isChecked());
    EXPECT_FALSE(w.AT89C515V1->isChecked());

    // Choosing the checked item again keeps it checked.
    w.AT89C5112V1->trigger();
    EXPECT_TRUE(w.AT89C5112V1->isChecked());

    EXPECT_EQ(port->controlWrites.size(), controlWrites);
    EXPECT_EQ(port->dataWrites, dataWrites);
    EXPECT_EQ(w.state.BidiMode, 1);
    EXPECT_FALSE(exists("89c51_12.dat"));
}

TEST_F(WindowTest, DefaultDeviceSwitchPressedTwiceLeavesNoDefault) {
    Form1& w = start(Kind::PullUps);
    w.AT89C515V1->trigger();

    w.Def12->trigger();
    EXPECT_TRUE(exists("89c51_12.dat"));
    EXPECT_EQ(w.Def12->text().toStdString(), "&Set no default processor");
    EXPECT_EQ(w.cpu->text().toStdString(), "AT89C51-12V");
    EXPECT_EQ(w.state.ChipType, "AT89C51-12V");
    EXPECT_TRUE(w.AT89C5112V1->isChecked());
    EXPECT_FALSE(w.AT89C515V1->isChecked());

    w.Def12->trigger();
    EXPECT_FALSE(exists("89c51_12.dat"));
    EXPECT_EQ(w.Def12->text().toStdString(), "&Set AT89C51-12V as def.");
    EXPECT_EQ(w.cpu->text().toStdString(), "   No Select");
    EXPECT_EQ(w.state.ChipType, "   No Select");
    EXPECT_FALSE(w.AT89C5112V1->isChecked());
    EXPECT_FALSE(w.AT89C515V1->isChecked());
}

TEST_F(WindowTest, DefaultSetInOneRunIsTheSelectionOfTheNext) {
    start(Kind::PullUps).Def12->trigger();
    Form1& next = start(Kind::PullUps);
    EXPECT_EQ(next.cpu->text().toStdString(), "AT89C51-12V");
    EXPECT_EQ(next.Def12->text().toStdString(), "&Set no default processor");
}

TEST_F(WindowTest, DatasheetTimingIsKeptAcrossRunsAndNamedByInfo) {
    Form1& w = start(Kind::PullUps);
    EXPECT_FALSE(w.Datasheet1->isChecked());
    w.Datasheet1->trigger();
    EXPECT_TRUE(exists("datasheet_timing.dat"));
    EXPECT_EQ(w.state.Timing, &chip::kDatasheetTiming);

    Form1& next = start(Kind::PullUps);
    EXPECT_TRUE(next.Datasheet1->isChecked());
    EXPECT_EQ(next.state.Timing, &chip::kDatasheetTiming);
    next.Info2->trigger();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_NE(dialogs.messages.back().find("\r\rChip timing: datasheet: every wait from the chip's "
                                           "datasheet limits"),
              std::string::npos)
        << dialogs.messages.back();

    next.Datasheet1->trigger();
    EXPECT_FALSE(exists("datasheet_timing.dat"));
    EXPECT_EQ(next.state.Timing, &chip::kStandardTiming);
}

TEST_F(WindowTest, BidiSwitchOffAndOnKeepsVerifyOffAndItsMarkerInStep) {
    Form1& w = start(Kind::PullUps);
    w.AT89C515V1->trigger();
    w.verify->setEnabled(true);  // as after a successful write
    w.Ve->setEnabled(true);

    w.Disabled1->trigger();
    EXPECT_TRUE(exists("Zelmoxx.dat"));
    EXPECT_EQ(w.state.BidiMode, 0);
    EXPECT_EQ(w.Disabled1->text().toStdString(), "&Enabled Bidi.");
    EXPECT_TRUE(w.Disabled1->isEnabled());
    EXPECT_FALSE(w.Test1->isEnabled());
    for (QWidget* off : std::initializer_list<QWidget*>{w.verify, w.read})
        EXPECT_FALSE(off->isEnabled());
    EXPECT_FALSE(w.Re->isEnabled());
    EXPECT_FALSE(w.Ve->isEnabled());
    EXPECT_EQ(w.Cwv->text().toStdString(), "Clear-Write");
    EXPECT_EQ(w.cpu->text().toStdString(), "   No Select");
    EXPECT_EQ(w.state.ChipType, "AT89C51-5V");  // only the caption is reset

    w.Disabled1->trigger();
    EXPECT_FALSE(exists("Zelmoxx.dat"));
    EXPECT_EQ(w.state.BidiMode, 1);
    EXPECT_EQ(w.Disabled1->text().toStdString(), "&Disabled Bidi.");
    EXPECT_TRUE(w.Test1->isEnabled());
    EXPECT_TRUE(w.read->isEnabled());
    EXPECT_TRUE(w.Re->isEnabled());
    EXPECT_FALSE(w.verify->isEnabled());
    EXPECT_FALSE(w.Ve->isEnabled());
    EXPECT_EQ(w.Cwv->text().toStdString(), "Clear-Write-Verify ");
    EXPECT_EQ(w.cpu->text().toStdString(), "   No Select");
}

TEST_F(WindowTest, InfoNamesClockAndPortMode) {
    Form1& bidi = start(Kind::PullUps, {}, 2993.7);
    bidi.Info2->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(
        dialogs.messages[0].rfind("Your CPU speed is: 2993 MHz.\r\rLPT mode is Bidirectional.\r\r"
                                  "Port in use: test port.\r\r"
                                  "Chip timing: standard: the program's own waits, far above the "
                                  "chip's limits.\r\r"
                                  "One delay unit lasts 10.0 us (29930 turns of the busy wait).\r\r"
                                  "lpt51 version " LPT51_VERSION ".\r\r",
                                  0),
        0u)
        << dialogs.messages[0];

    // Virtual timing measures nothing: the figure is said to be nominal.
    dialogs.messages.clear();
    BackendOptions options;
    options.port = "sim";
    options.virtualTiming = true;
    startOn(Backend::open(options)).Info2->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(
        dialogs.messages[0].rfind("Your CPU speed is: 1000 MHz.\rThis is a nominal figure", 0), 0u)
        << dialogs.messages[0];

    dialogs.messages.clear();
    Form1& spp = start(Kind::OutputOnly, {}, 800.2);
    spp.Info2->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].rfind(
                  "Your CPU speed is: 800 MHz.\r\rLPT mode is SPP (Normal).\r\r", 0),
              0u)
        << dialogs.messages[0];
}

}  // namespace
}  // namespace lpt51::app::testing
