// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "image/AppFiles.h"

namespace lpt51::app {

// The temporary files go with an exit command, this window's only; its
// directory goes when the window does.
void Form1::exitClick() {
    image::DeleteQuietly(tempPath(image::kTempHex));
    image::DeleteQuietly(tempPath(image::kTempD51));
    close();
}
void Form1::Exit1Click() {
    exitClick();
}

}  // namespace lpt51::app
