// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>

#include "../SocketMeter.h"
#include "chip/Devices.h"
#include "session/AdapterCheck.h"
#include "sim/Wiring.h"

namespace lpt51::session {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string Joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& t : texts) all += t + "\n";
    return all;
}

// Keeps what was asked and answers from a script, Yes once it runs out. A
// Yes to the chip stage's question puts a 12 V chip holding 5A in every byte
// into the socket, as the user would.
class InsertingPrompts final : public Prompts {
  public:
    explicit InsertingPrompts(sim::VirtualAdapter*& adapter) : adapter_(adapter) {}
    void showMessage(const std::string& text) override { shown.push_back(text); }
    Answer ask(QuestionKind, const std::string& text) override {
        asked.push_back(text);
        Answer a = Answer::Yes;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        if (a == Answer::Yes && text == kChipStageQuestion) {
            adapter_->chip() = sim::ChipState::erased(sim::ChipKind::Part12V);
            adapter_->chip().code.fill(0x5A);
        }
        return a;
    }
    std::vector<std::string> shown, asked;
    std::deque<Answer> answers;

  private:
    sim::VirtualAdapter*& adapter_;
};

// A session on the virtual adapter, miswired as --sim-wiring says, with the
// guided stage answered from its socket pins.
struct CheckedSession {
    Session session;
    sim::VirtualAdapter* socket = nullptr;
    InsertingPrompts prompts{socket};
    OperationView view;

    // The socket empty, as the first two stages need it.
    explicit CheckedSession(const std::string& fault,
                            sim::PortKind port = sim::PortKind::Bidirectional)
        : session(Setup(fault, sim::ChipKind::Empty, port)) {
        session.open();
        socket = session.backend()->virtualAdapter();
    }
    static SessionSetup Setup(const std::string& fault, sim::ChipKind chip, sim::PortKind port) {
        SessionSetup setup;
        setup.backend.port = "sim";
        setup.backend.simChip = chip;
        setup.backend.simPort = port;
        setup.backend.virtualTiming = true;
        EXPECT_EQ(sim::ParseWiringFault(fault, setup.backend.simWiring), std::nullopt) << fault;
        setup.measureCpuMHz = [] { return kNominalVirtualMHz; };
        setup.nominalClock = true;
        return setup;
    }
    sim::VirtualAdapter& adapter() { return *session.backend()->virtualAdapter(); }

    OperationResult check(const std::string& device = chip::kDevice12V) {
        EXPECT_TRUE(session.ready());
        testing::SocketMeter meter(adapter());
        AdapterCheckSetup setup{&meter, "", device, "no device"};
        return AdapterCheck(session, prompts, view, setup);
    }
};

// Every miswiring fails the check, named by the stage that sees it; the chip
// stage is then not offered, so no chip is erased through a wrong wire.
TEST(SessionAdapterCheck, EachWiringFaultFailsItAtTheStageThatSeesIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"grounded:D2", "Automatic stage: D2 (DB-25 pin 4, socket pin 37) is shorted to ground"},
        {"no-pull-up:D5", "Automatic stage: D5 (DB-25 pin 7, socket pin 34) reads 0"},
        {"stuck-low:A5", "Guided stage: A5 never goes high"},
        {"stuck-high:A10", "Guided stage: A10 never goes low"},
        {"swap:A3,A4", "Guided stage: A3 and A4 are swapped"},
        {"swap:D1,D3", "Guided stage: D1 and D3 are swapped"},
        {"vpp-5v", "Guided stage: EA/VPP never gets 12 V"},
        {"vpp-12v", "Guided stage: EA/VPP stays at 12 V"},
        {"open:P2.7", "Guided stage: P2.7 never goes high"},
        {"open:PROG", "Guided stage: ALE/PROG never goes high"},
    };
    for (const auto& [fault, named] : cases) {
        CheckedSession s(fault);
        const OperationResult r = s.check();
        EXPECT_FALSE(r.succeeded()) << fault;
        EXPECT_THAT(Joined(r.messages), HasSubstr(named)) << fault;
        EXPECT_THAT(Joined(r.notes), HasSubstr("Chip stage: not run: mend the faults")) << fault;
        EXPECT_THAT(s.prompts.asked, IsEmpty()) << fault;
        EXPECT_EQ(s.adapter().erasePulses(), 0u) << fault;
    }
}

TEST(SessionAdapterCheck, ACorrectAdapterPassesEveryStageAndTheChipEndsErased) {
    CheckedSession s("none");
    const OperationResult r = s.check();
    EXPECT_TRUE(r.succeeded()) << Joined(r.messages) << Joined(r.faults);
    EXPECT_EQ(Joined(r.notes), "The adapter check found nothing wrong.\n");
    EXPECT_THAT(s.prompts.asked, Contains(std::string(kChipStageQuestion)));
    EXPECT_EQ(s.adapter().erasePulses(), 2u);
    EXPECT_TRUE(std::all_of(s.adapter().chip().code.begin(), s.adapter().chip().code.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
}

// A stage that cannot or may not run says so, and the check goes on.
TEST(SessionAdapterCheck, WhatIsNotRunIsSaidAndNothingIsErased) {
    CheckedSession declined("none");
    declined.prompts.answers = {Answer::No};
    OperationResult r = declined.check();
    EXPECT_TRUE(r.succeeded());
    EXPECT_THAT(Joined(r.notes), HasSubstr("Chip stage: not run; nothing was erased."));
    EXPECT_EQ(declined.adapter().erasePulses(), 0u);

    CheckedSession noDevice("none");
    r = noDevice.check(chip::kNoSelect);
    EXPECT_THAT(Joined(r.notes), HasSubstr("Chip stage: no device"));
    EXPECT_THAT(noDevice.prompts.asked, IsEmpty());

    CheckedSession spp("none", sim::PortKind::OutputOnly);
    r = spp.check();
    EXPECT_TRUE(r.succeeded());
    EXPECT_THAT(Joined(r.notes), HasSubstr("Automatic stage: "));
    EXPECT_THAT(Joined(r.notes), HasSubstr("Chip stage: This port cannot read the chip back"));
    EXPECT_EQ(spp.adapter().erasePulses(), 0u);

    // The guided stage stopped by the user still fails on what it named.
    CheckedSession stopped("stuck-low:A1");
    testing::SocketMeter meter(stopped.adapter());
    meter.stopAfter = 5;
    r = AdapterCheck(stopped.session, stopped.prompts, stopped.view,
                     {&meter, "", chip::kDevice12V, ""});
    EXPECT_FALSE(r.succeeded());
    EXPECT_THAT(Joined(r.notes), HasSubstr("Guided stage: Stopped at socket pin 3"));
}

}  // namespace
}  // namespace lpt51::session
