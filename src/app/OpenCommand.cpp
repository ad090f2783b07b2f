// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "app/MainWindow.h"
#include "app/ProgramContext.h"
#include "app/RecentFiles.h"
#include "app/ViewText.h"
#include "image/AppFiles.h"
#include "image/ImageFile.h"
#include "image/OpenWalk.h"
#include "image/TextFile.h"

namespace lpt51::app {
namespace {

// The system's own filter first, with the other name sdcc gives Intel HEX.
constexpr const char* kOpenFilter =
    "Intel HEX subory (*.hex *.ihx);;Raw image (*.bin);;All files (*)";

}  // namespace

void Form1::SpeedButton1Click() {
    const std::optional<std::string> chosen =
        context_.dialogs->chooseOpenFile(kOpenFilter, DialogDirectory(context_));
    if (chosen) openFile(*chosen);
}

void Form1::openFile(const std::string& path) {
    image::Lines lines;
    if (std::optional<std::string> error = image::LoadImageFile(path, lines)) {
        prompts_.showMessage(*error);
        return;
    }
    RememberRecentFile(context_.appDir, path);
    refreshRecentFiles();
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

void Form1::refreshRecentFiles() {
    // Later, not at once: the entry that was picked may be the one asking.
    for (QAction* entry : OpenRecent->actions()) {
        OpenRecent->removeAction(entry);
        entry->deleteLater();
    }
    const std::vector<std::string> files = DropGoneRecentFiles(context_.appDir);
    for (std::size_t i = 0; i < files.size(); ++i) {
        QString name = QString::fromStdString(files[i]);
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = OpenRecent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        connect(entry, &QAction::triggered, this, [this, file = files[i]] { openRecent(file); });
    }
    OpenRecent->setEnabled(!files.empty());
}

void Form1::openRecent(const std::string& path) {
    if (!image::FileExists(path)) {
        // Gone since the menu was shown: it goes from the list too.
        refreshRecentFiles();
        prompts_.showMessage(path + " no longer exists; it was taken off Open Recent.");
        return;
    }
    openFile(path);
}

namespace {

// The one local file a drop carries, or nothing.
std::optional<QString> DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
    const QUrl& url = data->urls().front();
    if (!url.isLocalFile()) return std::nullopt;
    return url.toLocalFile();
}

// As the command line takes them: by the name's ending.
bool OpensAsImage(const QString& file) {
    return image::RawImageByName(file.toStdString()).has_value();
}

}  // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    // Anything with a file in it is taken, so that the drop can say why a
    // file it cannot open is refused.
    if (event->mimeData() != nullptr && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    const std::optional<QString> file = DroppedFile(event->mimeData());
    // After the drop has ended: a message box must not hold up the program
    // the file came from.
    if (!file || !OpensAsImage(*file)) {
        QTimer::singleShot(0, this, [this] {
            prompts_.showMessage(
                "Only one Intel HEX file (.hex or .ihx) or raw image (.bin) at a time can be "
                "dropped here to be opened.");
        });
        return;
    }
    QTimer::singleShot(0, this, [this, path = file->toStdString()] { openFile(path); });
}

}  // namespace lpt51::app
