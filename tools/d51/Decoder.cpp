// SPDX-License-Identifier: GPL-3.0-or-later
#include "Decoder.h"

#include <array>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "Names.h"

namespace lpt51::d51 {

namespace {

using K = OperandKind;

struct Form {
    Form() = default;
    // The operands are copied: an initializer list's elements die with the
    // statement that makes it, and a Form outlives the return statement.
    Form(const char* m, std::initializer_list<K> ops) : mnemonic(m) {
        for (K k : ops) operandArray[count++] = k;
    }
    std::span<const K> operands() const { return {operandArray.data(), count}; }

    const char* mnemonic = nullptr;  // nullptr: undefined opcode
    std::array<K, 3> operandArray{};
    std::size_t count = 0;
};

// The arithmetic and logic rows share one layout from column 4 onward: A,#data;
// A,direct; A,@Ri; A,Rn.
Form AccForm(const char* m, std::uint8_t col) {
    if (col == 4) return {m, {K::A, K::Imm8}};
    if (col == 5) return {m, {K::A, K::Direct}};
    if (col < 8) return {m, {K::A, K::AtReg}};
    return {m, {K::A, K::Reg}};
}

Form Lookup(std::uint8_t op) {
    const std::uint8_t row = op >> 4;
    const std::uint8_t col = op & 0x0F;
    if (col == 1) return {(row & 1) ? "ACALL" : "AJMP", {K::Addr11}};
    // Columns 6-F address @R0, @R1, R0-R7 and follow the column 5 form of the row.
    const K r = col >= 8 ? K::Reg : K::AtReg;
    switch (row) {
        case 0x0:
            if (col == 0) return {"NOP", {}};
            if (col == 2) return {"LJMP", {K::Addr16}};
            if (col == 3) return {"RR", {K::A}};
            if (col == 4) return {"INC", {K::A}};
            if (col == 5) return {"INC", {K::Direct}};
            return {"INC", {r}};
        case 0x1:
            if (col == 0) return {"JBC", {K::Bit, K::Rel}};
            if (col == 2) return {"LCALL", {K::Addr16}};
            if (col == 3) return {"RRC", {K::A}};
            if (col == 4) return {"DEC", {K::A}};
            if (col == 5) return {"DEC", {K::Direct}};
            return {"DEC", {r}};
        case 0x2:
            if (col == 0) return {"JB", {K::Bit, K::Rel}};
            if (col == 2) return {"RET", {}};
            if (col == 3) return {"RL", {K::A}};
            return AccForm("ADD", col);
        case 0x3:
            if (col == 0) return {"JNB", {K::Bit, K::Rel}};
            if (col == 2) return {"RETI", {}};
            if (col == 3) return {"RLC", {K::A}};
            return AccForm("ADDC", col);
        case 0x4:
        case 0x5:
        case 0x6: {
            static const char* const kJumps[] = {"JC", "JNC", "JZ"};
            static const char* const kOps[] = {"ORL", "ANL", "XRL"};
            const char* m = kOps[row - 4];
            if (col == 0) return {kJumps[row - 4], {K::Rel}};
            if (col == 2) return {m, {K::Direct, K::A}};
            if (col == 3) return {m, {K::Direct, K::Imm8}};
            return AccForm(m, col);
        }
        case 0x7:
            if (col == 0) return {"JNZ", {K::Rel}};
            if (col == 2) return {"ORL", {K::C, K::Bit}};
            if (col == 3) return {"JMP", {K::AtADptr}};
            if (col == 4) return {"MOV", {K::A, K::Imm8}};
            if (col == 5) return {"MOV", {K::Direct, K::Imm8}};
            return {"MOV", {r, K::Imm8}};
        case 0x8:
            if (col == 0) return {"SJMP", {K::Rel}};
            if (col == 2) return {"ANL", {K::C, K::Bit}};
            if (col == 3) return {"MOVC", {K::A, K::AtAPc}};
            if (col == 4) return {"DIV", {K::AB}};
            if (col == 5) return {"MOV", {K::Direct, K::Direct}};
            return {"MOV", {K::Direct, r}};
        case 0x9:
            if (col == 0) return {"MOV", {K::Dptr, K::Imm16}};
            if (col == 2) return {"MOV", {K::Bit, K::C}};
            if (col == 3) return {"MOVC", {K::A, K::AtADptr}};
            return AccForm("SUBB", col);
        case 0xA:
            if (col == 0) return {"ORL", {K::C, K::NotBit}};
            if (col == 2) return {"MOV", {K::C, K::Bit}};
            if (col == 3) return {"INC", {K::Dptr}};
            if (col == 4) return {"MUL", {K::AB}};
            if (col == 5) return {};
            return {"MOV", {r, K::Direct}};
        case 0xB:
            if (col == 0) return {"ANL", {K::C, K::NotBit}};
            if (col == 2) return {"CPL", {K::Bit}};
            if (col == 3) return {"CPL", {K::C}};
            if (col == 4) return {"CJNE", {K::A, K::Imm8, K::Rel}};
            if (col == 5) return {"CJNE", {K::A, K::Direct, K::Rel}};
            return {"CJNE", {r, K::Imm8, K::Rel}};
        case 0xC:
            if (col == 0) return {"PUSH", {K::Direct}};
            if (col == 2) return {"CLR", {K::Bit}};
            if (col == 3) return {"CLR", {K::C}};
            if (col == 4) return {"SWAP", {K::A}};
            if (col == 5) return {"XCH", {K::A, K::Direct}};
            return {"XCH", {K::A, r}};
        case 0xD:
            if (col == 0) return {"POP", {K::Direct}};
            if (col == 2) return {"SETB", {K::Bit}};
            if (col == 3) return {"SETB", {K::C}};
            if (col == 4) return {"DA", {K::A}};
            if (col == 5) return {"DJNZ", {K::Direct, K::Rel}};
            if (col < 8) return {"XCHD", {K::A, K::AtReg}};
            return {"DJNZ", {K::Reg, K::Rel}};
        case 0xE:
            if (col == 0) return {"MOVX", {K::A, K::AtDptr}};
            if (col == 2 || col == 3) return {"MOVX", {K::A, K::AtReg}};
            if (col == 4) return {"CLR", {K::A}};
            if (col == 5) return {"MOV", {K::A, K::Direct}};
            return {"MOV", {K::A, r}};
        default:
            if (col == 0) return {"MOVX", {K::AtDptr, K::A}};
            if (col == 2 || col == 3) return {"MOVX", {K::AtReg, K::A}};
            if (col == 4) return {"CPL", {K::A}};
            if (col == 5) return {"MOV", {K::Direct, K::A}};
            return {"MOV", {r, K::A}};
    }
}

std::size_t OperandBytes(K k) {
    switch (k) {
        case K::Imm8:
        case K::Direct:
        case K::Bit:
        case K::NotBit:
        case K::Rel:
        case K::Addr11:  // low eight bits; the top three ride in the opcode
            return 1;
        case K::Imm16:
        case K::Addr16:
            return 2;
        default:
            return 0;
    }
}

std::size_t FormLength(const Form& f) {
    if (!f.mnemonic) return 0;
    std::size_t n = 1;
    for (K k : f.operands()) n += OperandBytes(k);
    return n;
}

}  // namespace

std::size_t InstructionLength(std::uint8_t opcode) {
    return FormLength(Lookup(opcode));
}

std::optional<Instruction> Decode(std::span<const std::uint8_t> code, std::uint16_t address) {
    if (code.empty()) return std::nullopt;
    const std::uint8_t op = code[0];
    const Form form = Lookup(op);
    const std::size_t length = FormLength(form);
    if (length == 0 || code.size() < length) return std::nullopt;

    Instruction insn;
    insn.address = address;
    insn.length = length;
    insn.mnemonic = form.mnemonic;
    for (std::size_t i = 0; i < length; ++i) insn.bytes[i] = code[i];
    const std::uint16_t next = static_cast<std::uint16_t>(address + length);

    std::size_t pos = 1;
    for (K k : form.operands()) {
        Operand o{k, 0};
        switch (k) {
            case K::Reg:
                o.value = op & 7;
                break;
            case K::AtReg:
                o.value = op & 1;
                break;
            case K::Imm8:
            case K::Direct:
            case K::Bit:
            case K::NotBit:
                o.value = code[pos++];
                break;
            case K::Imm16:
            case K::Addr16:
                o.value = static_cast<std::uint16_t>((code[pos] << 8) | code[pos + 1]);
                pos += 2;
                break;
            case K::Rel:
                o.value = static_cast<std::uint16_t>(next + static_cast<std::int8_t>(code[pos++]));
                break;
            case K::Addr11:
                o.value =
                    static_cast<std::uint16_t>((next & 0xF800) | ((op & 0xE0) << 3) | code[pos++]);
                break;
            default:
                break;
        }
        if (k == K::Rel || k == K::Addr11 || k == K::Addr16) insn.target = o.value;
        insn.operands.push_back(o);
    }
    // MOV direct,direct carries the source first, unlike every other form.
    if (op == 0x85) std::swap(insn.operands[0].value, insn.operands[1].value);
    return insn;
}

std::string LabelName(std::uint16_t address) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "L%04X", address);
    return buf;
}

