// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegisterLog.h"

namespace lpt51::emuport {

RegisterLog::RegisterLog(const std::string& path, const Clock& clock)
    : clock_(clock), start_(clock.now()) {
    if (path.empty()) return;
    file_ = std::fopen(path.c_str(), "a");
    // Written out only when the emulator persists: a write to the disk in the
    // middle of a pulse would stretch it, and the adapter times it.
    // The buffer is touched through before the first access: a page met for
    // the first time in a pulse costs a page fault, which on a virtual
    // machine can take hundreds of microseconds while the host backs it.
    if (file_ != nullptr) {
        buffer_.assign(kBuffer, '\0');
        std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    }
}

RegisterLog::~RegisterLog() {
    if (file_ != nullptr) std::fclose(file_);
}

double RegisterLog::micros() const {
    return microsAt(clock_.now());
}

double RegisterLog::microsAt(Clock::Duration time) const {
    return static_cast<double>((time - start_).count()) / 1000.0;
}

void RegisterLog::access(const char* reg, char direction, std::uint8_t value, const char* cause) {
    if (file_ == nullptr) return;
    std::fprintf(file_, "%.3f %s %c %02X %s\n", micros(), reg, direction, value, cause);
}

void RegisterLog::note(const std::string& text) {
    if (file_ == nullptr) return;
    std::fprintf(file_, "# %s\n", text.c_str());
}

void RegisterLog::flush() {
    if (file_ != nullptr) std::fflush(file_);
}

}  // namespace lpt51::emuport
