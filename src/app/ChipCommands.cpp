#include "app/MainWindow.h"
#include "chip/Erase.h"
#include "chip/Lock.h"
#include "chip/Signature.h"

namespace lpt51::app {

chip::ChipContext Form1::chipContext() {
    return chip::ChipContext{*bus_, prompts_, state};
}

void Form1::persistChip() {
    if (context_.backend == nullptr) return;
    if (std::optional<std::string> error = context_.backend->persist()) {
        prompts_.showMessage(*error);
    }
}

void Form1::clearClick() {
    if (!portReady()) return;
    const Operation operation(*this);
    chip::ChipContext ctx = chipContext();
    chip::ClearChip(ctx, cpu->text().toStdString());
    persistChip();
}

void Form1::lockClick() {
    if (!portReady()) return;
    const Operation operation(*this);
    chip::ChipContext ctx = chipContext();
    chip::LockChip(ctx, cpu->text().toStdString(),
                   chip::LockSelection{l1->isChecked(), l2->isChecked(), l3->isChecked()});
    persistChip();
}

void Form1::SignatClick() {
    if (!portReady()) return;
    const Operation operation(*this);
    chip::ChipContext ctx = chipContext();
    cpu->setText(QString::fromStdString(chip::SignatureCommand(ctx)));
    persistChip();
}

void Form1::AUTO1Click() {
    cpu->setText(QStringLiteral("  Auto Detect"));
    state.ChipType = "  Auto Detect";
}

}  // namespace lpt51::app
