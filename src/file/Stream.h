// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lpt51::file {

// The descriptor a name a shell hands over stands for: /dev/stdout 1,
// /dev/stderr 2, /dev/stdin 0, /dev/fd/N and /proc/self/fd/N their N.
std::optional<int> NamedDescriptor(const std::string& path);

// Writes all of `data` to the stream `path` names: to a named descriptor
// itself (so that ">>" still appends), otherwise to what opening it gives.
// Returns 0 or the errno.
int WriteStream(const std::string& path, std::string_view data);

}  // namespace lpt51::file
