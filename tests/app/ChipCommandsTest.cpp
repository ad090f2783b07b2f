// SPDX-License-Identifier: GPL-3.0-or-later
#include <fstream>

#include "WindowFixture.h"
#include "app/ViewText.h"
#include "chip/Devices.h"
#include "image/TextFile.h"

namespace lpt51::app::testing {
namespace {

using Kind = ProbeModelPort::Kind;
using Messages = std::vector<std::string>;

// Two data records and the end record: 3 + 2 bytes.
const image::Lines kImage{":03000000020003F8", ":020003007EFF7E", ":00000001FF"};

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A bidirectional port whose undriven lines read 0xFF reads like an erased chip.
TEST_F(WindowTest, ReadChipFillsViewAndTempFileAndBecomesTheCurrentImage) {
    Form1& w = start(Kind::PullUps);
    touch("temxyzbg.d51");
    w.Hex->setEnabled(true);
    w.read->click();

    const image::Lines lines = ViewLines(*w.RichEdit1);
    ASSERT_EQ(lines.size(), 257u);
    EXPECT_EQ(lines[0], ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00");
    EXPECT_EQ(lines[255], ":100FF000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF01");
    EXPECT_EQ(lines[256], ":00000001FF");
    // The read-out is no file of the user's until saved.
    EXPECT_EQ(w.windowTitle().toStdString(), "lpt51 [test port]");
    EXPECT_EQ(w.Label4->text().toStdString(), "4096");
    EXPECT_EQ(w.StaticText2->text().toStdString(), " IntelHex File");

    EXPECT_TRUE(w.isEnabled());
    for (QWidget* on : std::initializer_list<QWidget*>{w.read, w.save, w.Disa})
        EXPECT_TRUE(on->isEnabled()) << on->objectName().toStdString();
    EXPECT_FALSE(w.Hex->isEnabled());
    EXPECT_FALSE(w.Hexa1->isEnabled());
    EXPECT_TRUE(w.dis51->isEnabled());
    EXPECT_FALSE(w.write->isEnabled());  // left as it was

    EXPECT_FALSE(exists("temxyzbg.d51"));
    EXPECT_EQ(w.currentImageFile, appDir + "temxyzbg.hex");
    const std::string saved = readFile(appDir + "temxyzbg.hex");
    EXPECT_EQ(saved.rfind(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\n", 0), 0u);
    EXPECT_EQ(saved.substr(saved.size() - 12), ":00000001FF\n");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(port->readControl() & 0x20, 0);  // the bus released, lines driving
}

TEST_F(WindowTest, ReadChipThatCannotSaveKeepsTheOldImageFile) {
    Form1& w = start(Kind::PullUps);
    w.currentImageFile = "/somewhere/earlier.hex";
    std::filesystem::create_directory(appDir + "temxyzbg.hex");  // cannot be written as a file
    w.read->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find(appDir + "temxyzbg.hex"), std::string::npos);
    EXPECT_EQ(w.currentImageFile, "/somewhere/earlier.hex");
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(ViewLines(*w.RichEdit1).size(), 257u);
}

// On an output-only port no signature is read: the selection alone decides.
TEST_F(WindowTest, WriteChipReloadsViewSaysBurnAndOffersVerifyOnlyInBidiMode) {
    Form1& w = start(Kind::OutputOnly);
    w.AT89C5112V1->trigger();
    SetViewLines(*w.RichEdit1, kImage);
    std::ofstream(appDir + "image.hex") << ":00000001FF\n";
    w.currentImageFile = appDir + "image.hex";
    w.write->setEnabled(true);

    w.write->click();
    EXPECT_EQ(dialogs.messages, Messages{"File was burn !"});
    EXPECT_EQ(ViewLines(*w.RichEdit1), image::Lines{":00000001FF"});  // reloaded from the file
    EXPECT_EQ(w.write->text().toStdString(), "Write Chip");
    EXPECT_TRUE(w.write->isEnabled());
    EXPECT_TRUE(w.isEnabled());
    EXPECT_FALSE(w.verify->isEnabled());
    EXPECT_FALSE(w.Ve->isEnabled());
}

TEST_F(WindowTest, WriteChipWithoutDeviceRefusesBeforeTouchingThePort) {
    Form1& w = start(Kind::OutputOnly);
    SetViewLines(*w.RichEdit1, kImage);
    w.write->setEnabled(true);  // as after Open
    const std::size_t writes = port->controlWrites.size();
    w.write->click();
    EXPECT_EQ(dialogs.messages, Messages{"Select processor in device menu"});
    EXPECT_EQ(port->controlWrites.size(), writes);
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
}

TEST_F(WindowTest, WriteChipRefusesBytesAnExtendedBaseMovesOffTheChip) {
    Form1& w = start(Kind::OutputOnly);
    w.AT89C5112V1->trigger();
    const image::Lines based{":020000040001F9", ":0400000001020304F2", ":00000001FF"};
    SetViewLines(*w.RichEdit1, based);
    w.write->setEnabled(true);
    const std::size_t writes = port->controlWrites.size();
    w.write->click();
    EXPECT_EQ(dialogs.messages,
              Messages{"Write refused: line 2: the record at address 10000 (extended linear "
                       "address 0001, offset 0000) lies beyond 0FFF, the chip's last address. "
                       "Nothing was programmed."});
    EXPECT_EQ(port->controlWrites.size(), writes);
    EXPECT_EQ(ViewLines(*w.RichEdit1), based);
    EXPECT_TRUE(w.isEnabled());
}

TEST_F(WindowTest, WriteChipWithoutImageFileRestoresTheViewItStartedFrom) {
    Form1& w = start(Kind::OutputOnly);
    w.AT89C515V1->trigger();
    SetViewLines(*w.RichEdit1, kImage);
    w.write->setEnabled(true);
    w.write->click();
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
    EXPECT_EQ(dialogs.messages, Messages{"File was burn !"});
}

TEST_F(WindowTest, LockChipWithNoBitChosenSaysSo) {
    Form1& w = start(Kind::OutputOnly);
    w.AT89C5112V1->trigger();
    w.lock->click();
    EXPECT_EQ(dialogs.messages, Messages{"No Lock Bit Select"});
}

// Lines that nothing drives read FF, as an empty socket does. The
// questions keep Yes as their default; what follows names the empty socket.
TEST_F(WindowTest, ClearOnAnEmptySocketNamesItInsteadOfSayingClear) {
    Form1& w = start(Kind::PullUps);
    w.AT89C5112V1->trigger();
    const std::string noChip =
        "no chip answers (bytes FF FF FF): the socket is empty, the chip has no power, or the "
        "adapter is not connected.";
    dialogs.answers = {Answer::Yes, Answer::Yes};
    w.clear->click();
    EXPECT_EQ(dialogs.messages,
              (Messages{chip::kNotAtmel, chip::kNot89C51,
                        noChip + " The erase pulse was sent all the same; nothing shows that a "
                                 "chip was erased."}));

    // Stopped by the device question: the socket is named all the same.
    dialogs.messages.clear();
    dialogs.answers = {Answer::No, Answer::No};
    w.clear->click();
    EXPECT_EQ(dialogs.messages,
              (Messages{chip::kNotAtmel, "Have you realy AT89C51-12V processor ?",
                        "no chip answers (bytes FF): the socket is empty, the chip has no power, "
                        "or the adapter is not connected."}));
}

TEST_F(WindowTest, SignatureCommandShowsWhatTheChipSaid) {
    // Lines reading 0xFF are no Atmel part: answering No rejects it.
    Form1& w = start(Kind::PullUps);
    w.SignatClick();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(w.cpu->text().toStdString(), w.state.ChipType);
    w.AUTO1Click();
    EXPECT_EQ(w.cpu->text().toStdString(), "  Auto Detect");
    EXPECT_EQ(w.state.ChipType, "  Auto Detect");
}

TEST_F(WindowTest, ExitDeletesOnlyTheTemporaryFilesAndCloses) {
    Form1& w = start(Kind::PullUps);
    w.show();
    touch("temxyzbg.hex");
    touch("temxyzbg.d51");
    touch("89c51_12.dat");
    w.SpeedButton6->click();
    EXPECT_FALSE(exists("temxyzbg.hex"));
    EXPECT_FALSE(exists("temxyzbg.d51"));
    EXPECT_TRUE(exists("89c51_12.dat"));
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
}  // namespace lpt51::app::testing
