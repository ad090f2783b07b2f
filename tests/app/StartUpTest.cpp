// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFontMetricsF>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <set>

#include "WindowFixture.h"

namespace lpt51::app::testing {
namespace {

using Kind = ProbeModelPort::Kind;

const char* kPortWarning =
    "I can not correctly detect your LPT1 port.\r"
    "You probably have not any pull up resistors on your LPT1 !! \r"
    "I suggest to you connect eight pieces of 4K7 resistors between pins 2 to 9 and +5V .";

struct StartUpCase {
    Kind kind;
    bool bidiOffMarker;
    bool defaultMarker;
    const char* device = nullptr;  // --device
};

class StartUpTable : public WindowTest, public ::testing::WithParamInterface<StartUpCase> {};

TEST_P(StartUpTable, ModeSwitchesCaptionsAndMessageFollowProbeAndMarkers) {
    const StartUpCase c = GetParam();
    if (c.bidiOffMarker) touch("Zelmoxx.dat");
    if (c.defaultMarker) touch("89c51_12.dat");
    if (c.device != nullptr) device = c.device;
    Form1& w = start(c.kind);

    const bool outputOnly = c.kind == Kind::OutputOnly;
    const bool switchedOff = c.kind == Kind::PullUps && c.bidiOffMarker;
    const bool bidi = !outputOnly && !switchedOff;

    EXPECT_EQ(w.state.BidiMode, bidi ? 1 : 0);
    EXPECT_EQ(w.Test1->isEnabled(), bidi);
    EXPECT_EQ(w.Disabled1->isEnabled(), !outputOnly);
    EXPECT_EQ(w.Disabled1->text().toStdString(),
              switchedOff ? "&Enabled Bidi." : "&Disabled Bidi.");
    EXPECT_EQ(w.read->isEnabled(), bidi);
    EXPECT_EQ(w.Re->isEnabled(), bidi);
    EXPECT_FALSE(w.verify->isEnabled());  // not before a write, in any mode
    EXPECT_FALSE(w.Ve->isEnabled());
    EXPECT_EQ(w.Cwv->text().toStdString(), bidi ? "Clear-Write-Verify " : "Clear-Write");

    // --device selects as the Device menu does, over the default device.
    const std::string selected = c.device != nullptr ? c.device
                                 : c.defaultMarker   ? "AT89C51-12V"
                                                     : "   No Select";
    EXPECT_EQ(w.cpu->text().toStdString(), selected);
    EXPECT_EQ(w.state.ChipType, c.device != nullptr || c.defaultMarker ? selected : "");
    EXPECT_EQ(w.AT89C5112V1->isChecked(), selected == "AT89C51-12V");
    EXPECT_EQ(w.AT89C515V1->isChecked(), selected == "AT89C51-5V");
    EXPECT_EQ(w.Def12->text().toStdString(),
              c.defaultMarker ? "&Set no default processor" : "&Set AT89C51-12V as def.");

    if (c.kind == Kind::NoPullUps) {
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{kPortWarning});
    } else {
        EXPECT_TRUE(dialogs.messages.empty());
    }

