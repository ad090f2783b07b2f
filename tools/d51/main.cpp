// SPDX-License-Identifier: GPL-3.0-or-later
// d51 NAME: disassembles NAME.hex from the working directory into NAME.d51.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "Image.h"
#include "Listing.h"
#include "image/TextFile.h"

namespace {

// The listing appears under its name complete or not at all: a reader that
// waits for the process and then opens the file never sees half a listing, and
// a failed run leaves no stale listing behind it.
bool WriteAtomically(const std::string& path, const std::string& text, std::string& error) {
    std::string tmp = path + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file private; a listing is an ordinary user file.
    ::fchmod(fd, 0644);
    if (::close(fd) != 0 || std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::cerr << "usage: d51 NAME   (reads NAME.hex, writes NAME.d51)\n";
        return 2;
    }
    const std::string name = argv[1];
    const std::string hexName = name + ".hex";
    const std::string listName = name + ".d51";

    lpt51::image::Lines lines;
    if (auto problem = lpt51::image::LoadLines(hexName, lines)) {
        std::cerr << "d51: " << *problem << "\n";
        return 1;
    }
    const auto loaded = lpt51::d51::ReadHex(lines);
    for (const std::string& warning : loaded.warnings)
        std::cerr << "d51: " << hexName << ": warning: " << warning << "\n";
    if (!loaded.ok) {
        for (const std::string& line : loaded.error)
            std::cerr << "d51: " << hexName << ": " << line << "\n";
        return 1;
    }
    std::string error;
    if (!WriteAtomically(listName, lpt51::d51::MakeListing(loaded.image, hexName), error)) {
        std::cerr << "d51: " << listName << ": cannot write: " << error << "\n";
        return 1;
    }
    return 0;
}
