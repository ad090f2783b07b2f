// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"

#include "chip/Devices.h"

#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace lpt51::app {
namespace {

QFont boldFont(int pixelSize) {
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

void setTextColor(QWidget* widget, const QColor& color) {
    // Only the enabled look: a disabled command keeps the desktop's grey.
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, color);
        palette.setColor(group, QPalette::ButtonText, color);
        palette.setColor(group, QPalette::Text, color);
    }
    widget->setPalette(palette);
}

// The positions are fixed, but the desktop font is usually wider than the
// one they were laid out for: a static text that would run into its right
// neighbour gets a smaller size of the same font.
void FitWidth(QLabel* label, int width) {
    QFont font = label->font();
    while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(label->text()) > width) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    label->setFont(font);
}

// The contents centred on the screen that holds the pointer and never
// beyond what it leaves free: a fixed position lies partly off a small
// screen once the desktop scales the window up. Placed by its contents, not
// its frame: where a window scaled up is taller than the screen with its
// title bar, the commands are what must stay on it.
void PlaceOnScreen(QWidget& window) {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect free = screen->availableGeometry();
    const QSize size = window.size();
    window.setGeometry(free.left() + std::max(0, (free.width() - size.width()) / 2),
                       free.top() + std::max(0, (free.height() - size.height()) / 2), size.width(),
                       size.height());
}

}  // namespace

namespace {

session::SessionSetup SessionSetupFor(const WindowContext& context,
                                      std::function<std::string()> filesDirectory) {
    session::SessionSetup setup;
    setup.filesDirectory = std::move(filesDirectory);
    setup.backend = context.backendOptions;
    setup.measureCpuMHz = context.measureCpuMHz;
    setup.nominalClock = context.nominalClock;
    setup.openBackend = context.openBackend;
    if (!setup.openBackend && context.backend != nullptr)
        setup.openBackend = [backend = context.backend] { return backend; };
    return setup;
}

}  // namespace

Form1::Form1(WindowContext context)
    : session_(SessionSetupFor(context, [this] { return context_.appDir; })),
      state(session_.state()),
      context_(std::move(context)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildControls();
    buildMenus();
    connectCommands();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    PlaceOnScreen(*this);
    setCaption(QString());
    refreshRecentFiles();
    setAcceptDrops(true);
    RichEdit1->setFocus();
}

void Form1::setCaption(const QString& file) {
    (listingShown_ ? listingFile_ : caption_) = file;
    showTitle();
}

void Form1::showTitle() {
    QString title = QStringLiteral("lpt51");
    if (const Backend* backend = session_.backend()) {
        const std::string port =
            backend->usable() ? backend->name() : "no port: " + context_.backendOptions.port;
        title += QStringLiteral(" [") + QString::fromStdString(port) + QStringLiteral("]");
    }
    const QString& file = caption();
    setWindowTitle(file.isEmpty() ? title : file + QStringLiteral(" \u2013 ") + title);
}

namespace {

QToolButton* AddGlyph(QWidget* client, const char* name, QStyle::StandardPixmap icon,
                      const char* hint, int left) {
    auto* button = new QToolButton(client);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setIcon(client->style()->standardIcon(icon));
    button->setToolTip(QString::fromLatin1(hint));
    button->setGeometry(left, 8, 23, 22);
    return button;
}

QLabel* AddLabel(QWidget* client, const char* name, const char* text, int left, int top, int width,
                 int height) {
    auto* l = new QLabel(QString::fromLatin1(text), client);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(left, top, width, height);
    return l;
}

}  // namespace

void Form1::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(535, 426);
    setCentralWidget(client);

    SpeedButton1 = AddGlyph(client, "SpeedButton1", QStyle::SP_DialogOpenButton, "Open", 8);
    save = AddGlyph(client, "save", QStyle::SP_DialogSaveButton, "Save", 40);
    Hex = AddGlyph(client, "Hex", QStyle::SP_FileDialogDetailedView, "Hex view", 88);
    Disa = AddGlyph(client, "Disa", QStyle::SP_FileDialogContentsView, "Dis51", 112);
    SpeedButton6 = AddGlyph(client, "SpeedButton6", QStyle::SP_DialogCloseButton, "Exit", 168);
    // A flat button draws no frame of its own, so the desktop style's focus
    // mark is all that shows where Tab has got to; draw a plain one instead.
    client->setStyleSheet(
        QStringLiteral("QPushButton:flat:focus, QToolButton:focus {"
                       " border: 2px solid palette(highlight); border-radius: 3px; }"));

    buildLabels(client);
    buildView(client);
    buildCommandButtons(client);

    save->setEnabled(false);
    Hex->setEnabled(false);
    Disa->setEnabled(false);
    write->setEnabled(false);
    verify->setEnabled(false);
    Cwv->setEnabled(false);
}

