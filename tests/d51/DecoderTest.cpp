// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "Decoder.h"
#include "Names.h"

namespace lpt51::d51 {
namespace {

// Every opcode decoded from the bytes op,12H,34H at 0100H, as the 8051 opcode
// map gives it. Relative offsets count from the next instruction, so a 2-byte
// jump with offset 12H reads *+20 and a 3-byte one with offset 34H reads *+55.
// Columns 8-F: '%' stands for R0-R7.
struct Row {
    const char* cols[9];  // columns 0-7, then the R0-R7 pattern
    int lengths[9];
};

const Row kRows[16] = {
    {{"NOP", "AJMP 0012H", "LJMP 1234H", "RR A", "INC A", "INC 12H", "INC @R0", "INC @R1", "INC %"},
     {1, 2, 3, 1, 1, 2, 1, 1, 1}},
    {{"JBC 22H.2,*+55", "ACALL 0012H", "LCALL 1234H", "RRC A", "DEC A", "DEC 12H", "DEC @R0",
      "DEC @R1", "DEC %"},
     {3, 2, 3, 1, 1, 2, 1, 1, 1}},
    {{"JB 22H.2,*+55", "AJMP 0112H", "RET", "RL A", "ADD A,#12H", "ADD A,12H", "ADD A,@R0",
      "ADD A,@R1", "ADD A,%"},
     {3, 2, 1, 1, 2, 2, 1, 1, 1}},
    {{"JNB 22H.2,*+55", "ACALL 0112H", "RETI", "RLC A", "ADDC A,#12H", "ADDC A,12H", "ADDC A,@R0",
      "ADDC A,@R1", "ADDC A,%"},
     {3, 2, 1, 1, 2, 2, 1, 1, 1}},
    {{"JC *+20", "AJMP 0212H", "ORL 12H,A", "ORL 12H,#34H", "ORL A,#12H", "ORL A,12H", "ORL A,@R0",
      "ORL A,@R1", "ORL A,%"},
     {2, 2, 2, 3, 2, 2, 1, 1, 1}},
    {{"JNC *+20", "ACALL 0212H", "ANL 12H,A", "ANL 12H,#34H", "ANL A,#12H", "ANL A,12H",
      "ANL A,@R0", "ANL A,@R1", "ANL A,%"},
     {2, 2, 2, 3, 2, 2, 1, 1, 1}},
    {{"JZ *+20", "AJMP 0312H", "XRL 12H,A", "XRL 12H,#34H", "XRL A,#12H", "XRL A,12H", "XRL A,@R0",
      "XRL A,@R1", "XRL A,%"},
     {2, 2, 2, 3, 2, 2, 1, 1, 1}},
    {{"JNZ *+20", "ACALL 0312H", "ORL C,22H.2", "JMP @A+DPTR", "MOV A,#12H", "MOV 12H,#34H",
      "MOV @R0,#12H", "MOV @R1,#12H", "MOV %,#12H"},
     {2, 2, 2, 1, 2, 3, 2, 2, 2}},
    {{"SJMP *+20", "AJMP 0412H", "ANL C,22H.2", "MOVC A,@A+PC", "DIV AB", "MOV 34H,12H",
      "MOV 12H,@R0", "MOV 12H,@R1", "MOV 12H,%"},
     {2, 2, 2, 1, 1, 3, 2, 2, 2}},
    {{"MOV DPTR,#1234H", "ACALL 0412H", "MOV 22H.2,C", "MOVC A,@A+DPTR", "SUBB A,#12H",
      "SUBB A,12H", "SUBB A,@R0", "SUBB A,@R1", "SUBB A,%"},
     {3, 2, 2, 1, 2, 2, 1, 1, 1}},
    {{"ORL C,/22H.2", "AJMP 0512H", "MOV C,22H.2", "INC DPTR", "MUL AB", nullptr, "MOV @R0,12H",
      "MOV @R1,12H", "MOV %,12H"},
     {2, 2, 2, 1, 1, 0, 2, 2, 2}},
    {{"ANL C,/22H.2", "ACALL 0512H", "CPL 22H.2", "CPL C", "CJNE A,#12H,*+55", "CJNE A,12H,*+55",
      "CJNE @R0,#12H,*+55", "CJNE @R1,#12H,*+55", "CJNE %,#12H,*+55"},
     {2, 2, 2, 1, 3, 3, 3, 3, 3}},
    {{"PUSH 12H", "AJMP 0612H", "CLR 22H.2", "CLR C", "SWAP A", "XCH A,12H", "XCH A,@R0",
      "XCH A,@R1", "XCH A,%"},
     {2, 2, 2, 1, 1, 2, 1, 1, 1}},
    {{"POP 12H", "ACALL 0612H", "SETB 22H.2", "SETB C", "DA A", "DJNZ 12H,*+55", "XCHD A,@R0",
      "XCHD A,@R1", "DJNZ %,*+20"},
     {2, 2, 2, 1, 1, 3, 1, 1, 2}},
    {{"MOVX A,@DPTR", "AJMP 0712H", "MOVX A,@R0", "MOVX A,@R1", "CLR A", "MOV A,12H", "MOV A,@R0",
      "MOV A,@R1", "MOV A,%"},
     {1, 2, 1, 1, 1, 2, 1, 1, 1}},
    {{"MOVX @DPTR,A", "ACALL 0712H", "MOVX @R0,A", "MOVX @R1,A", "CPL A", "MOV 12H,A", "MOV @R0,A",
      "MOV @R1,A", "MOV %,A"},
     {1, 2, 1, 1, 1, 2, 1, 1, 1}},
};

std::string Expected(int op, int& length) {
    const Row& row = kRows[op >> 4];
    const int col = op & 15;
    length = row.lengths[col < 8 ? col : 8];
    const char* text = row.cols[col < 8 ? col : 8];
    if (!text) return "";
    std::string s = text;
    if (auto p = s.find('%'); p != std::string::npos)
        s.replace(p, 1, "R" + std::to_string(col - 8));
    return s;
}

std::string Text(const Instruction& insn, const HasLabel& labels = {}) {
    std::string ops = FormatOperands(insn, labels);
    return ops.empty() ? std::string(insn.mnemonic) : std::string(insn.mnemonic) + " " + ops;
}

std::optional<Instruction> DecodeBytes(std::initializer_list<std::uint8_t> bytes,
                                       std::uint16_t address) {
    std::vector<std::uint8_t> v(bytes);
    return Decode(v, address);
}

TEST(D51Decoder, EveryOpcodeMatchesTheOpcodeMap) {
    for (int op = 0; op < 256; ++op) {
        int length = 0;
        const std::string want = Expected(op, length);
        const std::array<std::uint8_t, 3> bytes{static_cast<std::uint8_t>(op), 0x12, 0x34};
        auto insn = Decode(bytes, 0x0100);
        SCOPED_TRACE("opcode " + std::to_string(op));
        EXPECT_EQ(InstructionLength(static_cast<std::uint8_t>(op)), std::size_t(length));
        if (want.empty()) {
            EXPECT_FALSE(insn);
            continue;
        }
        ASSERT_TRUE(insn);
        EXPECT_EQ(Text(*insn), want);
        EXPECT_EQ(insn->length, std::size_t(length));
    }
}

TEST(D51Decoder, CutOffInstructionsDoNotDecode) {
    const std::array<std::uint8_t, 2> ljmp{0x02, 0x12};
    EXPECT_FALSE(Decode(ljmp, 0));
    EXPECT_FALSE(Decode(std::span(ljmp).first(1), 0));
    EXPECT_FALSE(Decode(std::span<const std::uint8_t>(), 0));
}

TEST(D51Decoder, RelativeTargetsWrapAtZeroAndStayAssemblable) {
    // SJMP at 0000H back by four: the CPU lands at 0FFFEH.
    auto back = DecodeBytes({0x80, 0xFC}, 0x0000);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->target, 0xFFFE);
    EXPECT_EQ(Text(*back), "SJMP *-2");
    // The most negative offset from a 3-byte form.
    auto cjne = DecodeBytes({0xB4, 0x00, 0x80}, 0x0001);
    ASSERT_TRUE(cjne);
    EXPECT_EQ(cjne->target, 0xFF84);
    EXPECT_EQ(Text(*cjne), "CJNE A,#00H,*-125");
    // Forward across the top of the address space.
    auto fwd = DecodeBytes({0x80, 0x7F}, 0xFFF0);
    ASSERT_TRUE(fwd);
    EXPECT_EQ(fwd->target, 0x0071);
    // A labelled target replaces the expression.
    auto self = DecodeBytes({0x80, 0xFE}, 0x0040);
    ASSERT_TRUE(self);
    EXPECT_EQ(Text(*self, [](std::uint16_t t) { return t == 0x0040; }), "SJMP L0040");
}

TEST(D51Decoder, AjmpPageComesFromTheAddressAfterTheInstruction) {
    // At 07FEH the next instruction is at 0800H, so the jump stays in page 0800H.
    auto edge = DecodeBytes({0x01, 0x30}, 0x07FE);
    ASSERT_TRUE(edge);
    EXPECT_EQ(edge->target, 0x0830);
    auto inside = DecodeBytes({0xE1, 0x30}, 0x07FC);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->target, 0x0730);
    auto call = DecodeBytes({0xB1, 0xFF}, 0x0A00);
    ASSERT_TRUE(call);
    EXPECT_EQ(call->target, 0x0DFF);
    EXPECT_EQ(Text(*call), "ACALL 0DFFH");
}

