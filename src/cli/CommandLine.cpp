// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <optional>
#include <string>
#include <vector>

#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/HexText.h"
#include "chip/ReadOut.h"
#include "cli/Arguments.h"
#include "cli/CommandRun.h"
#include "cli/Differences.h"
#include "cli/ImageOperand.h"
#include "cli/InfoText.h"
#include "cli/PortList.h"
#include "session/Operations.h"

namespace lpt51::cli {

namespace {

using session::Outcome;

int Info(CommandRun& r) {
    if (const int e = r.checkFiles(); e != kExitDone) return e;
    r.session.open();
    if (!r.session.ready()) {
        PrintProgramFacts(r.out, r.session.facts());
        r.out.flush();
        return r.reportOpened();
    }
    if (const int e = r.reportOpened(); e != kExitDone) return e;
    return r.operate([&] {
        return session::ReadFacts(r.session, r.prompts, [&](const session::Facts& f) {
            PrintProgramFacts(r.out, f);
            PrintPortFacts(r.out, f);
        });
    });
}

int Signature(CommandRun& r) {
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&] {
        session::OperationResult result = session::ReadSignature(r.session, r.prompts, r.view());
        if (result.signature.empty()) return result;
        std::string shown;
        for (const std::uint8_t b : result.signature)
            shown += (shown.empty() ? "" : " ") + chip::Hex2(b);
        if (r.options.verbose) r.err << "lpt51: signature bytes " << shown << '\n';
        r.out << "Signature: " << shown << '\n';
        const std::string& type = result.chipType;
        r.out << "Device: " << (type == chip::kChipNone ? std::string("none") : type)
              << (result.outcome == Outcome::Done || type == chip::kChipNone
                      ? ""
                      : " (taken so after Yes; not an AT89C51 signature)")
              << '\n';
        return result;
    });
}

int Erase(CommandRun& r) {
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate(
        [&] { return session::Erase(r.session, r.prompts, r.view(), r.options.device); });
}

int Lock(CommandRun& r) {
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&] {
        return session::Lock(r.session, r.prompts, r.view(), r.options.device, r.options.lockBits);
    });
}

int Write(CommandRun& r) {
    if (!r.takeImage()) return kExitFailed;
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&] {
        return session::Write(r.session, r.prompts, r.view(), r.options.device, r.image,
                              {.readBack = !r.options.noVerify});
    });
}

int Verify(CommandRun& r) {
    if (!r.takeImage()) return kExitFailed;
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&] {
        session::OperationResult result = session::Verify(r.session, r.prompts, r.view(), r.image);
        const auto& differences = r.view().differences();
        if (!differences.empty()) ReportDifferences(r.out, differences, differences.size());
        return result;
    });
}

// One line on standard output for scripts that read it.
const char* CwvSummary(const session::OperationResult& result, bool readable) {
    using Kind = session::ChipHolds::Kind;
    if (result.succeeded()) {
        return readable ? "Erased, written and verified."
                        : "Erased and written (this port cannot read the chip back).";
    }
    switch (result.holds.kind) {
        case Kind::Unchanged:
            return "Nothing was done.";
        case Kind::Erased:
            return "The chip was erased but not programmed.";
        case Kind::Partly:
        case Kind::Unknown:
            return "The chip was erased and only partly programmed.";
        case Kind::Written:
        case Kind::AsFile:
        case Kind::Differs:
            break;
    }
    return "Written, but the chip differs from the file.";
}

int Cwv(CommandRun& r) {
    if (!r.takeImage()) return kExitFailed;
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&] {
        session::OperationResult result =
            session::ClearWriteVerify(r.session, r.prompts, r.view(), r.options.device, r.image);
        const auto& differences = r.view().differences();
        if (!differences.empty()) ReportDifferences(r.out, differences, differences.size());
        if (result.outcome != Outcome::Stopped)
            r.out << CwvSummary(result, r.session.bidirectional()) << '\n';
        return result;
    });
}

int Read(CommandRun& r) {
    // Opened before the port and the chip: found now, not after the whole
    // chip was read, and a FIFO's reader is waited for without the chip held.
    ReadOutput output;
    if (auto e = output.open(r.options.operands[0], r.options.format, r.options.force, r.err)) {
        r.err << "lpt51: " << *e << '\n';
        return kExitFailed;
    }
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&] {
        session::OperationResult result = session::ReadOut(r.session, r.prompts, r.view());
        if (result.outcome != Outcome::Done) return result;
        if (auto e = output.save(result.readOut.bytes, r.out)) {
            result.outcome = Outcome::Failed;
            result.messages.push_back(*e);
        }
        return result;
    });
}

int Blank(CommandRun& r) {
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&] {
        session::OperationResult result = session::BlankCheck(r.session, r.prompts, r.view());
        if (result.readOut.bytesRead == chip::kCodeSize) ReportBlank(result.readOut.bytes, r.out);
        return result;
    });
}

// As Open checks the file, then as Write would: the code size when Open
// accepts it, then the write's refusal or the records it passes over; no port
// needed.
int Check(CommandRun& r) {
    if (!r.readImage()) return kExitFailed;
    r.out << "Code size: " << r.codeSize << " bytes\n";
    return r.scanImage() ? kExitDone : kExitFailed;
}

int Ports(CommandRun& r) {
    ListPorts(r.out, r.err);
    return kExitDone;
}

constexpr const char* kProgrammed = "Nothing was programmed.";

constexpr Command kCommands[] = {
    {"info", nullptr, "processor clock, delay unit, port mode, port and files directory in use",
     nullptr, nullptr, false, Info},
    {"signature", nullptr, "read the signature bytes and name the device", nullptr, nullptr, false,
     Signature},
    {"erase", nullptr, "erase the chip", nullptr, nullptr, true, Erase},
    {"blank", nullptr,
     "read the signature, then the chip: is an AT89C51 there, with every byte erased (FF)?",
     nullptr, nullptr, false, Blank},
    {"write", "FILE", "program an Intel HEX file", "Write", kProgrammed, true, Write},
    {"verify", "FILE", "compare the chip with an Intel HEX file", "Verify", "Nothing was compared.",
     false, Verify},
    {"read", "FILE", "read the whole chip into an Intel HEX file", nullptr, nullptr, false, Read},
    {"lock", "BITS", "program lock bits, e.g. 1 or 1,2,3", nullptr, nullptr, true, Lock},
    {"cwv", "FILE", "erase, write and verify in one go", "Clear-Write-Verify",
     "The chip was not erased.", true, Cwv},
    {"ports", nullptr, "list the parallel ports found, and whether this user may open them",
     nullptr, nullptr, false, Ports},
    {"adapter-wiring", nullptr,
     "print the adapter's wiring, DB-25 pin to socket pin (no port needed)", nullptr, nullptr,
     false, AdapterWiringCommand},
    {"adapter-check", nullptr,
     "check the adapter's wiring: socket empty, then with a meter, then (asked) with a chip",
     nullptr, nullptr, false, AdapterCheckCommand},
    {"check", "FILE",
     "check an Intel HEX file as Open does and as Write would, without programming (no port "
     "needed)",
     "Write", "Nothing can be programmed.", false, Check},
};

}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

}  // namespace lpt51::cli
