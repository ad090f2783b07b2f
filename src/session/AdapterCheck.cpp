// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/AdapterCheck.h"

#include "chip/Devices.h"
#include "sim/FaultReport.h"

namespace lpt51::session {

const char* const kChipStageQuestion =
    "The chip stage erases the chip in the socket, programs a test pattern into all of it, reads "
    "it back and erases it again.\rSwitch the adapter's power off, put an AT89C51 you can spare "
    "in the socket, switch the power on again, then answer Yes to run it.";

namespace {

const char* StageName(chip::CheckStage stage) {
    switch (stage) {
        case chip::CheckStage::Automatic:
            return "Automatic stage";
        case chip::CheckStage::Guided:
            return "Guided stage";
        case chip::CheckStage::Chip:
            return "Chip stage";
    }
    return "";
}

void Take(OperationResult& result, chip::CheckStage stage, const chip::StageResult& r) {
    const std::string name = StageName(stage);
    for (const chip::Finding& f : r.findings) result.messages.push_back(name + ": " + f.text);
    if (r.skipped) result.notes.push_back(name + ": " + *r.skipped);
}

// What one run of the session gave, added to the whole check's result.
void Merge(OperationResult& into, OperationResult&& part) {
    using Texts = std::vector<std::string> OperationResult::*;
    for (const Texts texts : {&OperationResult::said, &OperationResult::messages,
                              &OperationResult::notes, &OperationResult::faults}) {
        (into.*texts).insert((into.*texts).end(), (part.*texts).begin(), (part.*texts).end());
    }
    into.pulses.pulses.insert(into.pulses.pulses.end(), part.pulses.pulses.begin(),
                              part.pulses.pulses.end());
    into.mendedFaults += part.mendedFaults;
    if (!into.faults.empty()) into.faultSummary = sim::FaultReport::summary(into.faults.size());
    if (part.holds.kind != ChipHolds::Kind::Unchanged) into.holds = part.holds;
    if (part.refused) into.refused = std::move(part.refused);
    if (part.outcome != Outcome::Done) into.outcome = part.outcome;
}

// Why the chip stage is not offered, or nothing.
std::optional<std::string> NoChipStage(const Session& session, const OperationResult& sofar,
                                       const AdapterCheckSetup& setup) {
    if (!sofar.messages.empty() || sofar.outcome != Outcome::Done) {
        // With P2.7 open every erase is a lock bit 2 pulse, and a wire the
        // stages before have named may be that one.
        return std::string(
            "not run: mend the faults named above first (with P2.7 open, for one, the erase "
            "would set lock bit 2 instead).");
    }
    if (setup.device == chip::kNoSelect && session.bidirectional()) return setup.noDevice;
    return std::nullopt;
}

}  // namespace

OperationResult AdapterCheck(Session& session, Prompts& prompts, OperationView& view,
                             const AdapterCheckSetup& setup) {
    OperationResult result;
    // Normal priority: the user takes seconds over each measurement, and
    // neither stage times anything.
    OperationResult empty = session.run(
        prompts, sim::ChipUse::Reads,
        [&](chip::ChipContext& ctx, OperationResult& r) {
            Take(r, chip::CheckStage::Automatic, chip::CheckPort(ctx));
            if (setup.meter == nullptr) {
                r.notes.push_back(std::string(StageName(chip::CheckStage::Guided)) + ": " +
                                  setup.noMeter);
            } else {
                Take(r, chip::CheckStage::Guided, chip::CheckWithMeter(ctx, *setup.meter));
            }
            return Outcome::Done;
        },
        Priority::Normal, &view);
    // The guided stage pulls PROG low under any mode to measure it, which
    // the virtual adapter notes as a fault of chip work; with the socket
    // empty there is no chip for it to harm.
    empty.faults.clear();
    Merge(result, std::move(empty));
    if (result.refused) return result;

    const std::string chipStage = StageName(chip::CheckStage::Chip);
    if (const auto why = NoChipStage(session, result, setup)) {
        result.notes.push_back(chipStage + ": " + *why);
    } else if (session.bidirectional() &&
               prompts.ask(QuestionKind::Warning, kChipStageQuestion) != Answer::Yes) {
        result.notes.push_back(chipStage + ": not run; nothing was erased.");
    } else {
        // On an output-only port the stage says itself why it cannot run,
        // before it touches the chip.
        const sim::ChipUse use =
            session.bidirectional() ? sim::ChipUse::Changes : sim::ChipUse::Reads;
        Merge(result, session.run(
                          prompts, use,
                          [&](chip::ChipContext& ctx, OperationResult& r) {
                              const chip::StageResult s =
                                  chip::CheckWithChip(ctx, setup.device, &view);
                              Take(r, chip::CheckStage::Chip, s);
                              if (s.skipped == std::nullopt || !s.findings.empty())
                                  r.holds.kind = ChipHolds::Kind::Erased;
                              return Outcome::Done;
                          },
                          Priority::RealTime, &view));
    }
    if (result.succeeded() && !result.refused)
        result.notes.push_back("The adapter check found nothing wrong.");
    return result;
}

}  // namespace lpt51::session
