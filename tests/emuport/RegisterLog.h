// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "port/Clock.h"

namespace lpt51::emuport {

// Every register access that reaches the emulated card, one line each:
//
//   TIME REGISTER DIRECTION VALUE CAUSE
//   510873.402 control w 27 PPDATADIR
//
// TIME is in microseconds since the emulator started, with three decimals;
// REGISTER is data, status, control, ecr, or io:0xADDR for any other I/O
// address; DIRECTION is r or w; VALUE is two upper-case hexadecimal digits;
// CAUSE, the rest of the line, is what made the access: the ioctl (PPWDATA,
// PPRDATA, PPWCONTROL, PPFCONTROL, PPDATADIR, PPRSTATUS), "claim" or
// "release" for what the kernel does on its own, "/dev/port write" or
// "/dev/port read". Lines starting with '#' are notes: the settings, files
// opened and closed, refused calls, and at the end the longest time PROG
// was held low after a claim.
class RegisterLog {
  public:
    // An empty path logs nothing.
    RegisterLog(const std::string& path, const Clock& clock);
    ~RegisterLog();
    RegisterLog(const RegisterLog&) = delete;
    RegisterLog& operator=(const RegisterLog&) = delete;

    void access(const char* reg, char direction, std::uint8_t value, const char* cause);
    void note(const std::string& text);
    void flush();

    // Microseconds since the emulator started, now or at a time of the clock.
    double micros() const;
    double microsAt(Clock::Duration time) const;

  private:
    // A whole read-out's lines.
    static constexpr std::size_t kBuffer = 8 * 1024 * 1024;

    const Clock& clock_;
    Clock::Duration start_;
    std::vector<char> buffer_;  // the file's, touched through in advance
    std::FILE* file_ = nullptr;
};

}  // namespace lpt51::emuport
