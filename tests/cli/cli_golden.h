#pragma once
// Runs ostrum-tape-cli as a separate process and captures what it printed and how it ended.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace ostrum::cli::testing {

struct CliResult {
    std::string out;  // standard output
    std::string err;  // standard error
    int status = -1;  // exit status
};

inline CliResult RunCli(const std::string& arguments, const std::string& errFile) {
    CliResult result;
    const std::string command = std::string(OSTRUM_CLI_PATH) + " " + arguments + " 2>" + errFile;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) result.out.append(buffer.data(), n);
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (FILE* err = std::fopen(errFile.c_str(), "r")) {
        for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), err)) > 0;) result.err.append(buffer.data(), n);
        std::fclose(err);
    }
    return result;
}

}  // namespace ostrum::cli::testing
