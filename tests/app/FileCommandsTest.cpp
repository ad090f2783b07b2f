// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include <fstream>

#include "WindowFixture.h"
#include "app/ViewText.h"
#include "image/TextFile.h"

namespace lpt51::app::testing {
namespace {

using Kind = ProbeModelPort::Kind;
using Messages = std::vector<std::string>;

const image::Lines kImage{":03000000020003F8", ":00000001FF"};

class FileCommandsTest : public WindowTest {
  protected:
    // A stand-in disassembler: checks it was given the hex file and writes
    // a listing with two heading lines.
    void installDisassembler() {
        const std::string path = appDir + "d51";
        std::ofstream(path) << "#!/bin/sh\n"
                               "test \"$1\" = temxyzbg && test -f temxyzbg.hex || exit 1\n"
                               "printf 'head 1\\nhead 2\\n\\tljmp X0003\\n' > temxyzbg.d51\n";
        chmod(path.c_str(), 0755);
    }
    Form1& opened() {
        Form1& w = start(Kind::PullUps);
        const std::string path = appDir + "image.hex";
        EXPECT_FALSE(image::SaveLines(path, kImage));
        dialogs.files = {path};
        w.SpeedButton1->click();
        return w;
    }
};

TEST_F(FileCommandsTest, DisassemblyViewAndBackToHex) {
    installDisassembler();
    Form1& w = opened();
    w.Disa->click();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    EXPECT_EQ(ViewLines(*w.RichEdit1), image::Lines{"\tljmp X0003"});
    EXPECT_FALSE(w.Disa->isEnabled());
    EXPECT_FALSE(w.write->isEnabled());
    EXPECT_FALSE(w.Wr->isEnabled());
    EXPECT_TRUE(w.Hex->isEnabled());
    EXPECT_TRUE(w.Hexa1->isEnabled());
    // The title names the file of the text shown: the listing's once saved,
    // the hex file's again in the hex view.
    const std::string hexFile = appDir + "image.hex";
    EXPECT_EQ(w.caption().toStdString(), hexFile);
    dialogs.files = {appDir + "image"};
    w.save->click();
    EXPECT_EQ(w.caption().toStdString(), appDir + "image.d51");

    w.Hex->click();
    EXPECT_EQ(w.caption().toStdString(), hexFile);
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
    EXPECT_TRUE(w.Disa->isEnabled());
    EXPECT_TRUE(w.write->isEnabled());
    EXPECT_FALSE(w.Hex->isEnabled());
}

TEST_F(FileCommandsTest, MissingDisassemblerIsNamedAndNothingChanges) {
    Form1& w = opened();
    w.Disa->click();
    EXPECT_EQ(dialogs.messages, Messages{"Can not find file " + appDir + "d51 !"});
    EXPECT_TRUE(w.Disa->isEnabled());
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
}

TEST_F(FileCommandsTest, ADisassemblerThatCannotStartIsNamedWithTheSystemsReason) {
    std::ofstream(appDir + "d51") << "#!/bin/sh\n";  // not executable
    Form1& w = opened();
    w.Disa->click();
    EXPECT_EQ(dialogs.messages,
              Messages{"Cannot start the disassembler " + appDir + "d51: Permission denied."});
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
    EXPECT_TRUE(w.Disa->isEnabled());
}

TEST_F(FileCommandsTest, AFailingDisassemblerIsHeardInItsOwnWords) {
    const std::string path = appDir + "d51";
    std::ofstream(path)
        << "#!/bin/sh\n"
           "echo 'd51: temxyzbg.hex: line 2: field at column 9 is not hexadecimal' >&2\n"
           "exit 1\n";
    chmod(path.c_str(), 0755);
    Form1& w = opened();
    w.Disa->click();
    EXPECT_EQ(dialogs.messages,
              Messages{"The listing could not be made:\rd51: temxyzbg.hex: line 2: field at "
                       "column 9 is not hexadecimal"});
    // The view still shows the hex text, and the commands still say so.
    EXPECT_EQ(ViewLines(*w.RichEdit1), kImage);
    EXPECT_TRUE(w.Disa->isEnabled());
    EXPECT_FALSE(w.Hex->isEnabled());
    EXPECT_TRUE(w.write->isEnabled());
}

TEST_F(FileCommandsTest, SaveAsksBeforeReplacingAndTakesTheHexExtension) {
    Form1& w = opened();
    const std::string target = appDir + "copy.hex";
    std::ofstream(target) << "mine\n";
    // First choice refused at the question, second accepted.
    dialogs.files = {appDir + "copy.txt", appDir + "copy"};
    dialogs.answers = {Answer::No, Answer::Yes};
    w.save->click();
    EXPECT_EQ(dialogs.messages, (Messages{"File is already exist!\r   Replace it ? ",
                                          "File is already exist!\r   Replace it ? "}));
    image::Lines saved;
    ASSERT_FALSE(image::LoadLines(target, saved));
    EXPECT_EQ(saved, kImage);
    EXPECT_EQ(w.caption().toStdString(), target);
    EXPECT_EQ(w.currentImageFile, appDir + "image.hex");
}

TEST_F(FileCommandsTest, SaveCancelledAtTheQuestionLeavesTheFile) {
    Form1& w = opened();
    const std::string target = appDir + "copy.hex";
    std::ofstream(target) << "mine\n";
    dialogs.files = {target};
    dialogs.answers = {Answer::No};
    w.save->click();  // No, then the dialog again: cancelled
    std::ifstream file(target);
    std::string line;
    std::getline(file, line);
    EXPECT_EQ(line, "mine");
}

}  // namespace
}  // namespace lpt51::app::testing
