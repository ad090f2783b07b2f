// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

#include "../SocketMeter.h"
#include "WindowFixture.h"
#include "app/AdapterCheckDialog.h"
#include "sim/VirtualAdapter.h"
#include "sim/Wiring.h"

namespace lpt51::app::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

// Check Adapter... on an adapter with two address lines swapped: the guided
// stage's dialog shows each pin to measure, is answered with what the
// virtual adapter's socket pin carries, and the swap is named in a box.
TEST_F(WindowTest, CheckAdapterAsksInItsDialogAndNamesTheFault) {
    BackendOptions options;
    options.port = "sim";
    options.simChip = sim::ChipKind::Empty;
    options.virtualTiming = true;
    ASSERT_EQ(sim::ParseWiringFault("swap:A3,A4", options.simWiring), std::nullopt);
    Form1& w = startOn(Backend::open(options));
    const sim::VirtualAdapter& adapter = *w.session().backend()->virtualAdapter();

    std::vector<int> pins;
    QTimer answer;
    answer.setInterval(0);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = dynamic_cast<AdapterCheckDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        const int pin = dialog->socket().highlighted();
        // The docs' picture: the first measurement, when asked for.
        if (const char* png = std::getenv("LPT51_ADAPTER_CHECK_PNG"); png && pins.empty())
            dialog->grab().save(QString::fromLocal8Bit(png));
        pins.push_back(pin);
        const char* button = "volts0";
        switch (lpt51::testing::SocketMeter::Reading(adapter, pin)) {
            case chip::Volts::Five:
                button = "volts5";
                break;
            case chip::Volts::Twelve:
                button = "volts12";
                break;
            case chip::Volts::Zero:
                break;
        }
        dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    });
    answer.start();
    w.findChild<QAction*>(QStringLiteral("CheckAdapter1"))->trigger();
    answer.stop();

    ASSERT_FALSE(pins.empty());
    EXPECT_EQ(pins.front(), 1);  // A0 first
    EXPECT_THAT(pins, Contains(4));
    std::string all;
    for (const std::string& m : dialogs.messages) all += m + "\n";
    EXPECT_THAT(all, HasSubstr("Guided stage: A3 and A4 are swapped"));
    EXPECT_THAT(all, HasSubstr("Chip stage: not run"));
}

}  // namespace
}  // namespace lpt51::app::testing
