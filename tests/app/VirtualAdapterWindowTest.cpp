// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../StallingClock.h"
#include "../VirtualAdapterBackend.h"
#include "WindowFixture.h"
#include "app/ProgramContext.h"
#include "app/ViewText.h"
#include "image/TextFile.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::app::testing {
namespace {

using Messages = std::vector<std::string>;

// 02 00 03 | 7E FF 7E at 0x0000 and 0x0003: neither erased nor zero.
const image::Lines kImage{":03000000020003F8", ":030003007EFF7EFF", ":00000001FF"};

std::unique_ptr<Backend> virtualAdapter(sim::PortKind portKind) {
    BackendOptions options;
    options.port = "sim";
    options.simChip = sim::ChipKind::Part12V;
    options.simPort = portKind;
    options.virtualTiming = true;
    return Backend::open(options);
}

TEST_F(WindowTest, WriteVerifyAndReadBackOnTheVirtualChip) {
    Form1& w = startOn(virtualAdapter(sim::PortKind::Bidirectional));
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    EXPECT_TRUE(w.windowTitle().endsWith(QStringLiteral(" [virtual adapter]")));
    EXPECT_TRUE(w.caption().isEmpty());

    w.AT89C5112V1->trigger();
    const std::string file = appDir + "image.hex";
    ASSERT_FALSE(image::SaveLines(file, kImage));
    w.currentImageFile = file;
    SetViewLines(*w.RichEdit1, kImage);
    w.write->setEnabled(true);

    w.clear->click();
    w.write->click();
    EXPECT_EQ(dialogs.messages, (Messages{"Chip is clear", "File was burn !"}));
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
    EXPECT_TRUE(w.verify->isEnabled());
    EXPECT_TRUE(w.Ve->isEnabled());

    dialogs.messages.clear();
    w.verify->click();
    EXPECT_EQ(dialogs.messages, Messages{"File Check successful!"});
    EXPECT_EQ(w.verify->text().toStdString(), "Verify Chip");
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);

    dialogs.messages.clear();
    w.read->click();
    const image::Lines read = ViewLines(*w.RichEdit1);
    ASSERT_EQ(read.size(), 257u);
    EXPECT_EQ(read[0].substr(0, 21),
              ":10000000020003"
              "7EFF7E");
    EXPECT_TRUE(dialogs.messages.empty());
}

// The window keeps its backend from start to end; a command-line run may
// write the same chip in between.
TEST_F(WindowTest, EachCommandStartsFromTheStateFileAndAReadNeverRewritesIt) {
    const std::string state = appDir + "chip.state";
    BackendOptions options;
    options.port = "sim:" + state;
    options.virtualTiming = true;
    Form1& w = startOn(Backend::open(options));
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();

    // Between commands the window holds no lock: the other run goes ahead.
    std::unique_ptr<Backend> other = Backend::open(options);
    ASSERT_EQ(other->beginOperation(sim::ChipUse::Changes), std::nullopt);
    other->virtualAdapter()->chip().code[0] = 0x12;
    ASSERT_EQ(other->endOperation(), std::nullopt);
    struct stat before {};
    ASSERT_EQ(::stat(state.c_str(), &before), 0);

    w.read->click();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    EXPECT_EQ(ViewLines(*w.RichEdit1)[0].substr(0, 11), ":1000000012");
    w.SignatClick();
    struct stat after {};
    ASSERT_EQ(::stat(state.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "a read-only command rewrote the state file";
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    ASSERT_EQ(other->beginOperation(sim::ChipUse::Changes), std::nullopt);
    EXPECT_EQ(other->endOperation(), std::nullopt);
}

TEST_F(WindowTest, VerifyOfADifferentChipAsksAndReportsTheFailure) {
    Form1& w = startOn(virtualAdapter(sim::PortKind::Bidirectional));
    SetViewLines(*w.RichEdit1, kImage);  // the chip is erased: the first byte differs
    w.verify->setEnabled(true);
    // Going on past every difference reaches the end and the verdict; the
    // cell at 0x0004 already reads FF.
    dialogs.answers = {Answer::Yes, Answer::Yes, Answer::Yes, Answer::Yes, Answer::Yes};
    w.verify->click();
    ASSERT_EQ(dialogs.messages.size(), 6u);
    EXPECT_EQ(dialogs.messages[0].rfind("Not correct on adress (Hex): 0000\r", 0), 0u);
    EXPECT_EQ(dialogs.messages[5], "Verifing not correct !!!");
    EXPECT_EQ(w.state.VerifyFailed, 0);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(w.verify->isEnabled());

    // Stopping at the first difference leaves the verdict unsaid.
    dialogs.messages.clear();
    w.verify->click();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
    EXPECT_TRUE(w.isEnabled());
}

TEST_F(WindowTest, ClearWriteVerifyAfterOpenSaysOnlyThatTheTaskIsComplete) {
    Form1& w = startOn(virtualAdapter(sim::PortKind::Bidirectional));
    const std::string file = appDir + "image.hex";
    ASSERT_FALSE(image::SaveLines(file, kImage));
    dialogs.files = {file};
    w.SpeedButton1->click();
    w.AT89C5112V1->trigger();
    ASSERT_TRUE(w.Cwv->isEnabled());

    w.Cwv->click();
    EXPECT_EQ(dialogs.messages, Messages{"Task complete !"});
    EXPECT_EQ(w.state.CwvActive, 0);
    EXPECT_EQ(w.state.SkipSignature, 0);
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(realBackend->virtualAdapter()->chip().code[3], 0x7E);

    // A write to a locked chip: its own message claims success, and the
    // adapter's findings follow it, one for each byte pulsed (the FF at
    // 004 gets no pulse).
    w.l1->setChecked(true);
    w.lock->click();
    dialogs.messages.clear();
    w.write->click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0], "File was burn !");
    EXPECT_EQ(dialogs.messages[1].rfind("virtual adapter at 2.374 ms: programming while locked "
                                        "(LB1 set): code byte 000 unchanged\rvirtual adapter at "
                                        "6.454 ms: ",
                                        0),
              0u)
        << dialogs.messages[1];
    EXPECT_TRUE(dialogs.messages[1].ends_with(
        "byte 005 unchanged\rThe virtual adapter noticed 5 faults: real hardware may not "
        "have done what the messages above say."))
        << dialogs.messages[1];
}

