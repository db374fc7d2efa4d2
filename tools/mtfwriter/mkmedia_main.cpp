// SPDX-License-Identifier: GPL-3.0-or-later
// ostrum-mkmedia: writes MTF test media. See mkmedia_cli.cpp for the commands.
#include <iostream>
#include <string>
#include <vector>

#include "mkmedia_cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return ostrum::mtfwriter::RunMkmedia(args, std::cout, std::cerr);
}
