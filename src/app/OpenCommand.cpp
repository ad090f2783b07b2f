#include "app/MainWindow.h"
#include "app/ProgramContext.h"
#include "app/ViewText.h"
#include "image/OpenWalk.h"
#include "image/TextFile.h"

namespace lpt51::app {

void Form1::SpeedButton1Click() {
    const std::optional<std::string> chosen =
        context_.dialogs->chooseOpenFile("Intel HEX subory (*.hex)", DialogDirectory(context_));
    if (chosen) openFile(*chosen);
}

void Form1::openFile(const std::string& path) {
    image::Lines lines;
    if (std::optional<std::string> error = image::LoadLines(path, lines)) {
        prompts_.showMessage(*error);
        return;
    }
    currentImageFile = path;
    SetViewLines(*RichEdit1, lines);
    Disa->setEnabled(true);
    dis51->setEnabled(true);
    Hex->setEnabled(false);
    Hexa1->setEnabled(false);
    listingShown_ = false;
    setCaption(QString::fromStdString(path));

    const image::OpenResult result = image::ValidateImage(lines);
    if (!result.message.empty()) prompts_.showMessage(result.message);
    QPalette status = StaticText2->palette();
    switch (result.outcome) {
        case image::OpenResult::Outcome::Accepted:
            Label4->setText(QString::number(result.codeSize));
            status.setColor(QPalette::WindowText, Qt::black);
            StaticText2->setPalette(status);
            StaticText2->setText(QStringLiteral(" IntelHex File"));
            for (QWidget* on : std::initializer_list<QWidget*>{Disa, save, write, Cwv})
                on->setEnabled(true);
            Save1->setEnabled(true);
            Wr->setEnabled(true);
            break;
        case image::OpenResult::Outcome::Rejected: {
            Disa->setEnabled(false);
            write->setEnabled(false);
            Wr->setEnabled(false);
            StaticText2->setText(QStringLiteral("Incorrect File"));
            status.setColor(QPalette::WindowText, Qt::red);
            StaticText2->setPalette(status);
            QFont font = StaticText2->font();
            font.setPixelSize(18);
            StaticText2->setFont(font);
            Label4->clear();
            break;
        }
        case image::OpenResult::Outcome::TooLarge:
            prompts_.showMessage(image::kTooLargeMessage);
            setCaption(QString());
            Label4->clear();
            StaticText2->setText(QStringLiteral(" "));
            RichEdit1->clear();
            break;
    }
}

}  // namespace lpt51::app
