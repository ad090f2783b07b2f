// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "../port/RegisterPort.h"
#include "chip/Prompts.h"
#include "port/Bus.h"

namespace lpt51::chiptest {

// Records every text shown or asked; answers questions from a script, Yes
// once the script runs out.
class ScriptedPrompts final : public Prompts {
  public:
    struct Entry {
        bool question;
        QuestionKind kind;
        std::string text;
    };

    void showMessage(const std::string& text) override {
        log.push_back({false, QuestionKind::Information, text});
    }
    Answer ask(QuestionKind kind, const std::string& text) override {
        log.push_back({true, kind, text});
        if (answers.empty()) return Answer::Yes;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const auto& e : log) t.push_back(e.text);
        return t;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> t;
        for (const auto& e : log)
            if (!e.question) t.push_back(e.text);
        return t;
    }

    std::deque<Answer> answers;
    std::vector<Entry> log;
};

// Plain registers, but data reads return scripted chip bytes while any are left.
class ChipLinesPort final : public Port {
  public:
    std::uint8_t data = 0;
    std::uint8_t control = 0x07;
    std::deque<std::uint8_t> reads;

    std::uint8_t readData() override {
        if (reads.empty()) return data;
        const std::uint8_t b = reads.front();
        reads.pop_front();
        return b;
    }
    void writeData(std::uint8_t value) override { data = value; }
    std::uint8_t readControl() override { return control; }
    void writeControl(std::uint8_t value) override { control = value; }
};

// The expected transcript, written out step by step as the hardware notes
// list each sequence. Tracks the control register so each SetControl shows
// the read-back it keeps bits from.
class Expect {
  public:
    explicit Expect(std::uint8_t control = 0x07) : control_(control) {}

    Expect& sc(std::uint8_t v) {
        add("RC " + hex(control_));
        control_ = static_cast<std::uint8_t>((control_ & 0xF0) | v);
        return add("WC " + hex(control_));
    }
    // `floatUs`: the bus's wait, between reading and writing the register,
    // for the chip to let go of lines that P2.7 released with them as inputs.
    Expect& sco(std::uint8_t v, unsigned floatUs = 0) {
        add("RC " + hex(control_));
        if (floatUs != 0) w(floatUs);
        control_ = static_cast<std::uint8_t>((control_ & 0xD0) | v);
        return add("WC " + hex(control_));
    }
    Expect& pd(std::uint8_t b) { return add("WD " + hex(b)); }
    Expect& gd(std::uint8_t b) { return add("RD " + hex(b)); }
    Expect& d(unsigned k) { return add("D" + std::to_string(k)); }
    Expect& s(unsigned ms) { return add("S" + std::to_string(ms)); }
    // An exact busy wait of `us` microseconds.
    Expect& w(unsigned us) { return add("W" + std::to_string(us)); }

    // The composite steps, expanded.
    Expect& latchLow(std::uint8_t a, unsigned k) { return pd(a).d(k).sc(6).d(k).sc(7).d(k); }
    Expect& latchHigh(std::uint8_t b, unsigned k) { return pd(b).d(k).sc(5).d(k).sc(7).d(k); }
    Expect& latchIdle(unsigned k) { return sc(7).d(k).latchHigh(0x80, k).sco(7); }
    Expect& readStrobe(unsigned r1, unsigned r2, std::uint8_t chip) {
        return sc(0x27).d(r1).sc(0x23).d(r2).gd(chip);
    }
    Expect& releaseBus(unsigned floatUs = 0) {
        return pd(0x80).d(1).sc(5).d(1).sco(7, floatUs).pd(0);
    }

    const std::string& text() const { return text_; }

  private:
    static std::string hex(unsigned v) {
        static constexpr char k[] = "0123456789ABCDEF";
        return std::string{k[(v >> 4) & 15], k[v & 15]};
    }
    Expect& add(const std::string& item) {
        if (!text_.empty()) text_ += ", ";
        text_ += item;
        return *this;
    }
    std::uint8_t control_;
    std::string text_;
};

}  // namespace lpt51::chiptest
