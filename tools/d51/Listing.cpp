// SPDX-License-Identifier: GPL-3.0-or-later
#include "Listing.h"

#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "Decoder.h"
#include "Names.h"

namespace lpt51::d51 {

namespace {

// Undefined bytes are grouped a few to a line so that a sparse image stays
// readable; bytes that fail to decode stay one to a line.
constexpr std::size_t kGapBytesPerLine = 8;
constexpr std::size_t kCommentColumn = 32;

struct Item {
    std::size_t address;
    std::size_t length;
    std::optional<Instruction> insn;  // empty: data
    bool gap = false;                 // not loaded by any record
};

std::string Hex4(std::size_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04zX", v);
    return buf;
}

std::string ByteList(const Image& image, std::size_t address, std::size_t length) {
    std::string s;
    for (std::size_t i = 0; i < length; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", image.bytes[address + i]);
        s += buf;
    }
    return s;
}

void AppendLine(std::string& out, const std::string& label, const std::string& mnemonic,
                const std::string& operands, const std::string& comment) {
    std::string line = label.empty() ? "" : label + ":";
    line.resize(8, ' ');
    std::string m = mnemonic;
    if (!operands.empty()) {
        m.resize(6, ' ');
        m += operands;
    }
    line += m;
    if (line.size() < kCommentColumn) {
        line.resize(kCommentColumn, ' ');
    } else {
        line += ' ';
    }
    line += "; " + comment + "\n";
    out += line;
}

}  // namespace

std::string MakeListing(const Image& image, std::string_view sourceName) {
    std::string out;
    out += "; d51 listing of " + std::string(sourceName) + "\n";
    if (image.empty()) {
        out += "; no data\n";
        return out;
    }
    const std::size_t first = image.first;
    const std::size_t end = image.last + 1;
    out += "; " + Hex16(static_cast<std::uint16_t>(first)) + " to " +
           Hex16(static_cast<std::uint16_t>(image.last)) + ", " + std::to_string(end - first) +
           " bytes; bytes no record loads are shown as 0FFH data\n";

    std::vector<Item> items;
    std::array<bool, kCodeSize> isStart{};
    std::array<bool, kCodeSize> isTarget{};
    for (std::size_t a = first; a < end;) {
        isStart[a] = true;
        if (!image.defined[a]) {
            items.push_back({a, 1, std::nullopt, true});
            ++a;
            continue;
        }
        // An instruction never runs on into bytes that no record loaded.
        std::size_t run = a;
        while (run < end && run < a + 3 && image.defined[run]) ++run;
        auto insn =
            Decode(std::span(image.bytes.data() + a, run - a), static_cast<std::uint16_t>(a));
        if (insn) {
            if (insn->target && *insn->target < kCodeSize) isTarget[*insn->target] = true;
            const std::size_t len = insn->length;
            items.push_back({a, len, std::move(insn), false});
            a += len;
        } else {
            items.push_back({a, 1, std::nullopt, false});
            ++a;
        }
    }
    auto hasLabel = [&](std::uint16_t t) {
        return t >= first && t < end && isStart[t] && isTarget[t];
    };

    out += "        .ORG  " + Hex16(static_cast<std::uint16_t>(first)) + "\n";
    for (std::size_t i = 0; i < items.size();) {
        const Item& it = items[i];
        const std::string label = hasLabel(static_cast<std::uint16_t>(it.address))
                                      ? LabelName(static_cast<std::uint16_t>(it.address))
                                      : "";
        if (it.insn) {
            AppendLine(out, label, it.insn->mnemonic, FormatOperands(*it.insn, hasLabel),
                       Hex4(it.address) + ": " + ByteList(image, it.address, it.length));
            ++i;
            continue;
        }
        std::size_t n = 1;
        if (it.gap) {
            while (i + n < items.size() && n < kGapBytesPerLine && items[i + n].gap &&
                   !hasLabel(static_cast<std::uint16_t>(items[i + n].address)))
                ++n;
        }
        std::string values;
        for (std::size_t k = 0; k < n; ++k) {
            if (k) values += ',';
            values += Hex8(image.bytes[it.address + k]);
        }
        AppendLine(out, label, ".DB", values,
                   Hex4(it.address) + ": " + ByteList(image, it.address, n) +
                       (it.gap ? " (not loaded)" : ""));
        i += n;
    }
    out += "        .END\n";
    return out;
}

}  // namespace lpt51::d51
