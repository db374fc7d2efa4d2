#pragma once
// Runs ostrum-tape-cli as a separate process and captures what it printed and how it ended.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

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

// Runs the program as if Ctrl-C had been pressed at its start: SIGINT is blocked in the new process and
// sent to it at once, so it is pending when the program begins to watch for it, wherever its work is.
inline CliResult RunCliInterrupted(std::vector<std::string> arguments, const std::string& outFile,
                                   const std::string& errFile) {
    arguments.insert(arguments.begin(), OSTRUM_CLI_PATH);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    posix_spawnattr_setsigmask(&attributes, &blocked);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    CliResult result;
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return result;
    ::kill(child, SIGINT);
    int raw = 0;
    ::waitpid(child, &raw, 0);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadText(outFile);
    result.err = ReadText(errFile);
    return result;
}

}  // namespace ostrum::cli::testing
