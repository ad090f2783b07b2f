#include <QApplication>

#include "app/MainWindow.h"

namespace lpt51::app {

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
