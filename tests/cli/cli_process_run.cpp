#include "tests/cli/cli_process_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/wav_builder.h"

namespace vokra::test {

CliRun RunCliProcess(const TempDir& dir, std::vector<std::string> args,
                     const std::string& workdir) {
    return RunProcess(dir, VOKRA_CLI_PATH, std::move(args), workdir);
}

CliRun RunProcess(const TempDir& dir, const std::string& program, std::vector<std::string> args,
                  const std::string& workdir) {
    const std::string outPath = dir.File("stdout.txt");
    const std::string errPath = dir.File("stderr.txt");
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (!workdir.empty() && ::chdir(workdir.c_str()) != 0) _exit(126);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(outPath), ReadFile(errPath)};
}

}  // namespace vokra::test
