// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

namespace lpt51::cli {

class CommandRun;

// One command of the command line: how --help lists it and what runs it.
struct Command {
    const char* name;
    const char* operand;  // "FILE" or "BITS"; null: the command takes none
    const char* help;
    // For a command that takes an image: the operation its refusals name
    // ("Write") and what they end with ("Nothing was programmed."). Null for
    // the others; a FILE operand without them is written, not read.
    const char* operation;
    const char* nothingDone;
    // Interrupted, the chip may be partly programmed (not only partly read).
    bool changesChip;
    int (*handler)(CommandRun&);
};

// Every command, in the order --help lists them.
std::span<const Command> Commands();

// Handlers that live in files of their own.
int AdapterWiringCommand(CommandRun& run);  // cli/AdapterWiring.cpp
int AdapterCheckCommand(CommandRun& run);   // cli/AdapterCheckCommand.cpp

}  // namespace lpt51::cli
