// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lpt51::app {

// The one file a file manager or a user names after the options
// ("lpt51 prog.hex"), taken out of `args` as an absolute path; nothing when
// `args` is not exactly one word that is no option.
std::optional<std::string> TakeFileArgument(std::vector<std::string>& args);

}  // namespace lpt51::app
