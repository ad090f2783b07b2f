// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ResistorAdvice.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace lpt51::app {
namespace {

// E24 values from 220 to 2200 ohms.
constexpr std::array<std::uint16_t, 25> kResistors{
    220, 240, 270, 300,  330,  360,  390,  430,  470,  510,  560,  620, 680,
    750, 820, 910, 1000, 1100, 1200, 1300, 1500, 1600, 1800, 2000, 2200};

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::optional<long double> ParseReading(const std::string& text, char decimalSeparator) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;

    // Rebuild the number with a '.' so from_chars (locale-free) can read it;
    // the grammar is checked here, character by character.
    std::string number;
    std::size_t i = begin;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    std::size_t digits = 0;
    for (; i < end && isDigit(text[i]); ++i, ++digits) number += text[i];
    if (i < end && text[i] == decimalSeparator) {
        number += '.';
        for (++i; i < end && isDigit(text[i]); ++i, ++digits) number += text[i];
    }
    if (digits == 0) return std::nullopt;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        number += 'e';
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-')) number += text[i++];
        std::size_t exponentDigits = 0;
        for (; i < end && isDigit(text[i]); ++i, ++exponentDigits) number += text[i];
        if (exponentDigits == 0) return std::nullopt;
    }
    if (i != end) return std::nullopt;

    long double value = 0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || ptr != number.data() + number.size()) return std::nullopt;
    return value;
}

std::vector<std::string> ResistorAdvice(long double milliamperes) {
    const long double ohms = 5000.0f / (milliamperes * 10.0f) - 470.0f;
    // A zero or tiny reading gives an infinite or unrepresentable resistance;
    // say so instead of converting it.
    if (!std::isfinite(ohms) || std::fabs(ohms) > 9.0e18L) return {kReadingTooSmall};
    const long long r = std::llrint(ohms);  // to nearest, ties to even

    std::vector<std::string> messages;
    if (r == 0) messages.emplace_back("Error!");
    if (r > 2200) {
        messages.emplace_back("You have probably some errors ! ");
    } else if (r < 200) {
        messages.emplace_back(
            "You must give R10-17 4700 Ohms and disabled Bidirectional mode in menu "
            "File\\Disabled Bidi. !! ");
    } else {
        std::uint16_t chosen = kResistors.back();
        for (std::uint16_t value : kResistors) {
            if (value >= r) {
                chosen = value;
                break;
            }
        }
        messages.push_back("Resistors R10-17 are : " + std::to_string(chosen) + " Ohms .");
    }
    return messages;
}

}  // namespace lpt51::app