namespace {

// The operands that are written the same whatever the instruction holds.
const char* FixedOperandText(K kind) {
    static constexpr std::pair<K, const char*> kFixed[] = {
        {K::A, "A"},
        {K::C, "C"},
        {K::AB, "AB"},
        {K::Dptr, "DPTR"},
        {K::AtADptr, "@A+DPTR"},
        {K::AtAPc, "@A+PC"},
        {K::AtDptr, "@DPTR"},
    };
    for (const auto& [k, text] : kFixed)
        if (k == kind) return text;
    return nullptr;
}

}  // namespace

std::string FormatOperands(const Instruction& insn, const HasLabel& hasLabel) {
    std::string out;
    for (const Operand& o : insn.operands) {
        if (!out.empty()) out += ',';
        if (const char* fixed = FixedOperandText(o.kind)) {
            out += fixed;
            continue;
        }
        switch (o.kind) {
            case K::Reg:
                out += "R" + std::to_string(o.value);
                break;
            case K::AtReg:
                out += "@R" + std::to_string(o.value);
                break;
            case K::Imm8:
                out += "#" + Hex8(static_cast<std::uint8_t>(o.value));
                break;
            case K::Imm16:
                out += "#" + Hex16(o.value);
                break;
            case K::Direct:
                out += DirectName(static_cast<std::uint8_t>(o.value));
                break;
            case K::Bit:
                out += BitName(static_cast<std::uint8_t>(o.value));
                break;
            case K::NotBit:
                out += "/" + BitName(static_cast<std::uint8_t>(o.value));
                break;
            case K::Rel: {
                if (hasLabel && hasLabel(o.value)) {
                    out += LabelName(o.value);
                    break;
                }
                // Taken from the raw offset, not the wrapped target, so that a
                // jump below 0000H stays "*-n" rather than becoming 0FFxxH.
                const int rel = static_cast<std::int8_t>(insn.bytes[insn.length - 1]);
                const int n = static_cast<int>(insn.length) + rel;
                out += n < 0 ? "*-" + std::to_string(-n) : "*+" + std::to_string(n);
                break;
            }
            case K::Addr11:
            case K::Addr16:
                out += hasLabel && hasLabel(o.value) ? LabelName(o.value) : Hex16(o.value);
                break;
            default:  // the fixed texts above
                break;
        }
    }
    return out;
}

}  // namespace lpt51::d51