// A pulse held up in mid-write, on a chip that takes nothing from it: the
// window tells after the command's own message, in the command line's words,
// and the byte programmed again is no fault of the adapter's.
TEST_F(WindowTest, AStretchedPulseIsReportedAfterTheCommandsMessage) {
    sim::ChipState chip = sim::ChipState::erased(sim::ChipKind::Part12V);
    chip.overlongPulses = sim::OverlongPulse::ProgramsNothing;
    auto owned =
        std::make_unique<lpt51::testing::VirtualAdapterBackend<lpt51::testing::StallingClock>>(
            std::move(chip));
    auto& adapter = *owned;
    adapter.testClock().progLow = adapter.progLow();
    Form1& w = startOn(std::move(owned));
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    w.AT89C5112V1->trigger();
    SetViewLines(*w.RichEdit1, kImage);
    w.write->setEnabled(true);

    adapter.testClock().stall({3});  // the pulse of the byte at 0003
    w.write->click();
    const std::string report =
        "1 programming pulse was longer than 110 us (the longest 310.0 us): code byte 0003 "
        "programmed again.";
    EXPECT_EQ(dialogs.messages, (Messages{"File was burn !", report}));
    EXPECT_EQ(adapter.adapter().chip().code[3], 0x7E);

    // Clear-Write-Verify says it once, after all of its steps.
    const std::string file = appDir + "image.hex";
    ASSERT_FALSE(image::SaveLines(file, kImage));
    dialogs.files = {file};
    w.SpeedButton1->click();
    dialogs.messages.clear();
    adapter.testClock().stall({3});
    w.Cwv->click();
    EXPECT_EQ(dialogs.messages, (Messages{"Task complete !", report}));
}

