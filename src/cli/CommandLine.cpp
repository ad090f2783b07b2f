#include "cli/CommandLine.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "chip/At89c51.h"
#include "chip/Cwv.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/HexText.h"
#include "chip/Lock.h"
#include "chip/ReadOut.h"
#include "chip/Signature.h"
#include "cli/Arguments.h"
#include "cli/ChipSteps.h"
#include "cli/CommandRun.h"
#include "cli/ImageOperand.h"
#include "cli/InfoText.h"
#include "cli/PortList.h"
#include "file/ReplaceFile.h"
#include "file/Stream.h"
#include "port/RecordingPort.h"

namespace lpt51::cli {

namespace {

using session::Judged;
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
    return r.operate(
        [&](chip::ChipContext&) {
            const session::Facts f = r.session.facts();
            PrintProgramFacts(r.out, f);
            PrintPortFacts(r.out, f);
            return Outcome::Done;
        },
        session::Priority::Normal);
}

// Judged by the bytes, not by ChipType: after a Yes to the questions the
// window takes any chip whose third byte is FF for a 12 V part.
bool KnownSignature(const std::vector<std::uint8_t>& bytes) {
    const chip::ChipDescriptor& c = chip::kAt89c51;
    return bytes.size() == 3 && bytes[0] == c.manufacturer && bytes[1] == c.device &&
           (bytes[2] == c.signature(chip::Variant::Volts12) ||
            bytes[2] == c.signature(chip::Variant::Volts5));
}

int Signature(CommandRun& r) {
    if (const int e = r.openPort(); e != kExitDone) return e;
    if (r.refuseOutputOnly("Reading the signature")) return kExitPort;
    return r.operate([&](chip::ChipContext& ctx) {
        // The bytes are taken from the port traffic itself, so the command
        // line sends exactly what the window sends.
        RecordingPort tap(*r.session.backend()->port());
        Bus bus(tap, ctx.bus.clock(), ctx.bus.delayUnit());
        chip::ChipContext tapped{bus, ctx.prompts, ctx.state};
        const std::string type = chip::SignatureCommand(tapped);
        std::vector<std::uint8_t> bytes;
        for (const auto& a : tap.log()) {
            if (a.kind == PortAccess::Kind::ReadData) bytes.push_back(a.value);
        }
        std::string shown;
        bool allFF = !bytes.empty(), all00 = !bytes.empty();
        for (auto b : bytes) {
            shown += (shown.empty() ? "" : " ") + chip::Hex2(b);
            allFF = allFF && b == 0xFF;
            all00 = all00 && b == 0x00;
        }
        const bool known = KnownSignature(bytes);
        if (r.options.verbose) r.err << "lpt51: signature bytes " << shown << '\n';
        r.out << "Signature: " << shown << '\n';
        r.out << "Device: " << (type == chip::kChipNone ? std::string("none") : type)
              << (known || type == chip::kChipNone
                      ? ""
                      : " (taken so after Yes; not an AT89C51 signature)")
              << '\n';
        if (known) return Outcome::Done;
        if (allFF || all00) {
            r.err << "lpt51: no chip answers (bytes " << shown
                  << "): the socket is empty, the chip has no power, or the adapter is not "
                     "connected.\n";
        } else {
            r.err << "lpt51: the chip in the socket is of another kind (signature " << shown
                  << "), not an AT89C51.\n";
        }
        return Outcome::Failed;
    });
}

int Erase(CommandRun& r) {
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate(
        [&](chip::ChipContext& ctx) { return Judged(chip::ClearChip(ctx, r.options.device)); });
}

int Lock(CommandRun& r) {
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&](chip::ChipContext& ctx) {
        return Judged(chip::LockChip(ctx, r.options.device, r.options.lockBits));
    });
}

int Write(CommandRun& r) {
    if (!r.takeImage()) return kExitFailed;
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&](chip::ChipContext& ctx) {
        std::optional<std::string> message;
        if (!WriteStep(r, ctx, &message)) return Outcome::Failed;
        // "File was burn !" only once the chip is known to hold the file.
        bool ok = true;
        if (!r.options.noVerify && ctx.state.BidiMode == 0) {
            r.err << "lpt51: not verified: output-only port\n";
        } else if (!r.options.noVerify) {
            ok = ReadBackStep(r, ctx);
        }
        if (ok && message) ctx.prompts.showMessage(*message);
        return Judged(ok);
    });
}

int Verify(CommandRun& r) {
    if (!r.takeImage()) return kExitFailed;
    if (const int e = r.openPort(); e != kExitDone) return e;
    if (r.refuseOutputOnly("Verify")) return kExitPort;
    return r.operate([&](chip::ChipContext& ctx) { return Judged(VerifyStep(r, ctx)); });
}

