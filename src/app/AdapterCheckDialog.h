// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QLabel>
#include <QWidget>
#include <optional>

#include "chip/AdapterCheck.h"

namespace lpt51::app {

// The AT89C51's 40-pin DIP socket seen from above, drawn with the pin to
// measure highlighted and ground (pin 20, the meter's black lead) marked.
class SocketPicture final : public QWidget {
  public:
    explicit SocketPicture(QWidget* parent = nullptr);
    void highlight(int socketPin);
    int highlighted() const { return pin_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int pin_ = 0;
};

// The guided stage of the adapter check in the window: for each measurement
// the socket with its pin highlighted, what it should read, and 0 V, 5 V,
// 12 V or Stop.
class AdapterCheckDialog final : public QDialog, public chip::Meter {
  public:
    explicit AdapterCheckDialog(QWidget* parent = nullptr);

    // Shows the measurement and waits for the answer; nothing on Stop, Escape
    // or closing the dialog.
    std::optional<chip::Volts> read(const chip::Measurement& m) override;

    // Shows `m` without waiting (read() does so first).
    void show(const chip::Measurement& m);
    const SocketPicture& socket() const { return *socket_; }

  private:
    SocketPicture* socket_;
    QLabel* question_;
    QLabel* count_;
    int asked_ = 0;
};

}  // namespace lpt51::app
