// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Dialogs.h"
#include "app/EndingPrompts.h"
#include "backend/Backend.h"
#include "chip/ProgrammerState.h"
#include "image/HexField.h"
#include "image/WindowDirectory.h"
#include "session/Operations.h"
#include "session/Session.h"

namespace lpt51::app {

class WindowView;

// The button the no-port message offers beside OK.
inline constexpr const char* kUseVirtualAdapter = "Use the virtual adapter";

// What the window is built on; tests replace each part.
struct WindowContext {
    // The port the session opens during start-up, unless one of the two
    // below replaces it.
    BackendOptions backendOptions;
    // An open backend, borrowed: it must outlive the window.
    Backend* backend = nullptr;
    // Opens the port during start-up, after the clock measurement: a claim
    // pulls PROG low until the port is put at rest, and the half-second
    // measurement must never lie in between. When set, it replaces `backend`;
    // what it returns stays the caller's.
    std::function<Backend*()> openBackend;
    Dialogs* dialogs = nullptr;
    // Where the marker and temporary files are kept, with a trailing '/': the
    // program's directory, or the user's state directory when that one is not
    // writable.
    std::string appDir;
    // Finds that directory again (read-out does before it saves).
    std::function<std::string()> appDirectory;
    // This window's own directory for its temporary files; they lie in
    // appDir when there is none.
    std::shared_ptr<const image::WindowDirectory> windowDirectory;
    // Where d51 is looked for; appDir when empty.
    std::string programDir;
    // Replaces the clock measurement (or the nominal figure of virtual timing).
    std::function<double()> measureCpuMHz;
    // The clock above is a fixed figure, not a measurement (virtual timing).
    bool nominalClock = false;
    QLocale locale = QLocale::system();  // its decimal separator reads the port test's number
    // --timing on the command line: this run's timing, whatever the Device
    // menu's marker says (the marker stays as it is).
    std::optional<chip::TimingKind> timing;
    // --device on the command line: selected during start-up as the Device
    // menu selects it, after the default-device setting.
    std::optional<std::string> device;
};

// The main window. Its handlers carry the commands; state that several of them
// share lives here and in the controls themselves: the cpu caption is the
// selected device, the two switches' captions tell their state.
class Form1 final : public QMainWindow {
    // First, so that `state` can refer into it.
    session::Session session_;

  public:
    explicit Form1(WindowContext context);

    // The session the window presents: the port, its clock and what Info says.
    session::Session& session() { return session_; }
    // What an operation gave back, once the chip has been saved: its own
    // messages, then the pulses that ran long, lpt51's messages and the
    // faults the virtual adapter noticed, each in a box.
    void present(const session::OperationResult& result);

    // Start-up: clock measurement, then the port opened and probed, marker
    // files, port at rest.
    void FormCreate();

    // The file the view was last loaded from or saved to, for the view kind
    // it shows (the hex text, the listing); empty when it came from no file
    // of the user's (a read-out). The title shows it, the program and the
    // port in use, or the port that was tried.
    void setCaption(const QString& file);
    const QString& caption() const { return listingShown_ ? listingFile_ : caption_; }

    // Open's steps after the file choice, for a file named on the command
    // line, dropped on the window or chosen from Open Recent too.
    void openFile(const std::string& path);

    // A termination signal, delivered from the event loop. During a write,
    // verify or read-out the operation finishes its byte, the port is put at
    // rest and the program ends; otherwise it acts as the Exit command.
    void signalArrived(int sig);
    // The signal that is ending the program, or 0.
    int endingSignal() const { return signalled_; }

    // Commands.
    void SpeedButton1Click();
    void saveClick();
    void exitClick();
    void Exit1Click();
    void Hexa1Click();
    void DisaClick();
    void clearClick();
    void writeClick();
    void verifyClick();
    void readClick();
    void lockClick();
    void CwvClick();
    void SignatClick();
    void AUTO1Click();
    void Test1Click();
    void CheckAdapter1Click();  // app/AdapterCheckCommand.cpp
    void Disabled1Click();
    void AT89C5112V1Click();
    void AT89C515V1Click();
    void Def12Click();
    void Datasheet1Click();
    // The Device menu's choice of port (app/PortChoice.cpp).
    void ParallelPort1Click();
    void VirtualAdapter1Click();
    void Info2Click();

    // Shared state: the session's.
    chip::ProgrammerState& state;
    // The file the view is reloaded from after write and verify; empty until
    // a file is opened or the chip read.
    std::string currentImageFile;

