#include "app/MainWindow.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/Lock.h"
#include "chip/Signature.h"

namespace lpt51::app {

void Form1::clearClick() {
    if (!portReady()) return;
    const std::string caption = cpu->text().toStdString();
    runChipCommand(sim::ChipUse::Changes, [&](chip::ChipContext& ctx) {
        return session::Judged(chip::ClearChip(ctx, caption));
    });
}

void Form1::lockClick() {
    if (!portReady()) return;
    const std::string caption = cpu->text().toStdString();
    const chip::LockSelection bits{l1->isChecked(), l2->isChecked(), l3->isChecked()};
    runChipCommand(sim::ChipUse::Changes, [&](chip::ChipContext& ctx) {
        return session::Judged(chip::LockChip(ctx, caption, bits));
    });
}

void Form1::SignatClick() {
    if (!portReady()) return;
    runChipCommand(sim::ChipUse::Reads, [&](chip::ChipContext& ctx) {
        cpu->setText(QString::fromStdString(chip::SignatureCommand(ctx)));
        return session::Outcome::Done;
    });
}

void Form1::AUTO1Click() {
    selectDevice(chip::kAutoDetect);
}

}  // namespace lpt51::app
