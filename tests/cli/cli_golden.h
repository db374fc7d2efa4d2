// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs ostrum-tape-cli as a separate process and captures what it printed and how it ended.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ostrum::cli::testing {

struct CliResult {
    std::string out;  // standard output
    std::string err;  // standard error
    int status = -1;  // exit status
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// `arguments` go through the shell, so quotes work as on a command line; `directory`, when given, is
// the folder the program runs in.
inline CliResult RunCli(const std::string& arguments, const std::string& errFile,
                        const std::string& directory = {}) {
    CliResult result;
    const std::string command = (directory.empty() ? "" : "cd '" + directory + "' && ") +
                                std::string(OSTRUM_CLI_PATH) + " " + arguments + " 2>" + errFile;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        result.out.append(buffer.data(), n);
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.err = ReadText(errFile);
    return result;
}

// Runs the program as if Ctrl-C had been pressed at its start: the new process blocks SIGINT and sends
// it to itself before it becomes the program, so the signal is already pending (pending signals and the
// mask survive exec) when the program begins to watch for it, however the two processes are scheduled.
inline CliResult RunCliInterrupted(std::vector<std::string> arguments, const std::string& outFile,
                                   const std::string& errFile) {
    arguments.insert(arguments.begin(), OSTRUM_CLI_PATH);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    CliResult result;
    const pid_t child = ::fork();
    if (child < 0) return result;
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGINT);
        ::sigprocmask(SIG_BLOCK, &blocked, nullptr);
        ::kill(::getpid(), SIGINT);
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    int raw = 0;
    ::waitpid(child, &raw, 0);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadText(outFile);
    result.err = ReadText(errFile);
    return result;
}

}  // namespace ostrum::cli::testing
