#pragma once

#include "TempDir.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

struct CliResult {
    int exitCode = -1;
    std::string out, err;
};

// Runs the built nivaro-cli in dir with args; stdout and stderr are captured through files there.
inline CliResult RunCli(const std::filesystem::path& dir, const std::vector<std::string>& args) {
    const auto outFile = dir / ".cli-stdout";
    const auto errFile = dir / ".cli-stderr";
    std::vector<std::string> argv{NIVARO_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (auto& a : argv)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0)
            ::_exit(126);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0)
            ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    CliResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid)
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadWholeFile(outFile);
    result.err = ReadWholeFile(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return result;
}
