// SPDX-License-Identifier: GPL-3.0-or-later
#include "Names.h"

#include <cstdio>

namespace lpt51::d51 {

namespace {

// A special function register or an addressable bit, by its address.
struct Named {
    std::uint8_t address;
    const char* name;
};

constexpr Named kSfrs[] = {
    {0x80, "P0"},   {0x81, "SP"},   {0x82, "DPL"}, {0x83, "DPH"}, {0x87, "PCON"}, {0x88, "TCON"},
    {0x89, "TMOD"}, {0x8A, "TL0"},  {0x8B, "TL1"}, {0x8C, "TH0"}, {0x8D, "TH1"},  {0x90, "P1"},
    {0x98, "SCON"}, {0x99, "SBUF"}, {0xA0, "P2"},  {0xA8, "IE"},  {0xB0, "P3"},   {0xB8, "IP"},
    {0xD0, "PSW"},  {0xE0, "ACC"},  {0xF0, "B"},
};

constexpr Named kBits[] = {
    {0x88, "IT0"}, {0x89, "IE0"}, {0x8A, "IT1"}, {0x8B, "IE1"}, {0x8C, "TR0"}, {0x8D, "TF0"},
    {0x8E, "TR1"}, {0x8F, "TF1"}, {0x98, "RI"},  {0x99, "TI"},  {0x9A, "RB8"}, {0x9B, "TB8"},
    {0x9C, "REN"}, {0x9D, "SM2"}, {0x9E, "SM1"}, {0x9F, "SM0"}, {0xA8, "EX0"}, {0xA9, "ET0"},
    {0xAA, "EX1"}, {0xAB, "ET1"}, {0xAC, "ES"},  {0xAF, "EA"},  {0xB8, "PX0"}, {0xB9, "PT0"},
    {0xBA, "PX1"}, {0xBB, "PT1"}, {0xBC, "PS"},  {0xD0, "P"},   {0xD2, "OV"},  {0xD3, "RS0"},
    {0xD4, "RS1"}, {0xD5, "F0"},  {0xD6, "AC"},  {0xD7, "CY"},
};

template <std::size_t N>
const char* Find(const Named (&table)[N], std::uint8_t address) {
    for (const Named& entry : table)
        if (entry.address == address) return entry.name;
    return nullptr;
}

const char* SfrName(std::uint8_t address) {
    return Find(kSfrs, address);
}

}  // namespace

std::string Hex8(std::uint8_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, v >= 0xA0 ? "0%02XH" : "%02XH", v);
    return buf;
}

std::string Hex16(std::uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, v >= 0xA000 ? "0%04XH" : "%04XH", v);
    return buf;
}

std::string DirectName(std::uint8_t address) {
    if (address >= 0x80)
        if (const char* n = SfrName(address)) return n;
    return Hex8(address);
}

std::string BitName(std::uint8_t bit) {
    std::string index = std::to_string(bit & 7);
    if (bit < 0x80) return Hex8(static_cast<std::uint8_t>(0x20 + bit / 8)) + "." + index;
    if (const char* n = Find(kBits, bit)) return n;
    if (const char* n = SfrName(bit & 0xF8)) return std::string(n) + "." + index;
    return Hex8(bit);
}

}  // namespace lpt51::d51
