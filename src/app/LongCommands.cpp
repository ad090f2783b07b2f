#include <QCoreApplication>
#include <filesystem>

#include "app/MainWindow.h"
#include "app/ViewText.h"
#include "chip/Cwv.h"
#include "chip/Devices.h"
#include "chip/ReadOut.h"
#include "chip/Signature.h"
#include "chip/Verify.h"
#include "chip/Write.h"
#include "image/TextFile.h"

namespace lpt51::app {
namespace {

// Lets the window paint between records, and nothing else: the window is
// disabled, and user input must not start a second command meanwhile.
void Repaint() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// The view shrinks as records are done and grows as read-out lines arrive.
class ViewProgress final : public chip::ProgressObserver {
  public:
    explicit ViewProgress(QPlainTextEdit& view) : view_(view) {}
    void recordFinished(std::size_t) override {
        DeleteFirstViewLine(view_);
        Repaint();
    }
    void lineAppended(const std::string& line) override {
        AppendViewLine(view_, line);
        Repaint();
    }

  private:
    QPlainTextEdit& view_;
};

}  // namespace

void Form1::reloadView(const image::Lines& before) {
    if (currentImageFile.empty()) {
        SetViewLines(*RichEdit1, before);
        return;
    }
    image::Lines lines;
    if (std::optional<std::string> error = image::LoadLines(currentImageFile, lines)) {
        // Keep the text the command started from rather than a half-deleted view.
        SetViewLines(*RichEdit1, before);
        context_.dialogs->showMessage(*error);
        return;
    }
    SetViewLines(*RichEdit1, lines);
}

void Form1::writeClick() {
    if (!portReady()) return;
    const Operation operation(*this);
    chip::ChipContext ctx = chipContext();
    const std::string caption = cpu->text().toStdString();
    if (!chip::RunDeviceCheck(ctx, caption)) {
        persistChip();
        return;
    }
    write->setText(QString::fromLatin1(chip::kWritingCaption));
    write->setEnabled(false);
    setEnabled(false);
    Repaint();
    const image::Lines lines = ViewLines(*RichEdit1);
    ViewProgress progress(*RichEdit1);
    const chip::WriteResult result = chip::WriteImage(ctx, caption, lines, &progress);
    reloadView(lines);
    write->setText(QString::fromLatin1(chip::kWriteCaption));
    if (std::optional<std::string> message = chip::WriteFinalMessage(result, state)) {
        context_.dialogs->showMessage(*message);
    }
    setEnabled(true);
    write->setEnabled(true);
    if (state.BidiMode == 1 && result.completed) {
        Ve->setEnabled(true);
        verify->setEnabled(true);
    }
    persistChip();
}

void Form1::verifyClick() {
    if (!portReady()) return;
    const Operation operation(*this);
    chip::ChipContext ctx = chipContext();
    verify->setText(QString::fromLatin1(chip::kCheckingCaption));
    verify->setEnabled(false);
    setEnabled(false);
    Repaint();
    const image::Lines lines = ViewLines(*RichEdit1);
    ViewProgress progress(*RichEdit1);
    const chip::VerifyResult result = chip::VerifyImage(ctx, lines, &progress);
    reloadView(lines);
    if (std::optional<std::string> message = chip::VerifyFinalMessage(result, state)) {
        context_.dialogs->showMessage(*message);
    }
    setEnabled(true);
    state.VerifyFailed = 0;
    verify->setEnabled(true);
    verify->setText(QString::fromLatin1(chip::kVerifyCaption));
    persistChip();
}

void Form1::readClick() {
    if (!portReady()) return;
    const Operation operation(*this);
    chip::ChipContext ctx = chipContext();
    setCaption(QStringLiteral("noname"));
    Label4->setText(QStringLiteral("4096"));
    QPalette palette = StaticText2->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    StaticText2->setPalette(palette);
    StaticText2->setText(QStringLiteral(" IntelHex File"));
    RichEdit1->clear();
    read->setEnabled(false);
    setEnabled(false);
    Repaint();

    ViewProgress progress(*RichEdit1);
    const image::Lines lines = chip::ReadChip(ctx, &progress);

    setEnabled(true);
    read->setEnabled(true);
    Save1->setEnabled(true);
    save->setEnabled(true);
    Hex->setEnabled(false);
    Hexa1->setEnabled(false);
    Disa->setEnabled(true);
    dis51->setEnabled(true);
    refreshAppDir();
    std::error_code ignored;  // a missing listing is no error
    std::filesystem::remove(context_.appDir + "temxyzbg.d51", ignored);
    const std::string tempHex = context_.appDir + "temxyzbg.hex";
    if (std::optional<std::string> error = image::SaveLines(tempHex, lines)) {
        context_.dialogs->showMessage(*error);
    } else {
        currentImageFile = tempHex;
    }
    persistChip();
}

void Form1::CwvClick() {
    if (!portReady()) return;
    const Operation operation(*this);
    chip::ChipContext ctx = chipContext();
    chip::CwvSteps steps{[this] { clearClick(); }, [this] { writeClick(); },
                         [this] { verifyClick(); }};
    chip::RunClearWriteVerify(ctx, cpu->text().toStdString(), ViewLines(*RichEdit1), steps);
    persistChip();
}

}  // namespace lpt51::app
