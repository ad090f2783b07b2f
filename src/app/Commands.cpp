#include <filesystem>

#include "app/MainWindow.h"

namespace lpt51::app {

// The temporary files go with an exit command; closing the window any
// other way leaves them for the next run to overwrite.
void Form1::exitClick() {
    std::error_code ignored;
    std::filesystem::remove(context_.appDir + "temxyzbg.hex", ignored);
    std::filesystem::remove(context_.appDir + "temxyzbg.d51", ignored);
    close();
}
void Form1::Exit1Click() {
    exitClick();
}

}  // namespace lpt51::app
