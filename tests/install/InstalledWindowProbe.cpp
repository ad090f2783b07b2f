// SPDX-License-Identifier: GPL-3.0-or-later
// installed_window_probe PREFIX start|def12|disassemble FILE
//
// Builds the window on the virtual adapter exactly as the program installed
// under PREFIX does (its directory PREFIX/bin/), does one thing, shows Info
// and prints what the window then shows.
#include <QApplication>
#include <iostream>
#include <string>

#include "../app/WindowFixture.h"
#include "app/MainWindow.h"
#include "app/ProgramContext.h"
#include "backend/Backend.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: installed_window_probe PREFIX start|def12|disassemble FILE\n";
        return 2;
    }
    const std::string prefix = argv[1];
    const std::string action = argv[2];
    QApplication app(argc, argv);

    lpt51::BackendOptions options;
    options.port = "sim";
    options.virtualTiming = true;
    lpt51::app::testing::ScriptedDialogs dialogs;
    lpt51::app::Form1 window(lpt51::app::ProgramWindowContext(options, dialogs, prefix + "/bin/"));
    window.FormCreate();
    if (action == "def12") {
        window.Def12Click();
    } else if (action == "disassemble" && argc > 3) {
        dialogs.files.push_back(argv[3]);
        window.SpeedButton1Click();
        window.DisaClick();
    }
    window.Info2Click();

    std::cout << "cpu: " << window.cpu->text().toStdString() << '\n';
    std::cout << "Def12: " << window.Def12->text().toStdString() << '\n';
    for (const std::string& message : dialogs.messages) std::cout << "message: " << message << '\n';
    std::cout << "view:\n" << window.RichEdit1->toPlainText().toStdString() << '\n';
    return 0;
}