    // Whatever the probe found, the port is left at rest and the markers
    // were only looked at.
    EXPECT_EQ(port->readControl(), 0x07);
    EXPECT_EQ(port->data(), 0x00);
    EXPECT_EQ(exists("Zelmoxx.dat"), c.bidiOffMarker);
    EXPECT_EQ(exists("89c51_12.dat"), c.defaultMarker);
}

INSTANTIATE_TEST_SUITE_P(
    ProbeByMarkers, StartUpTable,
    ::testing::Values(
        StartUpCase{Kind::OutputOnly, false, false}, StartUpCase{Kind::OutputOnly, true, true},
        StartUpCase{Kind::PullUps, false, false}, StartUpCase{Kind::PullUps, true, false},
        StartUpCase{Kind::PullUps, true, true}, StartUpCase{Kind::PullUps, false, true},
        StartUpCase{Kind::NoPullUps, true, false}, StartUpCase{Kind::NoPullUps, false, true},
        StartUpCase{Kind::PullUps, false, true, "AT89C51-5V"},
        StartUpCase{Kind::OutputOnly, true, false, "AT89C51-12V"}));

TEST_F(WindowTest, TheClockIsMeasuredBeforeThePortIsOpened) {
    // Opening claims the port, and a claim holds PROG low until the port is
    // put at rest: the half-second measurement must not fall in between.
    EXPECT_EQ(start(Kind::PullUps, {}, 2993.7).session().delayUnit(), 29930u);
    EXPECT_EQ(startEvents, (std::vector<std::string>{"measure", "open"}));
}

TEST_F(WindowTest, ControlsStandWhereAndAsTheWindowDefinesThem) {
    Form1& w = start(Kind::PullUps);
    EXPECT_EQ(w.centralWidget()->size(), QSize(535, 426));
    EXPECT_EQ(w.RichEdit1->geometry(), QRect(8, 80, 345, 334));
    EXPECT_EQ(w.clear->geometry(), QRect(384, 72, 113, 30));
    EXPECT_EQ(w.Cwv->geometry(), QRect(376, 312, 137, 30));
    EXPECT_EQ(w.l3->geometry(), QRect(464, 288, 17, 17));
    EXPECT_EQ(w.SpeedButton6->geometry(), QRect(168, 8, 23, 22));
    EXPECT_TRUE(w.RichEdit1->isReadOnly());
    EXPECT_EQ(w.RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(w.Disa->toolTip(), QStringLiteral("Dis51"));

    // Enabled at start.
    for (QWidget* on : std::initializer_list<QWidget*>{w.SpeedButton1, w.SpeedButton6, w.clear,
                                                       w.read, w.lock, w.exit, w.l1})
        EXPECT_TRUE(on->isEnabled()) << on->objectName().toStdString();
    for (QWidget* off :
         std::initializer_list<QWidget*>{w.save, w.Hex, w.Disa, w.write, w.verify, w.Cwv})
        EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
    for (QAction* off : {w.Save1, w.Hexa1, w.dis51, w.Wr, w.Ve})
        EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();

    // Menu titles keep their trailing blanks; Info is a command on the bar.
    std::vector<std::string> titles;
    for (QAction* a : w.menuBar()->actions()) titles.push_back(a->text().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"&File   ", "&View    ", "&Action   ",
                                                "&Device     ", "I&nfo    "}));
    // Every title and every item can be reached from the keyboard, and no two
    // on one menu share a key (the second would never be reached).
    auto expectDistinctKeys = [](const QList<QAction*>& actions, const QString& where) {
        std::set<int> keys;
        for (const QAction* a : actions) {
            if (a->isSeparator()) continue;
            const QKeySequence key = QKeySequence::mnemonic(a->text());
            EXPECT_FALSE(key.isEmpty()) << where.toStdString() << ": " << a->text().toStdString();
            EXPECT_TRUE(keys.insert(key[0].toCombined()).second)
                << where.toStdString() << ": " << a->text().toStdString();
        }
    };
    expectDistinctKeys(w.menuBar()->actions(), QStringLiteral("menu bar"));
    for (const QAction* title : w.menuBar()->actions()) {
        if (title->menu() != nullptr) expectDistinctKeys(title->menu()->actions(), title->text());
    }
    EXPECT_EQ(w.Open1->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(w.Save1->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(w.Exit1->shortcut(), QKeySequence(QKeySequence::Quit));
    // Hex fields line up only when every character of a record has one
    // advance, and the record as a whole no kerning.
    const QFontMetricsF view(w.RichEdit1->font());
    const QString record = QStringLiteral(":10ABCDEF0123456789ABCDEF0123456789ABCDEF");
    const qreal advance = view.horizontalAdvance(QLatin1Char('0'));
    for (const QChar c : record)
        EXPECT_EQ(view.horizontalAdvance(c), advance) << QString(c).toStdString();
    EXPECT_EQ(view.horizontalAdvance(record), advance * record.size());
    EXPECT_TRUE(w.RichEdit1->font().bold());
    EXPECT_EQ(w.findChild<QAction*>(QStringLiteral("Info2")), w.Info2);
    EXPECT_EQ(w.findChild<QPushButton*>(QStringLiteral("write")), w.write);
    EXPECT_TRUE(w.caption().isEmpty());
    EXPECT_EQ(w.windowTitle().toStdString(), "lpt51 [test port]");
    const QPalette ready = w.clear->palette();
    EXPECT_NE(ready.color(QPalette::Active, QPalette::ButtonText),
              ready.color(QPalette::Disabled, QPalette::ButtonText));
}

TEST_F(WindowTest, WithoutAPortTheProblemIsSaidOnceAndChipCommandsRefuse) {
    const std::string problem = "No parallel port at 0x378: load the parport_pc module.";
    Form1& w = start(Kind::PullUps, problem);
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{problem});
    EXPECT_EQ(w.state.BidiMode, 1);
    // The title says which port was tried.
    EXPECT_EQ(w.windowTitle().toStdString(), "lpt51 [no port: 0x378]");
    w.setCaption(QStringLiteral("/tmp/a.hex"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("/tmp/a.hex \u2013 lpt51 [no port: 0x378]"));

    // The chip commands look unavailable, in the window and in their menu,
    // yet stay pressable so they can say why.
    QMenu* actionMenu = w.menuBar()->actions().at(2)->menu();
    for (QWidget* command : std::initializer_list<QWidget*>{w.clear, w.write, w.Cwv, actionMenu}) {
        const QPalette look = command->palette();
        EXPECT_EQ(look.color(QPalette::Active, QPalette::ButtonText),
                  look.color(QPalette::Disabled, QPalette::ButtonText))
            << command->objectName().toStdString();
        EXPECT_EQ(look.color(QPalette::Active, QPalette::Text),
                  look.color(QPalette::Disabled, QPalette::Text))
            << command->objectName().toStdString();
    }
    EXPECT_EQ(w.clear->toolTip().toStdString(), problem);
    EXPECT_EQ(w.ClearChip1->toolTip().toStdString(), problem);
    EXPECT_TRUE(w.clear->isEnabled());
    EXPECT_FALSE(w.write->isEnabled());

    dialogs.messages.clear();
    w.clear->click();
    w.lock->click();
    w.Test1->trigger();
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{problem, problem, problem}));
    EXPECT_TRUE(dialogs.inputCaptions.empty());
}

TEST_F(WindowTest, ClockBelowOneMegahertzSwitchesChipCommandsOff) {
    Form1& w = start(Kind::PullUps, {}, 0.5);
    // Refused before the port is opened: nothing is claimed or probed.
    EXPECT_EQ(startEvents, std::vector<std::string>{"measure"});
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::size_t writesAfterStart = port->controlWrites.size();
    w.Test1->trigger();
    EXPECT_EQ(port->controlWrites.size(), writesAfterStart);
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

}  // namespace
}  // namespace lpt51::app::testing
