// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <fstream>

#include "../cli/CliTestSupport.h"
#include "WindowFixture.h"
#include "app/FileArgument.h"
#include "app/OperationProgress.h"
#include "app/QtDialogs.h"
#include "app/RecentFiles.h"
#include "app/TerminationSignals.h"
#include "app/ViewText.h"
#include "image/TextFile.h"
#include "port/Bus.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::app::testing {
namespace {

using Messages = std::vector<std::string>;

// Four records of 16 bytes, neither erased nor zero.
const image::Lines kFourRecords{
    ":10000000A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A0",
    ":10001000A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A590",
    ":10002000A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A580",
    ":10003000A5A5A5A5A5A5A5A5A5A5A5A5A5A5A5A570",
    ":00000001FF",
};

std::unique_ptr<Backend> VirtualChip(const std::string& trace = {}) {
    BackendOptions options;
    options.trace = trace;
    options.port = "sim";
    options.simChip = sim::ChipKind::Part12V;
    options.simPort = sim::PortKind::Bidirectional;
    options.virtualTiming = true;
    return Backend::open(options);
}

// Presses Cancel, by its key Alt+C, on the progress dialog as soon as the
// event loop runs, which is after the dialog is up and before the first byte.
void CancelProgressSoon(Form1& w) {
    QTimer::singleShot(0, &w, [&w] {
        auto* progress = w.findChild<QProgressDialog*>();
        ASSERT_NE(progress, nullptr);
        for (auto* button : progress->findChildren<QAbstractButton*>()) {
            if (button->shortcut() == QKeySequence(QStringLiteral("Alt+C"))) button->click();
        }
    });
}

// A file dropped as a drag from a file manager arrives: entered, then dropped.
void Drop(Form1& w, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent event(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
    QCoreApplication::processEvents();  // opened once the drop is over
}

// Presses Cancel on the progress dialog titled `title` as soon as it is up,
// before its first byte; keeps the title of every progress dialog it saw.
class CancelOnStep {
  public:
    CancelOnStep(Form1& w, QString title) : window_(w), title_(std::move(title)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(0);
    }
    std::vector<std::string> titles;

  private:
    void poll() {
        auto* progress = window_.findChild<QProgressDialog*>();
        if (progress == nullptr || !progress->isVisible()) return;
        const std::string title = progress->windowTitle().toStdString();
        if (titles.empty() || titles.back() != title) titles.push_back(title);
        if (progress->windowTitle() == title_ && !progress->wasCanceled()) progress->cancel();
    }

    Form1& window_;
    QString title_;
    QTimer timer_;
};

class DesktopTest : public WindowTest {
  protected:
    Form1& openedOnVirtualChip(const std::string& trace = {}) {
        Form1& w = startOn(VirtualChip(trace));
        const std::string file = appDir + "image.hex";
        EXPECT_FALSE(image::SaveLines(file, kFourRecords));
        dialogs.files = {file};
        w.SpeedButton1->click();
        w.AT89C5112V1->trigger();
        dialogs.messages.clear();
        return w;
    }
    void expectPortAtRest() {
        Port& p = *realBackend->port();
        EXPECT_EQ(p.readControl(), control::kRest);
        EXPECT_EQ(p.readData(), 0);
    }
};

TEST_F(DesktopTest, CancelStopsAWriteBetweenBytesAndEndsClearWriteVerifyThere) {
    Form1& w = openedOnVirtualChip();
    CancelProgressSoon(w);
    w.write->click();

    EXPECT_EQ(dialogs.messages,
              Messages{"Write Chip stopped before the first byte.\rThe port is at rest; the chip "
                       "was not changed."});
    expectPortAtRest();
    const auto& code = realBackend->virtualAdapter()->chip().code;
    EXPECT_EQ(code[0], 0xFF);
    // The window is usable again and shows the whole image; nothing says the
    // chip was written.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(w.write->isEnabled());
    EXPECT_EQ(w.write->text().toStdString(), "Write Chip");
    EXPECT_FALSE(w.verify->isEnabled());
    EXPECT_EQ(ViewLines(*w.RichEdit1), kFourRecords);

    // Within Clear-Write-Verify the stopped write ends the sequence: no
    // verify of a half-written chip and no "Task complete !".
    dialogs.messages.clear();
    {
        CancelOnStep cancel(w, QStringLiteral("step 2 of 3: Write Chip"));
        w.Cwv->click();
        EXPECT_EQ(cancel.titles, std::vector<std::string>{"step 2 of 3: Write Chip"});
    }
    EXPECT_EQ(dialogs.messages,
              Messages{"Write Chip stopped before the first byte.\rThe port is at rest; the chip "
                       "was erased, and nothing of the file was programmed."});
    EXPECT_EQ(w.state.CwvActive, 0);
    EXPECT_EQ(w.verify->text().toStdString(), "Verify Chip");
    expectPortAtRest();
    EXPECT_EQ(ViewLines(*w.RichEdit1), kFourRecords);

    // Stopped in its verify step, it says the chip was erased and written.
    dialogs.messages.clear();
    {
        CancelOnStep cancel(w, QStringLiteral("step 3 of 3: Verify Chip"));
        w.Cwv->click();
        EXPECT_EQ(cancel.titles, (std::vector<std::string>{"step 2 of 3: Write Chip",
                                                           "step 3 of 3: Verify Chip"}));
    }
    EXPECT_EQ(dialogs.messages,
              Messages{"Verify Chip stopped before the first byte.\rThe port is at rest; the chip "
                       "was erased and holds the file as written; it was not verified."});
    EXPECT_EQ(realBackend->virtualAdapter()->chip().code[0x3F], 0xA5);
    EXPECT_EQ(w.state.CwvActive, 0);
    EXPECT_TRUE(w.verify->isEnabled());
    EXPECT_EQ(w.verify->text().toStdString(), "Verify Chip");
    expectPortAtRest();
    EXPECT_EQ(ViewLines(*w.RichEdit1), kFourRecords);
}

// What reached the port, not only its last state: the stopped write ends
// with the bus's release, as every sequence does.
TEST_F(DesktopTest, AStoppedWriteEndsItsPortTraceWithTheRelease) {
    const std::string trace = appDir + "write.txt";
    Form1& w = openedOnVirtualChip(trace);
    CancelProgressSoon(w);
    w.write->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    std::ifstream in(trace);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(cli::test::EndsAtRest(text));
}

TEST(ProgressLabel, SaysTheBytesDoneAndGuessesTheTimeLeftFromTheRateSoFar) {
    using std::chrono::milliseconds;
    EXPECT_EQ(
        ProgressLabel(QStringLiteral("Write Chip"), 1024, 4096, milliseconds(5200)),
        QStringLiteral("Write Chip\n1024 of 4096 bytes (25 %)\nElapsed 0:05, about 0:16 left"));
    EXPECT_EQ(ProgressLabel(QStringLiteral("Read Chip"), 4096, 4096, milliseconds(61000)),
              QStringLiteral("Read Chip\n4096 of 4096 bytes (100 %)\nElapsed 1:01"));
    EXPECT_EQ(ProgressLabel(QStringLiteral("Verify Chip"), 0, 0, milliseconds(0)),
              QStringLiteral("Verify Chip\nStarting ..."));
}

TEST_F(DesktopTest, CancelledReadOutPutsTheViewAndStatusBack) {
    Form1& w = openedOnVirtualChip();
    w.setCaption(QStringLiteral("mine.hex"));
    CancelProgressSoon(w);
    w.read->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0],
              "Read Chip stopped before the first byte.\rThe port is at rest; the "
              "chip was not changed. The view shows what it showed before.");
    expectPortAtRest();
    EXPECT_EQ(ViewLines(*w.RichEdit1), kFourRecords);
    EXPECT_EQ(w.caption().toStdString(), "mine.hex");
    EXPECT_EQ(w.Label4->text().toStdString(), "64");
    EXPECT_EQ(w.currentImageFile, appDir + "image.hex");
    EXPECT_TRUE(w.read->isEnabled());
    EXPECT_FALSE(exists("temxyzbg.hex"));
}

