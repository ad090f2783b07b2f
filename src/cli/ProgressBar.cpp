// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgressBar.h"

#include <cstdio>

namespace lpt51::cli {

namespace {
constexpr std::size_t kBarWidth = 30;

// Virtual waits take no time: the figure is what the hardware would take.
constexpr const char* kVirtual = " of virtual time";

std::string Seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f s", s);
    return buf;
}
}  // namespace

std::string BarText(const std::string& verb, std::size_t done, std::size_t total, double seconds,
                    bool virtualTime) {
    const std::size_t percent = total == 0 ? 100 : (done >= total ? 100 : done * 100 / total);
    const std::size_t filled = percent * kBarWidth / 100;
    char pct[8];
    std::snprintf(pct, sizeof pct, "%3zu%%", percent);
    return verb + " |" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "| " +
           pct + " " + Seconds(seconds) + (virtualTime ? kVirtual : "");
}

ProgressBar::ProgressBar(std::ostream& err, ProgressStyle style, const Clock& clock,
                         std::string verb)
    : err_(err), style_(style), clock_(clock), verb_(std::move(verb)), start_(clock.now()) {}

double ProgressBar::seconds() const {
    return std::chrono::duration<double>(clock_.now() - start_).count();
}

std::string ProgressBar::timeTaken() const {
    return Seconds(seconds()) + (clock_.realTime() ? "" : kVirtual);
}

void ProgressBar::bytesDone(std::size_t done, std::size_t total) {
    done_ = done;
    total_ = total;
    if (style_ != ProgressStyle::Bar) return;
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent != shownPercent_) {
        shownPercent_ = percent;
        draw();
    }
}

void ProgressBar::draw() {
    err_ << '\r' << BarText(verb_, done_, total_, seconds(), !clock_.realTime()) << std::flush;
    drawn_ = true;
}

void ProgressBar::finish() {
    switch (style_) {
        case ProgressStyle::Bar:
            if (drawn_)
                err_ << '\r' << BarText(verb_, done_, total_, seconds(), !clock_.realTime())
                     << '\n';
            err_ << verb_ << " done in " << timeTaken() << '\n';
            break;
        case ProgressStyle::Line:
            err_ << verb_ << ": " << done_ << " bytes in " << timeTaken() << '\n';
            break;
        case ProgressStyle::Quiet:
            break;
    }
    drawn_ = false;
}

void ProgressBar::abandon() {
    if (drawn_) err_ << '\n';
    drawn_ = false;
}

}  // namespace lpt51::cli
