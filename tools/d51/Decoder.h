// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lpt51::d51 {

enum class OperandKind {
    A,
    C,
    AB,
    Dptr,
    AtADptr,  // @A+DPTR
    AtAPc,    // @A+PC
    AtDptr,   // @DPTR
    Reg,      // Rn, n from the opcode's low three bits
    AtReg,    // @Ri, i from the opcode's low bit
    Imm8,
    Imm16,
    Direct,
    Bit,
    NotBit,  // /bit
    Rel,
    Addr11,
    Addr16,
};

struct Operand {
    OperandKind kind;
    std::uint16_t value = 0;  // register number, data, address or jump target
};

// One decoded instruction. Jump targets are full 16-bit addresses: a relative
// jump wraps round the 64 KiB address space, and AJMP/ACALL take their page
// from the address after the instruction.
struct Instruction {
    std::uint16_t address = 0;
    std::size_t length = 0;
    std::uint8_t bytes[3] = {};
    const char* mnemonic = "";
    std::vector<Operand> operands;
    std::optional<std::uint16_t> target;  // where a jump or call goes
};

// Instruction length for an opcode; 0 for the undefined opcode A5H.
std::size_t InstructionLength(std::uint8_t opcode);

// Decodes the instruction at the start of `code`, which lies at `address`.
// Nothing when the opcode is undefined or `code` ends inside the instruction.
std::optional<Instruction> Decode(std::span<const std::uint8_t> code, std::uint16_t address);

// Says whether a jump target has a label in the listing.
using HasLabel = std::function<bool(std::uint16_t)>;

// The operand field as the assembler reads it, e.g. "A,#12H" or "ACC.3,L0040".
// Targets without a label are written so that they assemble to the same bytes:
// relative ones as "*+n" (the location counter of the instruction plus n, which
// stays right across the wrap at 0000H), absolute ones as numbers.
std::string FormatOperands(const Instruction& insn, const HasLabel& hasLabel);

std::string LabelName(std::uint16_t address);

}  // namespace lpt51::d51