int Cwv(CommandRun& r) {
    if (!r.takeImage()) return kExitFailed;
    if (const int e = r.openPort(); e != kExitDone) return e;
    return r.operate([&](chip::ChipContext& ctx) {
        bool erased = false, written = false, verified = false;
        const auto step = [](bool go) {
            return go ? chip::CwvStep::Continue : chip::CwvStep::Stop;
        };
        const chip::CwvSteps steps{
            [&] { return step(erased = chip::ClearChip(ctx, r.options.device)); },
            [&] { return step(written = WriteStep(r, ctx)); },
            // A difference is reported, and the sequence ends as it would anyway.
            [&] {
                verified = VerifyStep(r, ctx);
                return chip::CwvStep::Continue;
            }};
        const bool ran = chip::RunClearWriteVerify(ctx, r.options.device, r.image, steps);
        const bool readable = ctx.state.BidiMode == 1;
        const bool ok = ran && erased && written && (!readable || verified);
        if (ok) {
            r.out << (readable ? "Erased, written and verified.\n"
                               : "Erased and written (this port cannot read the chip back).\n");
        } else if (!erased) {
            r.out << "Nothing was done.\n";
        } else if (!written) {
            r.out << "The chip was erased but not programmed.\n";
        } else {
            r.out << "Written, but the chip differs from the file.\n";
        }
        return Judged(ok);
    });
}

int Read(CommandRun& r) {
    const std::string& file = r.options.operands[0];
    // /dev/stdout and /dev/fd/N are links too, but streams: written, not replaced.
    if (!IsStandardStream(file) && !file::IsOutputStream(file)) {
        // A link counts as the file it names, also one that names nothing
        // yet: only --force writes through it.
        std::error_code ec;
        const auto link = std::filesystem::symlink_status(file, ec);
        const bool isLink = link.type() == std::filesystem::file_type::symlink;
        if (isLink && file::ResolvedPath(file).empty()) {
            r.err << "lpt51: " << file
                  << " is a symbolic link that leads round in a loop. Nothing was read.\n";
            return kExitFailed;
        }
        if (!r.options.force && (isLink || std::filesystem::exists(link))) {
            r.err << "lpt51: " << file
                  << (isLink && !std::filesystem::exists(file, ec)
                          ? " is a symbolic link to a file that does not exist"
                          : " exists")
                  << "; give --force to replace it. Nothing was read.\n";
            return kExitFailed;
        }
    }
    // Found now, not after the whole chip was read.
    if (auto e = ReadOutTargetProblem(file)) {
        r.err << "lpt51: " << *e << '\n';
        return kExitFailed;
    }
    if (const int e = r.openPort(); e != kExitDone) return e;
    if (r.refuseOutputOnly("Reading the chip")) return kExitPort;
    return r.operate([&](chip::ChipContext& ctx) {
        if (auto e = SaveReadOut(file, r.options.format, ReadWholeChip(r, ctx), r.out)) {
            r.err << "lpt51: " << *e << '\n';
            return Outcome::Failed;
        }
        return Outcome::Done;
    });
}

int Blank(CommandRun& r) {
    if (const int e = r.openPort(); e != kExitDone) return e;
    if (r.refuseOutputOnly("The blank check")) return kExitPort;
    return r.operate(
        [&](chip::ChipContext& ctx) { return Judged(ReportBlank(ReadWholeChip(r, ctx), r.out)); });
}

// As Open checks the file, and the chip's own refusals after the code size;
// no port needed.
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
    {"blank", nullptr, "read the chip and say whether every byte is erased (FF)", nullptr, nullptr,
     false, Blank},
    {"write", "FILE", "program an Intel HEX file", "Write", kProgrammed, true, Write},
    {"verify", "FILE", "compare the chip with an Intel HEX file", "Verify", "Nothing was compared.",
     false, Verify},
    {"read", "FILE", "read the whole chip into an Intel HEX file", nullptr, nullptr, false, Read},
    {"lock", "BITS", "program lock bits, e.g. 1 or 1,2,3", nullptr, nullptr, true, Lock},
    {"cwv", "FILE", "erase, write and verify in one go", "Clear-Write-Verify", kProgrammed, true,
     Cwv},
    {"ports", nullptr, "list the parallel ports found, and whether this user may open them",
     nullptr, nullptr, false, Ports},
    {"adapter-wiring", nullptr,
     "print the adapter's wiring, DB-25 pin to socket pin (no port needed)", nullptr, nullptr,
     false, AdapterWiringCommand},
    {"check", "FILE", "check an Intel HEX file as Open does (no port needed)", "Write",
     "Nothing can be programmed.", false, Check},
};

}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

}  // namespace lpt51::cli
