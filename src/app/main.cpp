#include <QApplication>
#include <QIcon>
#include <optional>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "backend/Backend.h"
#include "image/AppFiles.h"
#include "port/Calibration.h"

#include "cli/CommandLine.h"

#ifndef LPT51_ICON_FROM_BIN
#define LPT51_ICON_FROM_BIN "../share/icons/hicolor/scalable/apps/lpt51.svg"
#endif

namespace {

// A fixed clock for the virtual adapter with virtual timing: its waits take no
// time, so the half-second measurement would only delay the start.
constexpr double kVirtualCpuMHz = 1000.0;

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
    const lpt51::BackendOptions& options = arguments.backend;
    const std::string& screenshot = arguments.screenshot;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lpt51"));
    const lpt51::image::AppDirs dirs =
        lpt51::image::ResolveAppDirs(lpt51::image::AppDirOfExecutable());
    app.setWindowIcon(WindowIcon(dirs.program));

    std::unique_ptr<lpt51::Backend> backend = lpt51::Backend::open(options);
    lpt51::app::QtDialogs dialogs;
    lpt51::app::WindowContext context;
    context.backend = backend.get();
    context.dialogs = &dialogs;
    context.appDir = dirs.files;
    context.appDirectory = [] {
        return lpt51::image::ResolveAppDirs(lpt51::image::AppDirOfExecutable()).files;
    };
    context.programDir = dirs.program;
    if (options.virtualTiming && backend->virtualAdapter() != nullptr) {
        context.measureCpuMHz = [] { return kVirtualCpuMHz; };
    } else {
        context.measureCpuMHz = [] { return lpt51::MeasureCpuMHz(); };
    }

    lpt51::app::Form1 window(std::move(context));
    dialogs.setParent(&window);
    window.FormCreate();
    window.show();
    if (!screenshot.empty()) {
        QApplication::processEvents();
        return window.grab().save(QString::fromStdString(screenshot)) ? 0 : 1;
    }
    return app.exec();
}
