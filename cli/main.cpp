// SPDX-License-Identifier: GPL-3.0-or-later
// ostrum-tape-cli: the command-line face of Brivane Ostrum TAPE, on the same core as the desktop program.

#include "commands.h"

int main(int argc, char** argv) {
    return ostrum::cli::RunCommandLine(argc, argv);
}