// Window A on chip A and window B on chip B, one user,
// one settings directory. Each reads its chip; B exits; A writes its own
// image back to its chip, never B's, and finds its reload file still there.
TEST_F(WindowTest, TwoWindowsKeepTheirOwnImagesAndExitRemovesOnlyItsOwn) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> savedRuntime =
        runtime != nullptr ? std::optional<std::string>(runtime) : std::nullopt;
    unsetenv("XDG_RUNTIME_DIR");  // the settings' directory takes the windows' directories
    const auto chipHolding = [this](const std::string& name, std::uint8_t first) {
        BackendOptions options;
        options.port = "sim:" + appDir + name;
        options.virtualTiming = true;
        const std::unique_ptr<Backend> chip = Backend::open(options);
        EXPECT_EQ(chip->beginOperation(sim::ChipUse::Changes), std::nullopt);
        chip->virtualAdapter()->chip().code[0] = first;
        EXPECT_EQ(chip->endOperation(), std::nullopt);
        return options;
    };
    ScriptedDialogs dialogsA, dialogsB;
    Form1 a(ProgramWindowContext(chipHolding("a.state", 0xAA), dialogsA, appDir));
    a.FormCreate();
    Form1 b(ProgramWindowContext(chipHolding("b.state", 0xBB), dialogsB, appDir));
    b.FormCreate();
    if (savedRuntime) setenv("XDG_RUNTIME_DIR", savedRuntime->c_str(), 1);
    for (Form1* w : {&a, &b}) {
        w->AT89C5112V1->trigger();
        w->read->click();
    }
    const std::string fileA = a.currentImageFile, fileB = b.currentImageFile;
    EXPECT_EQ(fileA.rfind(appDir + "windows/window-", 0), 0u) << fileA;
    EXPECT_NE(fileA, fileB);
    const image::Lines imageA = ViewLines(*a.RichEdit1);
    ASSERT_EQ(imageA[0].substr(0, 11), ":10000000AA");

    b.exitClick();
    EXPECT_FALSE(std::filesystem::exists(fileB));
    EXPECT_TRUE(std::filesystem::exists(fileA));

    a.clear->click();
    a.writeClick();  // Write Chip keeps the state it had before the read-out: off here
    EXPECT_EQ(dialogsA.messages, (Messages{"Chip is clear", "File was burn !"}));
    EXPECT_EQ(ViewLines(*a.RichEdit1), imageA);
    a.read->click();
    EXPECT_EQ(ViewLines(*a.RichEdit1), imageA);
    EXPECT_TRUE(dialogsB.messages.empty()) << dialogsB.messages.front();
}

// A command's button is disabled while it runs, and Qt hands the focus on;
// one key more would run the next command (Lock Chip after Read Chip).
TEST_F(WindowTest, FocusReturnsToEachLongCommandsButtonAndTabFollowsTheColumn) {
    Form1& w = startOn(virtualAdapter(sim::PortKind::Bidirectional));
    w.show();
    const std::string file = appDir + "image.hex";
    ASSERT_FALSE(image::SaveLines(file, kImage));
    dialogs.files = {file};
    w.SpeedButton1->click();
    w.AT89C5112V1->trigger();
    for (QPushButton* button : {w.clear, w.write, w.verify, w.read, w.Cwv, w.lock}) {
        button->setFocus();
        button->click();
        EXPECT_EQ(w.focusWidget(), button) << button->objectName().toStdString();
    }

    std::vector<QWidget*> order;
    for (QWidget* next = w.lock->nextInFocusChain(); order.size() < 5;
         next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) != 0) order.push_back(next);
    }
    EXPECT_EQ(order, (std::vector<QWidget*>{w.l1, w.l2, w.l3, w.Cwv, w.exit}));
}

// A worn cell: Clear-Write-Verify stops at the verify's question, or goes
// past it to the end; either way it does not end in silence, as if nothing
// were wrong, nor with "Task complete !".
TEST_F(WindowTest, ClearWriteVerifyOfAWornChipSaysTheChipDiffersWhereverItEnds) {
    sim::ChipState worn = sim::ChipState::erased(sim::ChipKind::Part12V);
    worn.weakCells = {3};
    worn.stuckMask = 0x01;
    Form1& w = startOn(
        std::make_unique<lpt51::testing::VirtualAdapterBackend<VirtualClock>>(std::move(worn)));
    const std::string file = appDir + "image.hex";
    ASSERT_FALSE(image::SaveLines(file, kImage));
    dialogs.files = {file};
    w.SpeedButton1->click();
    w.AT89C5112V1->trigger();
    const std::string question =
        "Not correct on adress (Hex): 0003\rOn chip =7F  In file= 7E\r Continue ? ";
    const std::string differs =
        "Verify Chip found the chip different from the file.\rThe chip was erased and "
        "written, but does not hold the file: erase it and write it again.";
    for (Answer answer : {Answer::No, Answer::Yes}) {
        dialogs.messages.clear();
        dialogs.answers = {answer};
        w.Cwv->click();
        EXPECT_EQ(dialogs.messages, (Messages{question, differs}));
        EXPECT_EQ(w.state.CwvActive, 0);
    }
}

}  // namespace
}  // namespace lpt51::app::testing
