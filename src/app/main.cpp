#include <QApplication>
#include <QIcon>
#include <cstdio>
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

}  // namespace

int main(int argc, char** argv) {
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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lpt51"));
    const std::string programDir = lpt51::image::AppDirOfExecutable();
    app.setWindowIcon(WindowIcon(programDir));

    lpt51::app::QtDialogs dialogs;
    lpt51::app::WindowContext context =
        lpt51::app::ProgramWindowContext(arguments.backend, dialogs, programDir);
    context.timing = arguments.timing;

    lpt51::app::Form1 window(std::move(context));
    dialogs.setParent(&window);
    lpt51::app::TerminationSignals terminations([&window](int sig) { window.signalArrived(sig); });
    window.FormCreate();
    window.show();
    if (openAtStart) window.openFile(*openAtStart);
    // A signal that came during a start-up message has closed the window
    // already, before the loop that would have ended with it.
    if (window.endingSignal() != 0) return 128 + window.endingSignal();
    if (!arguments.screenshot.empty()) {
        QApplication::processEvents();
        return window.grab().save(QString::fromStdString(arguments.screenshot)) ? 0 : 1;
    }
    const int status = app.exec();
    // Ended by a signal: the status a shell expects of it.
    return window.endingSignal() != 0 ? 128 + window.endingSignal() : status;
}
