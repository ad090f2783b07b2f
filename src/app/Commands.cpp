#include <QApplication>

#include "app/MainWindow.h"

namespace lpt51::app {

// The chip commands refuse without a usable port. The operations themselves
// are wired in as the chip layer provides them.
void Form1::clearClick() {
    if (!portReady()) return;
}
void Form1::writeClick() {
    if (!portReady()) return;
}
void Form1::verifyClick() {
    if (!portReady()) return;
}
void Form1::readClick() {
    if (!portReady()) return;
}
void Form1::lockClick() {
    if (!portReady()) return;
}
void Form1::CwvClick() {
    if (!portReady()) return;
}
void Form1::SignatClick() {
    if (!portReady()) return;
}
void Form1::AUTO1Click() {
    if (!portReady()) return;
}

void Form1::SpeedButton1Click() {}
void Form1::saveClick() {}
void Form1::Hexa1Click() {}
void Form1::DisaClick() {}

void Form1::exitClick() {
    close();
}
void Form1::Exit1Click() {
    close();
}

}  // namespace lpt51::app
