// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Operations.h"

#include <algorithm>
#include <limits>

#include "chip/Cwv.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/HexText.h"
#include "chip/Signature.h"
#include "chip/Write.h"
#include "port/RecordingPort.h"

namespace lpt51::session {

namespace {

OperationResult Refused(const std::string& text) {
    OperationResult result;
    result.outcome = Outcome::Failed;
    result.said.push_back(text);
    return result;
}

std::string StopText(Step step, std::size_t done, std::size_t total, const ChipHolds& holds) {
    std::string text = std::string(StepName(step)) + " stopped ";
    text += done == 0
                ? std::string("before the first byte.")
                : "after " + std::to_string(done) + " of " + std::to_string(total) + " bytes.";
    return text + "\rThe port is at rest; " + holds.text();
}

// Notes where a step ended early and says what the chip holds then.
Outcome EndedEarly(OperationResult& result, Step step, std::size_t done, std::size_t total,
                   bool stopped) {
    result.endedIn = step;
    result.stepDone = done;
    result.stepTotal = total;
    if (!stopped) return Outcome::Failed;
    result.messages.push_back(StopText(step, done, total, result.holds));
    return Outcome::Stopped;
}

// What a write that ended early left: its bytes read back, one past the last
// it counted, on a port that can read; otherwise only a guess.
ChipHolds AfterEarlyEnd(chip::ChipContext& ctx, const chip::ScannedImage& image,
                        std::size_t programmed, bool stopped, bool erasedFirst) {
    ChipHolds holds;
    holds.erasedFirst = erasedFirst;
    holds.imageBytes = image.dataBytes;
    if (programmed == 0 && stopped && !ctx.bus.port().failure()) {
        // Stopped before its first pulse: nothing was programmed.
        holds.kind = erasedFirst ? ChipHolds::Kind::Erased : ChipHolds::Kind::Unchanged;
        return holds;
    }
    if (ctx.state.BidiMode == 0 || ctx.bus.port().failure()) {
        holds.kind = ChipHolds::Kind::Unknown;
        return holds;
    }
    // Read back even though a stop was asked for: it is what tells the user
    // whether to write again, and it ends with the port at rest.
    const chip::ReadBackResult back =
        chip::ReadBackImage(ctx, image, programmed + 1, nullptr, /*ignoreStop=*/true);
    holds.kind = ChipHolds::Kind::Partly;
    holds.asFile = back.differences.empty() ? back.compared : back.differences.front().index;
    if (holds.asFile > 0) {
        // The address of the image's byte before the first that differs.
        std::size_t seen = 0;
        for (const chip::WalkRecord& rec : image.records) {
            if (!rec.data) continue;
            if (holds.asFile <= seen + rec.bytes.size()) {
                holds.lastAddress = static_cast<std::uint16_t>((rec.addrHigh << 8) + rec.addrLow +
                                                               (holds.asFile - seen - 1));
                break;
            }
            seen += rec.bytes.size();
        }
    }
    return holds;
}

// The write step: device check, the walk, and what the chip holds after it.
// "File was burn !" is said by the caller once it knows the chip holds the file.
Outcome WriteStep(chip::ChipContext& ctx, OperationView& view, OperationResult& result,
                  const std::string& device, const chip::ScannedImage& image, int index, int count,
                  bool erasedFirst) {
    if (!chip::RunDeviceCheck(ctx, device)) return Outcome::Failed;
    view.stepStarted(Step::Write, index, count);
    const chip::WriteResult w = chip::WriteImage(ctx, device, image, &view);
    view.stepEnded(Step::Write, w.completed);
    if (w.completed) {
        result.holds.kind = ChipHolds::Kind::Written;
        result.holds.erasedFirst = erasedFirst;
        return Outcome::Done;
    }
    if (w.failure) ctx.prompts.showMessage(*w.failure);
    result.holds = AfterEarlyEnd(ctx, image, w.bytesProgrammed, w.stopped, erasedFirst);
    return EndedEarly(result, Step::Write, w.bytesProgrammed, image.dataBytes, w.stopped);
}

std::string ReadBackDifference(const chip::ReadBackResult& back) {
    constexpr std::size_t kNamed = 4;
    const std::vector<chip::ByteDifference>& d = back.differences;
    std::string where;
    for (std::size_t i = 0; i < d.size() && i < kNamed; ++i) {
        where += (i == 0 ? "" : ", ") + chip::Hex2(d[i].address >> 8) +
                 chip::Hex2(d[i].address & 0xFF) + " (chip " + chip::Hex2(d[i].onChip) + ", file " +
                 chip::Hex2(d[i].inFile) + ")";
    }
    if (d.size() > kNamed) where += " and " + std::to_string(d.size() - kNamed) + " more";
    return "written, but reading back " + std::to_string(d.size()) +
           (d.size() == 1 ? " byte differs" : " bytes differ") + " from the file, at " + where +
           ": the chip may be locked or not erased.";
}

// Every byte of a finished write read back, without the verify's questions.
Outcome ReadBackStep(chip::ChipContext& ctx, OperationView& view, OperationResult& result,
                     const chip::ScannedImage& image) {
    view.stepStarted(Step::ReadBack, 2, 2);
    const chip::ReadBackResult back =
        chip::ReadBackImage(ctx, image, std::numeric_limits<std::size_t>::max(), &view);
    view.stepEnded(Step::ReadBack, !back.stopped);
    if (back.stopped)
        return EndedEarly(result, Step::ReadBack, back.compared, image.dataBytes, true);
    result.differences = back.differences;
    if (back.differences.empty()) {
        result.holds.kind = ChipHolds::Kind::AsFile;
        return Outcome::Done;
    }
    result.messages.push_back(ReadBackDifference(back));
    result.holds.kind = ChipHolds::Kind::Partly;
    result.holds.imageBytes = image.dataBytes;
    result.holds.asFile = back.differences.front().index;
    return EndedEarly(result, Step::ReadBack, back.compared, image.dataBytes, false);
}

// The verify step: the walk with its questions, its verdict, and the flag
// it leaves cleared.
Outcome VerifyStep(chip::ChipContext& ctx, OperationView& view, OperationResult& result,
                   const chip::ScannedImage& image, int index, int count) {
    view.stepStarted(Step::Verify, index, count);
    const chip::VerifyResult v = chip::VerifyImage(ctx, image, &view);
    view.stepEnded(Step::Verify, !v.stopped && !v.refusal);
    if (const auto m = chip::VerifyFinalMessage(v, ctx.state)) ctx.prompts.showMessage(*m);
    const bool same = !v.refusal && !v.stopped && v.mismatches == 0 && ctx.state.VerifyFailed == 0;
    ctx.state.VerifyFailed = 0;
    if (v.stopped) return EndedEarly(result, Step::Verify, v.compared, image.dataBytes, true);
    if (!same) {
        result.endedIn = Step::Verify;
        if (!v.refusal && result.holds.kind == ChipHolds::Kind::Written)
            result.holds.kind = ChipHolds::Kind::Differs;
        return Outcome::Failed;
    }
    if (result.holds.kind == ChipHolds::Kind::Written) result.holds.kind = ChipHolds::Kind::AsFile;
    return Outcome::Done;
}

// A walk that reads the whole chip; stopped, it changed nothing.
Outcome ReadOutStep(chip::ChipContext& ctx, OperationView& view, OperationResult& result) {
    view.stepStarted(Step::ReadOut, 1, 1);
    result.readOut = chip::ReadWholeChip(ctx, &view);
    view.stepEnded(Step::ReadOut, !result.readOut.stopped);
    if (result.readOut.stopped) {
        return EndedEarly(result, Step::ReadOut, result.readOut.bytesRead, chip::kCodeSize, true);
    }
    return Outcome::Done;
}

// Judged by the bytes, not by the type: after a Yes to the questions the
// system takes any chip whose third byte is FF for a 12 V part.
bool KnownSignature(const std::vector<std::uint8_t>& bytes) {
    const chip::ChipDescriptor& c = chip::kAt89c51;
    return bytes.size() == 3 && bytes[0] == c.manufacturer && bytes[1] == c.device &&
           (bytes[2] == c.signature(chip::Variant::Volts12) ||
            bytes[2] == c.signature(chip::Variant::Volts5));
}

// Nothing drives the data lines: the pull-ups read FF, a port without them 00.
bool NoChipAnswers(const std::vector<std::uint8_t>& bytes) {
    const auto all = [&bytes](std::uint8_t v) {
        return std::all_of(bytes.begin(), bytes.end(), [v](std::uint8_t b) { return b == v; });
    };
    return !bytes.empty() && (all(0xFF) || all(0x00));
}

Outcome JudgeSignature(OperationResult& result) {
    const std::vector<std::uint8_t>& bytes = result.signature;
    if (KnownSignature(bytes)) return Outcome::Done;
    std::string shown;
    for (const std::uint8_t b : bytes) shown += (shown.empty() ? "" : " ") + chip::Hex2(b);
    if (NoChipAnswers(bytes)) {
        result.messages.push_back("no chip answers (bytes " + shown +
                                  "): the socket is empty, the chip has no power, or the adapter "
                                  "is not connected.");
    } else {
        result.messages.push_back("the chip in the socket is of another kind (signature " + shown +
                                  "), not an AT89C51.");
    }
    return Outcome::Failed;
}

// Keeps every byte read from the data lines. In an erase or a lock those are
// the signature's alone: the device check is all that reads.
class DataReads final : public ObservedPort {
  public:
    DataReads(Port& inner, std::vector<std::uint8_t>& bytes) : ObservedPort(inner), bytes_(bytes) {}

