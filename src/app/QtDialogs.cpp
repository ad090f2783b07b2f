// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtDialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <algorithm>

namespace lpt51::app {

QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

namespace {

// Ctrl+C copies a box's text, for a bug report or a script reading the
// window; the desktop style offers it on some platforms only.
void OfferCopy(QMessageBox& box) {
    auto* copy = new QAction(&box);
    copy->setShortcut(QKeySequence::Copy);
    QObject::connect(copy, &QAction::triggered, &box,
                     [&box] { QGuiApplication::clipboard()->setText(box.text()); });
    box.addAction(copy);
}

// A box is as narrow as its text, and a window manager elides a title that
// does not fit beside its buttons: "lpt51" over "Chip is clear" read "l...1".
// The box is made wide enough for the title and the title bar's buttons.
void FitTitle(QMessageBox& box) {
    constexpr int kTitleBarButtons = 160;  // an icon and three buttons, with room to spare
    constexpr int kNarrowest = 280;
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) return;
    const int title = QFontMetrics(QApplication::font()).horizontalAdvance(box.windowTitle());
    grid->addItem(new QSpacerItem(std::max(kNarrowest, title + kTitleBarButtons), 0,
                                  QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

void QtDialogs::showMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), DisplayText(text),
                    QMessageBox::Ok, parent_);
    FitTitle(box);
    OfferCopy(box);
    box.exec();
}

bool QtDialogs::offerChoice(const std::string& text, const std::string& choice) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), DisplayText(text),
                    QMessageBox::Ok, parent_);
    QPushButton* taken =
        box.addButton(QString::fromStdString(choice), QMessageBox::ButtonRole::AcceptRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    FitTitle(box);
    OfferCopy(box);
    box.exec();
    return box.clickedButton() == taken;
}

Answer QtDialogs::ask(QuestionKind kind, const std::string& text) {
    QMessageBox::Icon icon = QMessageBox::Information;
    QString title = QStringLiteral("Information");
    if (kind == QuestionKind::Warning) {
        icon = QMessageBox::Warning;
        title = QStringLiteral("Warning");
    } else if (kind == QuestionKind::Error) {
        icon = QMessageBox::Critical;
        title = QStringLiteral("Error");
    }
    QMessageBox box(icon, title, DisplayText(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    FitTitle(box);
    OfferCopy(box);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::string QtDialogs::inputBox(const std::string& caption, const std::string& prompt,
                                const std::string& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, QString::fromStdString(caption),
                                               QString::fromStdString(prompt), QLineEdit::Normal,
                                               QString::fromStdString(defaultText), &ok);
    return ok ? text.toStdString() : defaultText;
}

std::optional<std::string> QtDialogs::chooseOpenFile(const std::string& filter,
                                                     const std::string& directory) {
    const QString path = QFileDialog::getOpenFileName(
        parent_, QString(), QString::fromStdString(directory), QString::fromStdString(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtDialogs::chooseSaveFile(const std::string& filter,
                                                     const std::string& suggestedPath) {
    // The Save command asks its own question before it replaces a file (it
    // changes the extension first, so the dialog's name is not the target):
    // a second question from the dialog would only double it.
    const QString path = QFileDialog::getSaveFileName(
        parent_, QString(), QString::fromStdString(suggestedPath), QString::fromStdString(filter),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

}  // namespace lpt51::app