TEST(D51Decoder, DirectAddressesAndBitsUseRegisterNames) {
    EXPECT_EQ(Text(*DecodeBytes({0x85, 0x87, 0x80}, 0)), "MOV P0,PCON");
    EXPECT_EQ(Text(*DecodeBytes({0x75, 0xE0, 0xA5}, 0)), "MOV ACC,#0A5H");
    EXPECT_EQ(Text(*DecodeBytes({0xC0, 0xC8}, 0)), "PUSH 0C8H");  // no such register here
    EXPECT_EQ(Text(*DecodeBytes({0xE5, 0x7F}, 0)), "MOV A,7FH");

    struct {
        std::uint8_t bit;
        const char* name;
    } bits[] = {
        {0x00, "20H.0"}, {0x7F, "2FH.7"}, {0x8C, "TR0"},   {0x88, "IT0"},  {0x99, "TI"},
        {0xAF, "EA"},    {0xAE, "IE.6"},  {0xBC, "PS"},    {0xBF, "IP.7"}, {0xD7, "CY"},
        {0xD1, "PSW.1"}, {0xD0, "P"},     {0xE3, "ACC.3"}, {0xF7, "B.7"},  {0x80, "P0.0"},
        {0xB7, "P3.7"},  {0xC8, "0C8H"},  {0xF8, "0F8H"},
    };
    for (const auto& b : bits) EXPECT_EQ(BitName(b.bit), b.name);
    EXPECT_EQ(Text(*DecodeBytes({0xB0, 0x8C}, 0)), "ANL C,/TR0");
}

}  // namespace
}  // namespace lpt51::d51