TEST_F(DesktopTest, ASignalDuringAWriteFinishesTheByteReleasesThePortAndExits) {
    // The handlers reach the window through the event loop.
    std::vector<int> caught;
    {
        TerminationSignals terminations([&caught](int sig) { caught.push_back(sig); });
        ASSERT_TRUE(terminations.installed());
        ::raise(SIGHUP);
        for (int i = 0; i < 100 && caught.empty(); ++i) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
    }
    EXPECT_EQ(caught, std::vector<int>{SIGHUP});

    Form1& w = openedOnVirtualChip();
    w.show();
    // After the first byte: the loop runs once as the dialog comes up, and
    // once more after each byte.
    QTimer::singleShot(0, &w,
                       [&w] { QTimer::singleShot(0, &w, [&w] { w.signalArrived(SIGTERM); }); });
    w.write->click();
    // Nobody may be there to answer a box while the session ends.
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    expectPortAtRest();
    EXPECT_EQ(realBackend->virtualAdapter()->chip().code[0], 0xA5);
    EXPECT_EQ(realBackend->virtualAdapter()->chip().code[1], 0xFF);
    EXPECT_EQ(w.endingSignal(), SIGTERM);
    touch("temxyzbg.hex");
    QCoreApplication::processEvents();  // the Exit command, queued
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(exists("temxyzbg.hex"));
}