  private:
    void seen(const PortAccess& a) override {
        if (a.kind == PortAccess::Kind::ReadData) bytes_.push_back(a.value);
    }
    std::vector<std::uint8_t>& bytes_;
};

// Runs `step` on the same bus, its data reads kept in `bytes`.
template <typename Run>
auto KeepingReads(chip::ChipContext& ctx, std::vector<std::uint8_t>& bytes, Run&& step) {
    DataReads tap(ctx.bus.port(), bytes);
    Bus bus(tap, ctx.bus.clock(), ctx.bus.delayUnit());
    chip::ChipContext tapped{bus, ctx.prompts, ctx.state, ctx.pulseLog, ctx.stopRequested};
    return step(tapped);
}

// An erase or lock whose device check found nothing in the socket, which
// two Yes answers let go on: its closing message (`done`, when it was said
// last) would speak of a chip that is not there.
Outcome NoChipInSocket(OperationResult& result, const std::string& done, const char* wentOn) {
    const bool said = !result.said.empty() && result.said.back() == done;
    if (said) result.said.pop_back();
    JudgeSignature(result);
    if (said) result.messages.back() += wentOn;
    return Outcome::Failed;
}

}  // namespace

const char* StepName(Step step) {
    switch (step) {
        case Step::Signature:
            return "Signature";
        case Step::Erase:
            return "Clear Chip";
        case Step::Write:
            return chip::kWriteCaption;
        case Step::ReadBack:
            return "Read-back";
        case Step::Verify:
            return chip::kVerifyCaption;
        case Step::ReadOut:
            return "Read Chip";
        case Step::Lock:
            return "Lock Chip";
        case Step::PortTest:
            return "Port test";
    }
    return "";
}

std::string ChipHolds::text() const {
    const std::string erased = erasedFirst ? "was erased and " : "";
    switch (kind) {
        case Kind::Unchanged:
            return "the chip was not changed.";
        case Kind::Erased:
            return "the chip was erased, and nothing of the file was programmed.";
        case Kind::Written:
            return "the chip " + erased + "holds the file as written; it was not verified.";
        case Kind::AsFile:
            return "the chip " + erased + "holds the file (read back).";
        case Kind::Differs:
            return std::string("the chip ") +
                   (erasedFirst ? "was erased and written" : "was written") +
                   ", but does not hold the file: erase it and write it again.";
        case Kind::Partly:
            if (asFile == 0) {
                return "the chip " + erased +
                       "holds none of the file's bytes (read back): erase it and write it again.";
            }
            return "the chip " + erased + "holds the file's first " + std::to_string(asFile) +
                   " of " + std::to_string(imageBytes) + " bytes (to address " +
                   chip::Hex2(lastAddress >> 8) + chip::Hex2(lastAddress & 0xFF) +
                   ", read back): erase it and write it again.";
        case Kind::Unknown:
            return "the chip " + erased +
                   "may be partly programmed (this port cannot read it back): erase it and write "
                   "it again.";
    }
    return {};
}

std::optional<std::string> ImageRefusal(const chip::ScannedImage& image, chip::ImageUse use) {
    return chip::RefusalText(image, use);
}

std::optional<std::string> OutputOnlyRefusal(const Session& session, Step step) {
    if (session.bidirectional()) return std::nullopt;
    const char* what = step == Step::Signature ? "Reading the signature"
                       : step == Step::Verify  ? "Verify"
                       : step == Step::ReadOut ? "Reading the chip"
                                               : StepName(step);
    return std::string(what) +
           " needs a bidirectional port, and this port only drives its data lines (SPP "
           "(Normal)); it cannot read the chip. Set the port to bidirectional/PS2/EPP mode "
           "in the BIOS.";
}

namespace {

OperationResult RefusedOutputOnly(const std::string& text) {
    OperationResult result = Refused(text);
    result.needsBidirectional = true;
    return result;
}

}  // namespace

OperationResult ReadSignature(Session& session, Prompts& prompts, OperationView& view) {
    if (auto refusal = OutputOnlyRefusal(session, Step::Signature))
        return RefusedOutputOnly(*refusal);
    return session.run(
        prompts, sim::ChipUse::Reads,
        [&](chip::ChipContext& ctx, OperationResult& result) {
            // The bytes are taken from the port traffic itself: the signature
            // read is the system's own sequence, and it keeps only the type.
            result.chipType = KeepingReads(ctx, result.signature, chip::SignatureCommand);
            return JudgeSignature(result);
        },
        Priority::RealTime, &view);
}

OperationResult Erase(Session& session, Prompts& prompts, OperationView& view,
                      const std::string& device) {
    return session.run(
        prompts, sim::ChipUse::Changes,
        [&](chip::ChipContext& ctx, OperationResult& result) {
            const bool pulsed = KeepingReads(ctx, result.signature, [&](chip::ChipContext& c) {
                return chip::ClearChip(c, device);
            });
            if (NoChipAnswers(result.signature)) {
                return NoChipInSocket(
                    result, chip::kChipIsClear,
                    " The erase pulse was sent all the same; nothing shows that a "
                    "chip was erased.");
            }
            if (!pulsed) return Outcome::Failed;
            result.holds.kind = ChipHolds::Kind::Erased;
            return Outcome::Done;
        },
        Priority::RealTime, &view);
}

OperationResult Write(Session& session, Prompts& prompts, OperationView& view,
                      const std::string& device, const chip::ScannedImage& image,
                      WriteOptions options) {
    if (auto refusal = ImageRefusal(image, chip::ImageUse::Write)) return Refused(*refusal);
    return session.run(
        prompts, sim::ChipUse::Changes,
        [&](chip::ChipContext& ctx, OperationResult& result) {
            const bool readBack = options.readBack && ctx.state.BidiMode == 1;
            const Outcome written =
                WriteStep(ctx, view, result, device, image, 1, readBack ? 2 : 1, false);
            if (written != Outcome::Done) return written;
            if (options.readBack && !readBack)
                result.notes.push_back("not verified: output-only port");
            if (readBack) {
                if (const Outcome back = ReadBackStep(ctx, view, result, image);
                    back != Outcome::Done)
                    return back;
            }
            // Only once the chip is known to hold the file, where it can be known.
            ctx.prompts.showMessage(chip::kFileWasBurn);
            return Outcome::Done;
        },
        Priority::RealTime, &view);
}

OperationResult Verify(Session& session, Prompts& prompts, OperationView& view,
                       const chip::ScannedImage& image) {
    if (auto refusal = ImageRefusal(image, chip::ImageUse::Verify)) return Refused(*refusal);
    if (auto refusal = OutputOnlyRefusal(session, Step::Verify)) return RefusedOutputOnly(*refusal);
    return session.run(
        prompts, sim::ChipUse::Reads,
        [&](chip::ChipContext& ctx, OperationResult& result) {
            return VerifyStep(ctx, view, result, image, 1, 1);
        },
        Priority::RealTime, &view);
}

OperationResult ReadOut(Session& session, Prompts& prompts, OperationView& view) {
    if (auto refusal = OutputOnlyRefusal(session, Step::ReadOut))
        return RefusedOutputOnly(*refusal);
    return session.run(
        prompts, sim::ChipUse::Reads,
        [&](chip::ChipContext& ctx, OperationResult& result) {
            return ReadOutStep(ctx, view, result);
        },
        Priority::RealTime, &view);
}

OperationResult BlankCheck(Session& session, Prompts& prompts, OperationView& view) {
    if (auto refusal = OutputOnlyRefusal(session, Step::ReadOut))
        return RefusedOutputOnly(*refusal);
    return session.run(
        prompts, sim::ChipUse::Reads,
        [&](chip::ChipContext& ctx, OperationResult& result) {
            // An empty socket reads FF everywhere, as an erased chip does: the
            // signature tells them apart. Read with the device check's
            // questions, and refused with its text when they mark the chip
            // "none"; no device needs to be selected for a read.
            const bool present = KeepingReads(ctx, result.signature, [](chip::ChipContext& c) {
                chip::ReadSignature(c);
                if (c.state.ChipType != chip::kChipNone) return true;
                c.prompts.showMessage(chip::kNoProcessor);
                return false;
            });
            result.chipType = ctx.state.ChipType;
            if (!present || NoChipAnswers(result.signature)) {
                JudgeSignature(result);
                return Outcome::Failed;
            }
            const Outcome read = ReadOutStep(ctx, view, result);
            if (read != Outcome::Done) return read;
            const auto& bytes = result.readOut.bytes;
            return Judged(
                std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; }));
        },
        Priority::RealTime, &view);
}

