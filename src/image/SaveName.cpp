// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/SaveName.h"

namespace lpt51::image {

std::string ChangeExtension(std::string_view name, std::string_view extension) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = name.find_last_of('.');
    std::string result(name);
    if (dot != std::string_view::npos && dot >= base) result.resize(dot);
    result += extension;
    return result;
}

}  // namespace lpt51::image
