#include "app/ProgramContext.h"

#include <filesystem>

#include "image/AppFiles.h"
#include "port/Calibration.h"

namespace lpt51::app {

namespace {

// A fixed clock for the virtual adapter with virtual timing: its waits take no
// time, so the half-second measurement would only delay the start.
constexpr double kVirtualCpuMHz = 1000.0;

}  // namespace

WindowContext ProgramWindowContext(std::unique_ptr<Backend>& backend, const BackendOptions& options,
                                   Dialogs& dialogs, const std::string& programDir) {
    WindowContext context;
    // Opened by the window's start-up, after the clock is measured.
    context.openBackend = [&backend, options] {
        backend = Backend::open(options);
        return backend.get();
    };
    context.dialogs = &dialogs;
    context.programDir = programDir;
    context.appDir = image::ResolveAppDirs(programDir).files;
    context.appDirectory = [programDir] { return image::ResolveAppDirs(programDir).files; };
    if (TimedVirtually(options)) {
        context.measureCpuMHz = [] { return kVirtualCpuMHz; };
        context.nominalClock = true;
    } else {
        context.measureCpuMHz = [] { return MeasureCpuMHz(); };
    }
    return context;
}

std::string DialogDirectory(const WindowContext& context) {
    if (context.programDir.empty() || context.appDir == context.programDir) return context.appDir;
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? context.appDir : here.string() + "/";
}

}  // namespace lpt51::app