TEST_F(DesktopTest, RefusedVerifyLeavesTheListingAndTheCommandsAsTheyWere) {
    Form1& w = startOn(VirtualChip());
    const image::Lines listing{"\tljmp X0003", "\tnop"};
    SetViewLines(*w.RichEdit1, listing);
    w.currentImageFile = appDir + "image.hex";
    ASSERT_FALSE(image::SaveLines(w.currentImageFile, kFourRecords));
    // The view kind after the disassembly view: Disa and verify off, Ve on
    // from an earlier write.
    w.Disa->setEnabled(false);
    w.Hex->setEnabled(true);
    w.Ve->setEnabled(true);

    w.Ve->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].rfind("Verify refused: line 1", 0), 0u) << dialogs.messages[0];
    EXPECT_EQ(ViewLines(*w.RichEdit1), listing);
    EXPECT_FALSE(w.Disa->isEnabled());
    EXPECT_FALSE(w.verify->isEnabled());
    EXPECT_EQ(w.verify->text().toStdString(), "Verify Chip");
}

// Answers each modal window once it has stood on screen for a few polls: the
// file dialog with `file`, a message box with its default button. After
// `polls` polls it cancels whatever is still open. Every box answered is kept.
class ModalAnswers {
  public:
    ModalAnswers(QString file, int polls) : file_(std::move(file)), polls_(polls) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    std::vector<std::string> boxes;
    std::vector<std::string> filters;  // each file dialog's, joined by ";;"

  private:
    // A dialog pressed while exec() is still showing it would be hidden
    // before its event loop starts and never return: wait until it stands.
    static constexpr int kSettlePolls = 3;

    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (--polls_ < 0) {
            if (modal != nullptr) {
                modal->close();
            } else if (auto* dialog = qobject_cast<QDialog*>(candidate_.data())) {
                dialog->done(QDialog::Rejected);
            }
            return;
        }
        if (modal == nullptr || !modal->isVisible()) return;
        // A QPointer notices a new box at the address of one just closed.
        if (candidate_.data() != modal) {
            candidate_ = modal;
            stood_ = 0;
        }
        if (++stood_ != kSettlePolls) return;

        // Pressed from a timer of its own: a timer does not fire again while
        // its own slot runs, and pressing may open the next dialog.
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back(box->text().toStdString());
            QTimer::singleShot(0, box, [box] { box->defaultButton()->click(); });
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            filters.push_back(dialog->nameFilters().join(QStringLiteral(";;")).toStdString());
            // Typed into the name field as a user would: selectFile() leaves
            // a field that has the focus alone.
            QTimer::singleShot(0, dialog, [dialog, file = file_] {
                if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                    name->setText(file);
                }
                static_cast<QDialog*>(dialog)->accept();
            });
        }
    }

    QString file_;
    int polls_;
    QPointer<QWidget> candidate_;
    int stood_ = 0;
    QTimer timer_;
};