OperationResult Lock(Session& session, Prompts& prompts, OperationView& view,
                     const std::string& device, chip::LockSelection bits) {
    return session.run(
        prompts, sim::ChipUse::Changes,
        [&](chip::ChipContext& ctx, OperationResult& result) {
            const chip::LockResult lock =
                KeepingReads(ctx, result.signature,
                             [&](chip::ChipContext& c) { return chip::LockChip(c, device, bits); });
            if (NoChipAnswers(result.signature)) {
                return NoChipInSocket(result, chip::LockMessage(bits),
                                      " The lock pulses were sent all the same; nothing shows that "
                                      "a chip was locked.");
            }
            // A bit whose pulses all ran long may not be set: that fails the
            // lock, whatever the device check said.
            return Judged(lock.locked());
        },
        Priority::RealTime, &view);
}

OperationResult ClearWriteVerify(Session& session, Prompts& prompts, OperationView& view,
                                 const std::string& device, const chip::ScannedImage& image) {
    return session.run(
        prompts, sim::ChipUse::Changes,
        [&](chip::ChipContext& ctx, OperationResult& result) {
            const int count = ctx.state.BidiMode == 1 ? 3 : 2;
            Outcome outcome = Outcome::Done;
            const auto step = [&outcome](Outcome o) {
                outcome = o;
                return o == Outcome::Done ? chip::CwvStep::Continue : chip::CwvStep::Stop;
            };
            const chip::CwvSteps steps{
                [&] {
                    view.stepStarted(Step::Erase, 1, count);
                    const bool erased = chip::ClearChip(ctx, device);
                    view.stepEnded(Step::Erase, erased);
                    if (erased) result.holds.kind = ChipHolds::Kind::Erased;
                    // A signal during the erase ends the sequence after it.
                    if (erased && view.stopRequested()) {
                        return step(EndedEarly(result, Step::Write, 0, image.dataBytes, true));
                    }
                    return step(Judged(erased));
                },
                [&] { return step(WriteStep(ctx, view, result, device, image, 2, count, true)); },
                [&] { return step(VerifyStep(ctx, view, result, image, 3, count)); }};
            if (!chip::RunClearWriteVerify(ctx, device, image, steps) && outcome == Outcome::Done)
                outcome = Outcome::Failed;
            // The sequence keeps the verify's verdict to itself: a difference
            // the user stopped at, or went past, would otherwise end in silence.
            if (result.holds.kind == ChipHolds::Kind::Differs && result.messages.empty()) {
                result.messages.push_back(std::string(chip::kVerifyCaption) +
                                          " found the chip different from the file.\rThe " +
                                          result.holds.text().substr(4));
            }
            return outcome;
        },
        Priority::RealTime, &view);
}

OperationResult ReadFacts(Session& session, Prompts& prompts,
                          const std::function<void(const Facts&)>& show) {
    // Normal priority: inside a real-time section Info would find it granted
    // whatever the system allows.
    return session.run(
        prompts, sim::ChipUse::Reads,
        [&](chip::ChipContext&) {
            show(session.facts());
            return Outcome::Done;
        },
        Priority::Normal);
}

OperationResult PortTest(Session& session, Prompts& prompts, OperationView& view,
                         const std::function<void()>& measure) {
    // Normal priority: the user takes seconds to answer, and nothing is timed.
    return session.run(
        prompts, sim::ChipUse::Reads,
        [&](chip::ChipContext& ctx) {
            view.stepStarted(Step::PortTest, 1, 1);
            ctx.bus.SetControl(control::kInput);
            measure();
            ctx.bus.SetControlOut(control::kRest);
            view.stepEnded(Step::PortTest, true);
            return Outcome::Done;
        },
        Priority::Normal, &view);
}

}  // namespace lpt51::session