void Form1::buildLabels(QWidget* client) {
    StaticText1 = AddLabel(client, "StaticText1", "Code Size in Bytes :", 8, 48, 102, 16);
    FitWidth(StaticText1, 100);
    Label4 = AddLabel(client, "Label4", "", 110, 46, 80, 18);
    Label4->setFont(boldFont(13));
    setTextColor(Label4, Qt::black);
    StaticText3 = AddLabel(client, "StaticText3", "Status :", 192, 48, 40, 16);
    FitWidth(StaticText3, 38);
    StaticText2 = AddLabel(client, "StaticText2", "", 232, 45, 140, 24);
    StaticText2->setFont(boldFont(13));
    setTextColor(StaticText2, Qt::darkGreen);
    Label1 = AddLabel(client, "Label1", "Processor in socket:", 394, 24, 140, 16);
    cpu = AddLabel(client, "cpu", chip::kNoSelect, 395, 40, 135, 18);
    cpu->setFont(boldFont(13));
}

void Form1::buildView(QWidget* client) {
    RichEdit1 = new QPlainTextEdit(client);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setGeometry(8, 80, 345, 334);
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Fixed pitch, so that hex fields and the listing's columns line up.
    QFont viewFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    viewFont.setStyleHint(QFont::Monospace);
    viewFont.setBold(true);
    viewFont.setPointSize(8);
    RichEdit1->setFont(viewFont);
    QPalette viewPalette = RichEdit1->palette();
    viewPalette.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
    RichEdit1->setPalette(viewPalette);
}

void Form1::buildCommandButtons(QWidget* client) {
    auto button = [client](const char* name, const char* text, int left, int top, int width,
                           int pixelSize, const QColor& color) {
        auto* b = new QPushButton(QString::fromLatin1(text), client);
        b->setObjectName(QString::fromLatin1(name));
        b->setFlat(true);
        b->setGeometry(left, top, width, 30);
        b->setFont(boldFont(pixelSize));
        setTextColor(b, color);
        return b;
    };
    clear = button("clear", "Clear Chip", 384, 72, 113, 16, Qt::darkGreen);
    write = button("write", "Write Chip", 384, 112, 113, 16, Qt::darkGreen);
    verify = button("verify", "Verify Chip", 384, 152, 113, 16, Qt::darkGreen);
    read = button("read", "Read Chip", 384, 192, 113, 16, Qt::darkGreen);
    lock = button("lock", "Lock Chip", 384, 232, 113, 16, Qt::darkGreen);
    Cwv = button("Cwv", chip::kCwvCaptionBidi, 376, 312, 137, 13, Qt::darkGreen);
    exit = button("exit", "Exit", 384, 376, 113, 16, Qt::darkBlue);

    const int bitLeft[3] = {392, 425, 457};
    const int boxLeft[3] = {400, 432, 464};
    const char* bitNames[3] = {"Label6", "Label7", "Label8"};
    const char* bitTexts[3] = {"Bit1", "Bit2", "Bit3"};
    const char* boxNames[3] = {"l1", "l2", "l3"};
    QLabel* bits[3];
    QCheckBox* boxes[3];
    for (int i = 0; i < 3; ++i) {
        bits[i] = AddLabel(client, bitNames[i], bitTexts[i], bitLeft[i], 272, 32, 16);
        bits[i]->setFont(boldFont(12));
        setTextColor(bits[i], Qt::darkGreen);
        boxes[i] = new QCheckBox(client);
        boxes[i]->setObjectName(QString::fromLatin1(boxNames[i]));
        boxes[i]->setGeometry(boxLeft[i], 288, 17, 17);
    }
    Label6 = bits[0];
    Label7 = bits[1];
    Label8 = bits[2];
    l1 = boxes[0];
    l2 = boxes[1];
    l3 = boxes[2];
    // Tab follows the column as it is laid out: the lock bits lie between
    // Lock Chip and Clear-Write-Verify.
    QWidget::setTabOrder(lock, l1);
    QWidget::setTabOrder(l1, l2);
    QWidget::setTabOrder(l2, l3);
}

