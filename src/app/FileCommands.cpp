// SPDX-License-Identifier: GPL-3.0-or-later
#include <filesystem>

#include "app/MainWindow.h"
#include "app/ProgramContext.h"
#include "app/ViewText.h"
#include "image/AppFiles.h"
#include "image/ImageFile.h"
#include "image/RunAndWait.h"
#include "image/SaveName.h"
#include "image/TextFile.h"

namespace lpt51::app {

void Form1::refreshAppDir() {
    if (context_.appDirectory) context_.appDir = context_.appDirectory();
}

std::string Form1::tempPath(const char* name) const {
    return image::AppPath(
        context_.windowDirectory ? context_.windowDirectory->path() : context_.appDir, name);
}

void Form1::saveClick() {
    // The view kind: the listing is shown exactly while Disa is disabled.
    const bool listing = !Disa->isEnabled();
    const std::string filter = listing ? "Dis51 file (*.d51)" : "Hex File (*.hex)";
    for (;;) {
        const std::optional<std::string> chosen =
            context_.dialogs->chooseSaveFile(filter, DialogDirectory(context_));
        if (!chosen) return;
        const std::string target = image::ChangeExtension(*chosen, listing ? ".d51" : ".hex");
        if (image::FileExists(target) &&
            context_.dialogs->ask(QuestionKind::Warning,
                                  "File is already exist!\r   Replace it ? ") == Answer::No) {
            continue;
        }
        if (std::optional<std::string> error = image::SaveLines(target, ViewLines(*RichEdit1))) {
            context_.dialogs->showMessage(*error);
            return;
        }
        setCaption(QString::fromStdString(target));
        return;
    }
}

void Form1::DisaClick() {
    refreshAppDir();
    const std::string program = image::DisassemblerPath(
        context_.programDir.empty() ? context_.appDir : context_.programDir);
    if (!image::FileExists(program)) {
        context_.dialogs->showMessage("Can not find file " + program + " !");
        return;
    }
    const std::string listingFile = tempPath(image::kTempD51);
    image::DeleteQuietly(listingFile);
    const std::string hexFile = tempPath(image::kTempHex);
    if (std::optional<std::string> error = image::SaveLines(hexFile, ViewLines(*RichEdit1))) {
        context_.dialogs->showMessage(*error);
        return;
    }
    const image::RunResult run = image::RunAndWait(program, {image::kTempBase}, tempPath(""));
    if (!run.started) {
        context_.dialogs->showMessage("Cannot start the disassembler " + program + ": " +
                                      run.startError + ".");
        return;
    }
    if (!run.exited) {
        context_.dialogs->showMessage("The disassembler " + program + " was ended by signal " +
                                      std::to_string(run.signal) + "; no listing was made.");
        return;
    }
    image::Lines lines;
    if (std::optional<std::string> error = image::LoadLines(listingFile, lines)) {
        // The disassembler's own account (the line and column it stopped
        // at) says more than the listing file it did not leave.
        std::string reason = run.errorOutput;
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        context_.dialogs->showMessage(reason.empty() ? *error
                                                     : "The listing could not be made:\r" + reason);
        return;
    }
    // The commands follow the view only once it shows the listing: after a
    // failure the hex text stays, and so does everything that says so (Save
    // takes the view kind from Disa).
    write->setEnabled(false);
    Wr->setEnabled(false);
    verify->setEnabled(false);
    Disa->setEnabled(false);
    dis51->setEnabled(false);
    Hex->setEnabled(true);
    Hexa1->setEnabled(true);
    SetViewLines(*RichEdit1, lines);
    DeleteFirstViewLine(*RichEdit1);
    DeleteFirstViewLine(*RichEdit1);
    // A new listing, of the hex text's file, until it is saved.
    listingShown_ = true;
    listingFile_ = caption_;
    showTitle();
}

void Form1::Hexa1Click() {
    if (!currentImageFile.empty()) {
        write->setEnabled(true);
        Wr->setEnabled(true);
    }
    Disa->setEnabled(true);
    dis51->setEnabled(true);
    Hex->setEnabled(false);
    Hexa1->setEnabled(false);
    listingShown_ = false;
    showTitle();
    image::Lines lines;
    if (image::LoadImageFile(currentImageFile, lines)) {
        if (std::optional<std::string> error = image::LoadLines(tempPath(image::kTempHex), lines)) {
            context_.dialogs->showMessage(*error);
            return;
        }
    }
    SetViewLines(*RichEdit1, lines);
}

}  // namespace lpt51::app
