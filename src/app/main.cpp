#include <QApplication>
#include <QIcon>
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "app/FileArgument.h"
#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "app/TerminationSignals.h"
#include "backend/Backend.h"
#include "image/AppFiles.h"
#include "port/Calibration.h"

#ifdef LPT51_HAVE_CLI
#include "cli/CommandLine.h"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: lpt51 [--port PORT] [--sim-chip 12v|5v|empty|foreign]\n"
    "             [--sim-port bidi|spp|nopullups] [--sim-timing virtual|real]\n"
    "             [--trace FILE] [--screenshot FILE.png] [FILE.hex]\n"
    "       lpt51 COMMAND ...   (info, signature, erase, write, verify, read, lock, cwv, check)\n"
    "\n"
    "PORT is a base address (0x378), a port name (parport0, /dev/parport0),\n"
    "or sim / sim:STATEFILE for the virtual adapter.\n"
    "FILE.hex is opened at start as the Open command opens it.\n"
    "--trace FILE records every port access of the run: a Value Change Dump\n"
    "for GTKWave or PulseView if FILE ends in .vcd, a text log otherwise.\n";

// A fixed clock for the virtual adapter with virtual timing: its waits take no
// time, so the half-second measurement would only delay the start.
constexpr double kVirtualCpuMHz = 1000.0;

bool isCommandWord(const std::string& word) {
    static const std::array<const char*, 9> kWords{"info", "signature", "erase", "write", "verify",
                                                   "read", "lock",      "cwv",   "check"};
    return std::any_of(kWords.begin(), kWords.end(), [&](const char* w) { return word == w; });
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
#ifdef LPT51_HAVE_CLI
            // The commands, their options and the exit codes.
            std::fputs("\n", stdout);
            std::fflush(stdout);
            return lpt51::RunCommandLine({"--help"});
#else
            return 0;
#endif
        }
        if (arg == "--version") {
            std::printf("lpt51 %s\n", LPT51_VERSION);
            return 0;
        }
    }
    if (std::any_of(args.begin(), args.end(), isCommandWord)) {
#ifdef LPT51_HAVE_CLI
        return lpt51::RunCommandLine(args);
#else
        std::fputs("lpt51: this build has no command-line commands.\n", stderr);
        return 2;
#endif
    }

    lpt51::BackendOptions options;
    if (auto error = lpt51::TakeBackendOptions(args, options)) {
        std::fprintf(stderr, "lpt51: %s\n%s", error->c_str(), kUsage);
        return 2;
    }
    std::string screenshot;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--screenshot" && i + 1 < args.size()) {
            screenshot = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            break;
        }
    }
    const std::optional<std::string> openAtStart = lpt51::app::TakeFileArgument(args);
    if (!args.empty()) {
        std::fprintf(stderr, "lpt51: unknown argument '%s'\n%s", args.front().c_str(), kUsage);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lpt51"));
    const std::string appDir = lpt51::image::AppDirOfExecutable();
    app.setWindowIcon(QIcon(QString::fromStdString(appDir + "lpt51.svg")));

    // Opened by the window's start-up, after the clock is measured; it
    // outlives the window, which only borrows it.
    std::unique_ptr<lpt51::Backend> backend;
    lpt51::app::QtDialogs dialogs;
    lpt51::app::WindowContext context;
    context.openBackend = [&backend, &options] {
        backend = lpt51::Backend::open(options);
        return backend.get();
    };
    context.dialogs = &dialogs;
    context.appDir = appDir;
    context.appDirectory = [] { return lpt51::image::AppDirOfExecutable(); };
    if (lpt51::TimedVirtually(options)) {
        context.measureCpuMHz = [] { return kVirtualCpuMHz; };
        context.nominalClock = true;
    } else {
        context.measureCpuMHz = [] { return lpt51::MeasureCpuMHz(); };
    }

    lpt51::app::Form1 window(std::move(context));
    dialogs.setParent(&window);
    lpt51::app::TerminationSignals terminations([&window](int sig) { window.signalArrived(sig); });
    window.FormCreate();
    window.show();
    if (openAtStart) window.openFile(*openAtStart);
    if (!screenshot.empty()) {
        QApplication::processEvents();
        return window.grab().save(QString::fromStdString(screenshot)) ? 0 : 1;
    }
    const int status = app.exec();
    // Ended by a signal: the status a shell expects of it.
    return window.endingSignal() != 0 ? 128 + window.endingSignal() : status;
}
