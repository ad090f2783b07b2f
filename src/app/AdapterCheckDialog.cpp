// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AdapterCheckDialog.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "chip/AdapterWiring.h"

namespace lpt51::app {

namespace {

constexpr int kRows = chip::socket_pins::kCount / 2;
constexpr int kRowHeight = 20;
constexpr int kTop = 24;
constexpr int kBodyWidth = 90;
constexpr int kLabelWidth = 110;
constexpr int kPinSize = 14;

// The pin's row from the top and whether it is on the left (pins 1 to 20
// down the left side, 21 to 40 up the right, as seen from above).
int Row(int pin) {
    return pin <= kRows ? pin - 1 : chip::socket_pins::kCount - pin;
}

QString PinLabel(int pin) {
    const std::string programming = chip::ProgrammingName(pin);
    QString text = QString::fromLatin1(chip::SocketPinName(pin));
    if (!programming.empty() && programming != chip::SocketPinName(pin))
        text += QStringLiteral(" ") + QString::fromStdString(programming);
    return text;
}

}  // namespace

SocketPicture::SocketPicture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("socket"));
    setMinimumSize(sizeHint());
}

QSize SocketPicture::sizeHint() const {
    return {2 * kLabelWidth + kBodyWidth + 2 * kPinSize + 16, kTop + kRows * kRowHeight + 12};
}

void SocketPicture::highlight(int socketPin) {
    pin_ = socketPin;
    update();
}

void SocketPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const int bodyLeft = (width() - kBodyWidth) / 2;
    const QRect body(bodyLeft, kTop - 8, kBodyWidth, kRows * kRowHeight + 4);
    p.setPen(QPen(pal.color(QPalette::WindowText), 1.5));
    p.setBrush(pal.color(QPalette::Mid));
    p.drawRoundedRect(body, 4, 4);
    // The notch at pin 1's end.
    p.setBrush(pal.color(QPalette::Window));
    p.drawChord(QRect(bodyLeft + kBodyWidth / 2 - 12, body.top() - 12, 24, 24), 180 * 16, 180 * 16);

    QFont bold = font();
    bold.setBold(true);
    for (int pin = 1; pin <= chip::socket_pins::kCount; ++pin) {
        const bool left = pin <= kRows;
        const int y = kTop + Row(pin) * kRowHeight;
        const QRect square(left ? bodyLeft - kPinSize : bodyLeft + kBodyWidth, y, kPinSize,
                           kPinSize);
        const bool measured = pin == pin_;
        const bool ground = pin == chip::socket_pins::kGnd;
        QColor fill = pal.color(QPalette::Light);
        if (ground) fill = Qt::black;
        if (measured) fill = QColor(255, 140, 0);
        p.setPen(pal.color(QPalette::WindowText));
        p.setBrush(fill);
        p.drawRect(square);

        // The pin number inside the body, the name outside it.
        p.setFont(measured ? bold : font());
        const QRect number(left ? bodyLeft + 4 : bodyLeft + kBodyWidth / 2, y - 2,
                           kBodyWidth / 2 - 8, kRowHeight - 2);
        p.drawText(number, (left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                   QString::number(pin));
        const QRect name(left ? square.left() - kLabelWidth - 4 : square.right() + 6, y - 2,
                         kLabelWidth, kRowHeight - 2);
        if (measured) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 200, 120));
            p.drawRoundedRect(name.adjusted(-2, 0, 2, 0), 3, 3);
            p.setPen(pal.color(QPalette::WindowText));
        }
        QString label = PinLabel(pin);
        if (ground) label += QStringLiteral(" (black lead)");
        p.drawText(name, (left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, label);
    }
}

AdapterCheckDialog::AdapterCheckDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AdapterCheckDialog"));
    setWindowTitle(QStringLiteral("Check Adapter: guided stage"));
    socket_ = new SocketPicture(this);
    auto* intro = new QLabel(
        QStringLiteral("The socket stays empty and the adapter powered. Put the meter's black "
                       "lead on socket pin 20 (GND) and the red one on the highlighted pin."),
        this);
    intro->setWordWrap(true);
    question_ = new QLabel(this);
    question_->setObjectName(QStringLiteral("question"));
    question_->setWordWrap(true);
    QFont big = question_->font();
    big.setBold(true);
    question_->setFont(big);
    count_ = new QLabel(this);

    auto* buttons = new QHBoxLayout;
    const auto answer = [this, buttons](const char* name, const QString& text, int code) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, code] { done(code); });
        buttons->addWidget(b);
    };
    answer("volts0", QStringLiteral("&0 V"), 1);
    answer("volts5", QStringLiteral("&5 V"), 2);
    answer("volts12", QStringLiteral("&12 V"), 3);
    buttons->addStretch();
    answer("stop", QStringLiteral("&Stop"), QDialog::Rejected);

    auto* text = new QVBoxLayout;
    text->addWidget(intro);
    text->addSpacing(12);
    text->addWidget(question_);
    text->addStretch();
    text->addWidget(count_);
    text->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(socket_);
    layout->addLayout(text, 1);
    setMinimumWidth(socket_->sizeHint().width() + 340);
}

void AdapterCheckDialog::show(const chip::Measurement& m) {
    socket_->highlight(m.socketPin);
    question_->setText(QString::fromStdString(chip::MeasurementQuestion(m)));
    count_->setText(QStringLiteral("Measurement %1").arg(++asked_));
}

std::optional<chip::Volts> AdapterCheckDialog::read(const chip::Measurement& m) {
    show(m);
    switch (exec()) {
        case 1:
            return chip::Volts::Zero;
        case 2:
            return chip::Volts::Five;
        case 3:
            return chip::Volts::Twelve;
        default:
            return std::nullopt;
    }
}

}  // namespace lpt51::app