TEST_F(DesktopTest, SaveOverAnExistingFileAsksOneQuestionAndOpenListsBothHexNames) {
    start(ProbeModelPort::Kind::PullUps);  // for its backend
    const std::string target = appDir + "copy.hex";
    std::ofstream(target) << "mine\n";

    // A window with the real dialogs.
    QtDialogs boxes;
    WindowContext context;
    context.backend = backend.get();
    context.dialogs = &boxes;
    context.appDir = appDir;
    Form1 real(std::move(context));
    boxes.setParent(&real);
    SetViewLines(*real.RichEdit1, kFourRecords);
    real.Disa->setEnabled(true);  // hex text shown
    {
        ModalAnswers answers(QString::fromStdString(target), 300);
        real.saveClick();
        EXPECT_EQ(answers.boxes,
                  std::vector<std::string>{"File is already exist!\n   Replace it ? "});
    }
    image::Lines saved;
    ASSERT_FALSE(image::LoadLines(target, saved));
    EXPECT_EQ(saved, kFourRecords);

    // sdcc names its Intel HEX .ihx: the first filter lists it.
    const std::string ihx = appDir + "blink.ihx";
    ASSERT_FALSE(image::SaveLines(ihx, kFourRecords));
    ModalAnswers open(QString::fromStdString(ihx), 300);
    real.SpeedButton1Click();
    EXPECT_EQ(open.filters, std::vector<std::string>{"Intel HEX subory (*.hex *.ihx);;Raw image "
                                                     "(*.bin);;All files (*)"});
    EXPECT_EQ(real.caption().toStdString(), ihx);
    EXPECT_EQ(ViewLines(*real.RichEdit1), kFourRecords);
}

TEST_F(DesktopTest, AFileNamedAtStartOpensAsOpenDoes) {
    const std::string file = appDir + "image.hex";
    ASSERT_FALSE(image::SaveLines(file, kFourRecords));
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(appDir.c_str()), 0);
    std::vector<std::string> args{"./image.hex"};
    const std::optional<std::string> named = TakeFileArgument(args);
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_TRUE(named);
    EXPECT_EQ(*named, file);
    EXPECT_TRUE(args.empty());
    std::vector<std::string> notOne{"--port", "sim"};
    EXPECT_FALSE(TakeFileArgument(notOne));

    Form1& w = start(ProbeModelPort::Kind::PullUps);
    w.openFile(*named);
    EXPECT_EQ(w.caption().toStdString(), file);
    EXPECT_EQ(w.Label4->text().toStdString(), "64");
    EXPECT_TRUE(w.write->isEnabled());
    EXPECT_TRUE(w.Wr->isEnabled());
    EXPECT_EQ(ViewLines(*w.RichEdit1), kFourRecords);

    // A missing file is said, and nothing else changes.
    w.openFile(appDir + "gone.hex");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("gone.hex"), std::string::npos);
    EXPECT_EQ(w.caption().toStdString(), file);
}