void Form1::buildMenus() {
    auto item = [this](QMenu* menu, const char* name, const char* text, bool enabled) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled);
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File   "));
    Open1 = item(file, "Open1", "&Open", true);
    OpenRecent = file->addMenu(QStringLiteral("Open &Recent"));
    OpenRecent->setObjectName(QStringLiteral("OpenRecent"));
    connect(OpenRecent, &QMenu::aboutToShow, this, &Form1::refreshRecentFiles);
    Save1 = item(file, "Save1", "&Save", false);
    separator(file, "N1");
    Test1 = item(file, "Test1", "&Test Port", true);
    CheckAdapter1 = item(file, "CheckAdapter1", "Check &Adapter...", true);
    Disabled1 = item(file, "Disabled1", "&Disabled Bidi.", true);
    separator(file, "Exit2");
    Exit1 = item(file, "Exit1", "E&xit", true);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View    "));
    Hexa1 = item(view, "Hexa1", "&Hexa", false);
    dis51 = item(view, "dis51", "&D51", false);
    auto* viewGroup = new QActionGroup(this);
    viewGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* a : {Hexa1, dis51}) {
        a->setCheckable(true);
        viewGroup->addAction(a);
    }

    QMenu* action = menuBar()->addMenu(QStringLiteral("&Action   "));
    actionMenu_ = action;
    ClearChip1 = item(action, "ClearChip1", "&Clear Chip", true);
    Wr = item(action, "Wr", "&Write Chip", false);
    Ve = item(action, "Ve", "&Verify Chip", false);
    Re = item(action, "Re", "&Read Chip", true);
    LockChip1 = item(action, "LockChip1", "&Lock Chip", true);

    QMenu* device = menuBar()->addMenu(QStringLiteral("&Device     "));
    AT89C5112V1 = item(device, "AT89C5112V1", "AT89C51-&12V", true);
    AT89C515V1 = item(device, "AT89C515V1", "AT89C51-&5V", true);
    separator(device, "N2");
    Def12 = item(device, "Def12", "&Set AT89C51-12V as def.", true);
    Datasheet1 = item(device, "Datasheet1", "Datasheet &timing", true);
    Datasheet1->setCheckable(true);
    separator(device, "N3");
    ParallelPort1 = item(device, "ParallelPort1", "&Parallel port", true);
    VirtualAdapter1 = item(device, "VirtualAdapter1", "&Virtual adapter", true);
    auto* portGroup = new QActionGroup(this);
    for (QAction* a : {ParallelPort1, VirtualAdapter1}) {
        a->setCheckable(true);
        portGroup->addAction(a);
    }
    // Both may be unchecked (no device selected), so the group is optional.
    auto* deviceGroup = new QActionGroup(this);
    deviceGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* a : {AT89C5112V1, AT89C515V1}) {
        a->setCheckable(true);
        deviceGroup->addAction(a);
    }

    // Alt+N: the underline of a capital I is too short to be seen.
    Info2 = menuBar()->addAction(QStringLiteral("I&nfo    "));
    Info2->setObjectName(QStringLiteral("Info2"));

    // The desktop's usual keys; a disabled item ignores its key as it ignores a click.
    Open1->setShortcut(QKeySequence::Open);
    Save1->setShortcut(QKeySequence::Save);
    Exit1->setShortcut(QKeySequence::Quit);
}

void Form1::connectCommands() {
    auto on = [this](QAction* action, void (Form1::*handler)()) {
        connect(action, &QAction::triggered, this, handler);
    };
    auto onClick = [this](QAbstractButton* button, void (Form1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    onClick(SpeedButton1, &Form1::SpeedButton1Click);
    on(Open1, &Form1::SpeedButton1Click);
    onClick(save, &Form1::saveClick);
    on(Save1, &Form1::saveClick);
    onClick(exit, &Form1::exitClick);
    onClick(SpeedButton6, &Form1::Exit1Click);
    on(Exit1, &Form1::Exit1Click);
    onClick(Hex, &Form1::Hexa1Click);
    on(Hexa1, &Form1::Hexa1Click);
    onClick(Disa, &Form1::DisaClick);
    on(dis51, &Form1::DisaClick);
    onClick(clear, &Form1::clearClick);
    on(ClearChip1, &Form1::clearClick);
    onClick(write, &Form1::writeClick);
    on(Wr, &Form1::writeClick);
    onClick(verify, &Form1::verifyClick);
    on(Ve, &Form1::verifyClick);
    onClick(read, &Form1::readClick);
    on(Re, &Form1::readClick);
    onClick(lock, &Form1::lockClick);
    on(LockChip1, &Form1::lockClick);
    onClick(Cwv, &Form1::CwvClick);
    on(Test1, &Form1::Test1Click);
    on(CheckAdapter1, &Form1::CheckAdapter1Click);
    on(Disabled1, &Form1::Disabled1Click);
    on(AT89C5112V1, &Form1::AT89C5112V1Click);
    on(AT89C515V1, &Form1::AT89C515V1Click);
    on(Def12, &Form1::Def12Click);
    on(Datasheet1, &Form1::Datasheet1Click);
    on(ParallelPort1, &Form1::ParallelPort1Click);
    on(VirtualAdapter1, &Form1::VirtualAdapter1Click);
    on(Info2, &Form1::Info2Click);
}

}  // namespace lpt51::app
