// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramContext.h"

#include <filesystem>

#include "image/AppFiles.h"

namespace lpt51::app {

WindowContext ProgramWindowContext(const BackendOptions& options, Dialogs& dialogs,
                                   const std::string& programDir) {
    WindowContext context;
    // Opened by the window's session during start-up, after the clock is measured.
    context.backendOptions = options;
    context.dialogs = &dialogs;
    context.programDir = programDir;
    context.appDir = image::ResolveAppDirs(programDir).files;
    context.appDirectory = [programDir] { return image::ResolveAppDirs(programDir).files; };
    context.windowDirectory = image::WindowDirectory::create(context.appDir);
    return context;
}

std::string DialogDirectory(const WindowContext& context) {
    if (context.programDir.empty() || context.appDir == context.programDir) return context.appDir;
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? context.appDir : here.string() + "/";
}

}  // namespace lpt51::app
