// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/FileArgument.h"
#include "app/MainWindow.h"
#include "app/ProgramContext.h"
#include "app/QtDialogs.h"
#include "app/TerminationSignals.h"
#include "backend/Backend.h"
#include "cli/CommandLine.h"
#include "file/StandardStreams.h"
#include "image/AppFiles.h"

#ifndef LPT51_ICON_FROM_BIN
#define LPT51_ICON_FROM_BIN "../share/icons/hicolor/scalable/apps/lpt51.svg"
#endif

namespace {

// Beside the executable in the build tree, in the icon theme of the prefix
// once installed.
QIcon WindowIcon(const std::string& programDir) {
    for (const std::string& path : {lpt51::image::AppPath(programDir, "lpt51.svg"),
                                    lpt51::image::AppPath(programDir, LPT51_ICON_FROM_BIN)}) {
        if (lpt51::image::FileExists(path)) return QIcon(QString::fromStdString(path));
    }
    return QIcon::fromTheme(QStringLiteral("lpt51"));
}

constexpr const char* kNoDisplayUse =
    "The commands work without one: see 'lpt51 --help', e.g. 'lpt51 info' or "
    "'lpt51 --device 12v write FILE.hex'.\n";

void SayNoDisplay(const char* why) {
    std::fprintf(stderr, "lpt51: there is no display to open the window on (%s).\n%s", why,
                 kNoDisplayUse);
}

// A platform plugin that draws nowhere (offscreen, minimal, vnc) needs no
// display; xcb and wayland do, and Qt aborts when they find none.
bool DisplayMissing() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string chosen = platform != nullptr ? platform : "";
    if (!chosen.empty() && chosen.rfind("xcb", 0) != 0 && chosen.rfind("wayland", 0) != 0)
        return false;
    const auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v != nullptr && *v != '\0';
    };
    return !set("DISPLAY") && !set("WAYLAND_DISPLAY");
}

// Qt ends with a fatal message when its platform cannot open the display
// it was given; that is the same missing display, not a crash.
bool g_startingQt = false;
QtMessageHandler g_qtHandler = nullptr;

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && g_startingQt) {
        std::fputs(qPrintable(text + QStringLiteral("\n")), stderr);
        SayNoDisplay("the window system could not be reached");
        std::_Exit(lpt51::cli::kExitUsage);
    }
    if (g_qtHandler != nullptr) g_qtHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard stream would otherwise be
    // the number the state file, its lock or a read-out opens as, and the
    // program's messages would be written into it.
    if (!lpt51::file::OpenStandardStreams()) {
        std::fputs("lpt51: a standard stream is closed and /dev/null cannot be opened\n", stderr);
        return lpt51::cli::kExitFailed;
    }
    // A write past the file-size limit (ulimit -f) then fails with EFBIG and
    // a reader gone from a pipe with EPIPE, each reported as the failed write
    // it is, instead of the signal ending the program with the port mid-step.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    lpt51::cli::WindowArguments arguments;
    if (const std::optional<int> code =
            lpt51::cli::RunProgramLine(std::vector<std::string>(argv + 1, argv + argc), arguments))
        return *code;
    const std::optional<std::string> openAtStart = lpt51::app::TakeFileArgument(arguments.words);
    if (!arguments.words.empty()) {
        std::fprintf(stderr, "lpt51: unknown command '%s'\nTry 'lpt51 --help'.\n",
                     arguments.words.front().c_str());
        return lpt51::cli::kExitUsage;
    }

    if (DisplayMissing()) {
        SayNoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
        return lpt51::cli::kExitUsage;
    }
    g_qtHandler = qInstallMessageHandler(OnQtMessage);
    g_startingQt = true;
    QApplication app(argc, argv);
    g_startingQt = false;
    QApplication::setApplicationName(QStringLiteral("lpt51"));
    const std::string programDir = lpt51::image::AppDirOfExecutable();
    app.setWindowIcon(WindowIcon(programDir));

    lpt51::app::QtDialogs dialogs;
    lpt51::app::WindowContext context =
        lpt51::app::ProgramWindowContext(arguments.backend, dialogs, programDir);
    context.timing = arguments.timing;
    context.device = arguments.device;

    lpt51::app::Form1 window(std::move(context));
    dialogs.setParent(&window);
    if (!arguments.screenshot.empty()) {
        // Taken from the event loop, so that a message the file brings up
        // (a dialog with a loop of its own) cannot keep the picture from
        // being taken or the program from ending.
        QTimer::singleShot(0, &window, [&window, &arguments] {
            const int code =
                window.grab().save(QString::fromStdString(arguments.screenshot)) ? 0 : 1;
            if (QApplication::activeModalWidget() == nullptr) {
                QApplication::exit(code);
                return;
            }
            std::fflush(nullptr);
            std::_Exit(code);
        });
    }
    lpt51::app::TerminationSignals terminations([&window](int sig) { window.signalArrived(sig); });
    window.FormCreate();
    window.show();
    if (openAtStart) window.openFile(*openAtStart);
    // A signal that came during a start-up message has closed the window
    // already, before the loop that would have ended with it.
    if (window.endingSignal() != 0) return 128 + window.endingSignal();
    const int status = app.exec();
    // Ended by a signal: the status a shell expects of it.
    return window.endingSignal() != 0 ? 128 + window.endingSignal() : status;
}