TEST_F(DesktopTest, ADroppedHexFileOpensAndOpenRecentKeepsItAcrossARestart) {
    const std::string file = appDir + "image.hex";
    ASSERT_FALSE(image::SaveLines(file, kFourRecords));
    {
        Form1& w = start(ProbeModelPort::Kind::PullUps);
        EXPECT_FALSE(w.OpenRecent->isEnabled());
        Drop(w, file);
        EXPECT_EQ(w.caption().toStdString(), file);
        EXPECT_EQ(w.Label4->text().toStdString(), "64");
        EXPECT_TRUE(w.write->isEnabled());
        EXPECT_EQ(ViewLines(*w.RichEdit1), kFourRecords);

        // Anything else is refused, and the view stays.
        touch("notes.txt");
        Drop(w, appDir + "notes.txt");
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].rfind("Only one Intel HEX file", 0), 0u);
        EXPECT_EQ(w.caption().toStdString(), file);
        // A .bin goes through Open's checks: not being a HEX text, it is an
        // incorrect file, and a missing one is said.
        Drop(w, appDir + "gone.bin");
        ASSERT_EQ(dialogs.messages.size(), 2u);
        EXPECT_NE(dialogs.messages[1].find("gone.bin"), std::string::npos);
    }
    // Six files opened: the last five, newest first, after a restart.
    for (int i = 1; i <= 6; ++i) {
        const std::string other = appDir + "f" + std::to_string(i) + ".hex";
        ASSERT_FALSE(image::SaveLines(other, kFourRecords));
        window->openFile(other);
    }
    window->openFile(appDir + "f4.hex");
    Form1& again = start(ProbeModelPort::Kind::PullUps);
    std::vector<std::string> listed;
    for (QAction* entry : again.OpenRecent->actions())
        listed.push_back(entry->text().toStdString());
    EXPECT_EQ(listed,
              (std::vector<std::string>{"&1 " + appDir + "f4.hex", "&2 " + appDir + "f6.hex",
                                        "&3 " + appDir + "f5.hex", "&4 " + appDir + "f3.hex",
                                        "&5 " + appDir + "f2.hex"}));
    again.OpenRecent->actions().at(1)->trigger();
    EXPECT_EQ(again.caption().toStdString(), appDir + "f6.hex");
    EXPECT_EQ(ViewLines(*again.RichEdit1), kFourRecords);

    // A file that is gone leaves the list as the menu opens; one that went
    // while the menu stood is said to be gone when it is picked.
    const auto listedNow = [&again] {
        std::vector<std::string> names;
        for (QAction* entry : again.OpenRecent->actions())
            names.push_back(entry->text().toStdString());
        return names;
    };
    std::filesystem::remove(appDir + "f5.hex");
    emit again.OpenRecent->aboutToShow();
    EXPECT_EQ(listedNow(),
              (std::vector<std::string>{"&1 " + appDir + "f6.hex", "&2 " + appDir + "f4.hex",
                                        "&3 " + appDir + "f3.hex", "&4 " + appDir + "f2.hex"}));
    std::filesystem::remove(appDir + "f3.hex");
    dialogs.messages.clear();
    again.OpenRecent->actions().at(2)->trigger();
    EXPECT_EQ(dialogs.messages,
              Messages{appDir + "f3.hex no longer exists; it was taken off Open Recent."});
    EXPECT_EQ(again.caption().toStdString(), appDir + "f6.hex");
    EXPECT_EQ(RecentFiles(appDir),
              (std::vector<std::string>{appDir + "f6.hex", appDir + "f4.hex", appDir + "f2.hex"}));
}

// What the command line takes, the window opens: a raw image as the records
// a read-out would give it, by Open, by a drop and named at start, then
// written and verified from those records; an .ihx is Intel HEX.
TEST_F(DesktopTest, ARawImageOpensAsItsRecordsEveryWayAndIsWrittenAndVerified) {
    Form1& w = openedOnVirtualChip();
    const std::string bin = appDir + "prog.bin";
    const std::string bytes = std::string("\x02\x00\x03", 3) + std::string(17, '\xA5');
    std::ofstream(bin, std::ios::binary) << bytes;
    const image::Lines records{":10000000020003A5A5A5A5A5A5A5A5A5A5A5A5A58A", ":04001000A5A5A5A558",
                               ":00000001FF"};
    const std::string ihx = appDir + "prog.ihx";
    ASSERT_FALSE(image::SaveLines(ihx, kFourRecords));

    dialogs.files = {bin};
    w.SpeedButton1->click();
    EXPECT_EQ(ViewLines(*w.RichEdit1), records);
    EXPECT_EQ(w.Label4->text().toStdString(), "20");
    Drop(w, ihx);
    EXPECT_EQ(ViewLines(*w.RichEdit1), kFourRecords);
    Drop(w, bin);
    EXPECT_EQ(ViewLines(*w.RichEdit1), records);
    std::vector<std::string> args{bin};
    w.openFile(*TakeFileArgument(args));
    EXPECT_EQ(w.caption().toStdString(), bin);
    EXPECT_EQ(ViewLines(*w.RichEdit1), records);
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();

    // Each reloads its view from the .bin when it ends.
    w.write->click();
    w.verify->click();
    EXPECT_EQ(dialogs.messages, (Messages{"File was burn !", "File Check successful!"}));
    EXPECT_EQ(ViewLines(*w.RichEdit1), records);
    EXPECT_EQ(realBackend->virtualAdapter()->chip().code[19], 0xA5);

    // More than the chip holds: said, and the view stays.
    dialogs.messages.clear();
    std::ofstream(appDir + "big.bin", std::ios::binary) << std::string(4097, '\0');
    w.openFile(appDir + "big.bin");
    EXPECT_EQ(dialogs.messages,
              Messages{appDir + "big.bin: 4097 bytes, more than the chip's 4096."});
    EXPECT_EQ(ViewLines(*w.RichEdit1), records);
}

}  // namespace
}  // namespace lpt51::app::testing