    // Controls, by the names the commands know them by.
    QToolButton *SpeedButton1, *save, *Hex, *Disa, *SpeedButton6;
    QLabel *StaticText1, *Label4, *StaticText3, *StaticText2, *Label1, *cpu;
    QLabel *Label6, *Label7, *Label8;
    QPlainTextEdit* RichEdit1;
    QPushButton *clear, *write, *verify, *read, *lock, *Cwv, *exit;
    QCheckBox *l1, *l2, *l3;
    QAction *Open1, *Save1, *Test1, *Disabled1, *Exit1;
    QAction* CheckAdapter1;
    QAction *Hexa1, *dis51;
    QAction *ClearChip1, *Wr, *Ve, *Re, *LockChip1;
    QAction *AT89C5112V1, *AT89C515V1, *Def12, *Datasheet1;
    QAction *ParallelPort1, *VirtualAdapter1;
    QAction* Info2;
    QMenu* OpenRecent = nullptr;

  protected:
    // A .hex, .ihx or .bin file dropped on the window opens as Open would open it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Open Recent lists the files remembered in the program's directory that
    // are still there, when the window starts and as the menu opens.
    void refreshRecentFiles();
    // An entry picked: the file opened, or said to be gone and dropped.
    void openRecent(const std::string& path);
    // Runs one of the session's operations with the window's view of it:
    // a progress dialog for each step that walks bytes, and aroundStep()'s
    // work before and after each step. `lines` is the text the command
    // started from.
    session::OperationResult runOperation(
        const image::Lines& lines,
        const std::function<session::OperationResult(WindowView&)>& operation);
    // The captions, enabled states and view around a step.
    void aroundStep(session::Step step, bool starting, bool finished, const image::Lines& lines);
    // The read-out's view work: the view cleared as it starts, put back when
    // it stops, and the image kept as the current file when it ends.
    void readOutStarting();
    void readOutStopped();
    void readOutFinished(const chip::CodeBytes& bytes);
    // The selected device, as the `cpu` caption shows it.
    std::string device() const { return cpu->text().toStdString(); }
    // Selects a device: the caption and ChipType.
    void selectDevice(const char* type);
    void buildControls();
    // The parts of buildControls(), each at the places and sizes the
    // window has always had.
    void buildLabels(QWidget* client);
    void buildView(QWidget* client);
    void buildCommandButtons(QWidget* client);
    void buildMenus();
    void connectCommands();
    void bidiOff();
    // The controls of bidirectional mode, back after bidiOff(); the device
    // selection stays as it is.
    void bidiOn();
    // The mode the port just opened allows: off on an output-only port (the
    // switch then goes too) and where the user switched it off.
    void applyProbe();
    // What start-up and a change of port say: why chip commands refuse (the
    // first time with the virtual adapter offered, when a parallel port was
    // asked for), or that the pull-ups are missing.
    void reportPort(bool starting);
    // Lets go of the port in use and opens the one `options` names.
    void useBackend(const BackendOptions& options);
    // The two ports the Device menu switches between: the one start-up was
    // given, and the other of the two kinds with the same options.
    BackendOptions virtualAdapterOptions() const;
    BackendOptions parallelPortOptions() const;
    bool onVirtualAdapter();
    // Without a usable port: the chip commands look unavailable, but still
    // say why when pressed.
    void showChipCommandsUnavailable();
    // Their own look again, once a port is usable.
    void showChipCommandsAvailable();
    // False, after saying why, when there is no usable port.
    bool portReady();
    // Why chip commands refuse (no port, no usable clock); empty when they run.
    std::string refusal() const;
    void refreshAppDir();
    // A temporary file of this window's, by its fixed name.
    std::string tempPath(const char* name) const;
    // Says so when a setting's marker file could not be made or removed.
    void keepSetting(const std::optional<std::string>& failure);
    // After write and verify: the current image file, or `before` without one.
    void reloadView(const image::Lines& before);
    // Closes the open message boxes and file dialogs as if cancelled.
    void closeModalDialogs();
    // Once a signal has arrived: the Exit command, from the event loop.
    void endIfSignalled();

    WindowContext context_;
    QString caption_;      // of the hex text
    QString listingFile_;  // of the listing
    bool listingShown_ = false;
    void showTitle();
    QMenu* actionMenu_ = nullptr;  // "Action   ": nothing but chip commands
    // The chip commands' palettes from before they were greyed.
    std::vector<std::pair<QWidget*, QPalette>> readyLook_;
    // The operation running, if any: between two of its bytes a signal
    // stops it instead of ending the program at once.
    WindowView* activeView_ = nullptr;
    // What a stopped read-out puts back.
    struct ViewBefore {
        QString title, listingTitle, size, status;
        bool listing = false;
        QPalette statusPalette;
        image::Lines lines;
    };
    std::optional<ViewBefore> beforeReadOut_;
    int signalled_ = 0;
    // What the chip commands say and ask: the window's boxes until a signal ends the program.
    EndingPrompts prompts_{*context_.dialogs, signalled_};
    bool exitQueued_ = false;
};

}  // namespace lpt51::app
