// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"
#include "app/ResistorAdvice.h"

namespace lpt51::app::testing {
namespace {

using Kind = ProbeModelPort::Kind;
using Messages = std::vector<std::string>;

const std::string kAdvice4700 =
    "You must give R10-17 4700 Ohms and disabled Bidirectional mode in menu File\\Disabled Bidi. "
    "!! ";

std::string ohms(int value) {
    return "Resistors R10-17 are : " + std::to_string(value) + " Ohms .";
}

TEST(ResistorAdvice, WorkedReadings) {
    EXPECT_EQ(ResistorAdvice(0.5L), Messages{ohms(560)});
    EXPECT_EQ(ResistorAdvice(0.25L), Messages{ohms(1600)});
    EXPECT_EQ(ResistorAdvice(0.2L), Messages{ohms(2200)});
    EXPECT_EQ(ResistorAdvice(0.74L), Messages{ohms(220)});
    EXPECT_EQ(ResistorAdvice(0.1L), Messages{"You have probably some errors ! "});
    EXPECT_EQ(ResistorAdvice(2.0L), Messages{kAdvice4700});
    EXPECT_EQ(ResistorAdvice(-0.3L), Messages{kAdvice4700});
}

// Readings that give R exactly: I = 500 / (R + 470).
long double readingFor(long double r) {
    return 500.0L / (r + 470.0L);
}

TEST(ResistorAdvice, RangeEdgesAndTableChoice) {
    EXPECT_EQ(ResistorAdvice(readingFor(2200)), Messages{ohms(2200)});
    EXPECT_EQ(ResistorAdvice(readingFor(2201)), Messages{"You have probably some errors ! "});
    EXPECT_EQ(ResistorAdvice(readingFor(200)), Messages{ohms(220)});
    EXPECT_EQ(ResistorAdvice(readingFor(199)), Messages{kAdvice4700});
    EXPECT_EQ(ResistorAdvice(readingFor(1500)), Messages{ohms(1500)});
    EXPECT_EQ(ResistorAdvice(readingFor(2001)), Messages{ohms(2200)});
    EXPECT_EQ(ResistorAdvice(readingFor(221)), Messages{ohms(240)});
}

TEST(ResistorAdvice, ZeroResistanceThenAdviceAndUnusableReadings) {
    EXPECT_EQ(ResistorAdvice(1.064L), (Messages{"Error!", kAdvice4700}));
    EXPECT_EQ(ResistorAdvice(0.0L), Messages{kReadingTooSmall});
    EXPECT_EQ(ResistorAdvice(-0.0L), Messages{kReadingTooSmall});
    EXPECT_EQ(ResistorAdvice(1e-20L), Messages{kReadingTooSmall});
}

TEST(ParseReading, OnlyTheGivenSeparatorIsADecimalSeparator) {
    EXPECT_EQ(ParseReading("0,5", ','), 0.5L);
    EXPECT_FALSE(ParseReading("0.5", ','));
    EXPECT_EQ(ParseReading("0.5", '.'), 0.5L);
    EXPECT_FALSE(ParseReading("0,5", '.'));
    EXPECT_EQ(ParseReading("  -2 ", '.'), -2.0L);
    EXPECT_EQ(ParseReading("+.25", '.'), 0.25L);
    EXPECT_EQ(ParseReading("5.", '.'), 5.0L);
    EXPECT_EQ(ParseReading("2.5e-1", '.'), 0.25L);
    EXPECT_EQ(ParseReading("25E-2", '.'), 0.25L);
    for (const char* bad : {"", "   ", ".", "-", "1e", "1e+", "0.5mA", "0x1", "1 2", "inf", "nan"})
        EXPECT_FALSE(ParseReading(bad, '.')) << bad;
}

TEST_F(WindowTest, PortTestHoldsLinesAsInputsWhileAskingThenDrivesAgain) {
    dialogs.inputs = {"0.5"};
    Form1& w = start(Kind::PullUps);
    w.Test1->trigger();
    EXPECT_EQ(dialogs.inputCaptions,
              Messages{"Test|Now measure current and write value to the line in mA!"});
    EXPECT_EQ(dialogs.controlDuringInput, 0x27);
    EXPECT_EQ(dialogs.messages, Messages{ohms(560)});
    EXPECT_EQ(port->readControl(), 0x07);
}

TEST_F(WindowTest, PortTestCancelAndUnusableReadingStillRestoreThePort) {
    Form1& w = start(Kind::PullUps);
    w.Test1->trigger();  // Cancel: the empty default text
    EXPECT_EQ(dialogs.messages, Messages{kNotANumber});
    EXPECT_EQ(port->readControl(), 0x07);

    dialogs.messages.clear();
    dialogs.inputs = {"0"};
    w.Test1->trigger();
    EXPECT_EQ(dialogs.messages, Messages{kReadingTooSmall});
    EXPECT_EQ(port->readControl(), 0x07);
}

TEST_F(WindowTest, PortTestReadsTheLocaleDecimalSeparator) {
    locale = QLocale(QLocale::German);
    dialogs.inputs = {"0,5", "0.5"};
    Form1& w = start(Kind::PullUps);
    w.Test1->trigger();
    w.Test1->trigger();
    EXPECT_EQ(dialogs.messages, (Messages{ohms(560), kNotANumber}));

    locale = QLocale(QLocale::English);
    dialogs.messages.clear();
    dialogs.inputs = {"0,5", "0.5"};
    Form1& english = start(Kind::PullUps);
    english.Test1->trigger();
    english.Test1->trigger();
    EXPECT_EQ(dialogs.messages, (Messages{kNotANumber, ohms(560)}));
}

}  // namespace
}  // namespace lpt51::app::testing
