#pragma once

// Runs the real gridmean executable for the command tests, with standard output and standard
// error captured apart (the one-line message goes to standard output; the line that names an
// input goes to standard error).

#include "TestProcess.h"
#include "TestSupport.h"

#include <fcntl.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <functional>
#include <string>
#include <vector>

struct TCommandRun {
    int Status = -1;  // the exit status, or 128 and the signal, as a shell reports it
    std::string Output;
    std::string Errors;
    long PeakKilobytes = 0;
};

#ifndef _WIN32

// Starts gridmean with standard output going to `output` and standard error to `errors`;
// `prepare` runs in the child just before the program replaces it. A CPU time limit turns a hang
// into a failed test.
inline pid_t StartCommand(const std::vector<std::string>& arguments, const std::string& output, const std::string& errors,
                          const std::function<void()>& prepare = {})
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::close(out);
        ::close(err);
        struct rlimit cpu = {60, 60};
        ::setrlimit(RLIMIT_CPU, &cpu);
        if (prepare) prepare();
        std::vector<char*> argv{const_cast<char*>(GRIDMEAN_EXECUTABLE)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(GRIDMEAN_EXECUTABLE, argv.data());
        ::_exit(127);
    }
    return child;
}

inline int ShellStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

#endif

// Runs gridmean to its end. The captured text is kept beside the scratch directory, which the
// tests expect to hold only their own files. On Windows `prepare` is not run (the tests that need
// one are POSIX's), and a hang is left to the test runner's time limit.
inline TCommandRun RunCommand(const TScratchDir& dir, const std::vector<std::string>& arguments,
                              const std::function<void()>& prepare = {})
{
    const std::string output = dir.Root() + ".stdout";
    const std::string errors = dir.Root() + ".stderr";
    TCommandRun run;
#ifdef _WIN32
    (void)prepare;
    const TProcessRun process = RunProcess(GRIDMEAN_EXECUTABLE, arguments, output, errors);
    run.Status = process.Status;
    run.PeakKilobytes = static_cast<long>(process.PeakKilobytes);
#else
    const pid_t child = StartCommand(arguments, output, errors, prepare);
    int status = 0;
    struct rusage usage = {};
    ::wait4(child, &status, 0, &usage);
    run.Status = ShellStatus(status);
    run.PeakKilobytes = usage.ru_maxrss;
#endif
    run.Output = ReadText(output);
    run.Errors = ReadText(errors);
    std::remove(output.c_str());
    std::remove(errors.c_str());
    return run;
}

// A small grid of 250 m cells for the command tests: the header, then the value rows as given.
inline std::string CommandGrid(long cols, long rows, const std::string& values, const std::string& noData = "-9999",
                               const std::string& corner = "xllcorner 500000\nyllcorner 4100000")
{
    return "ncols " + std::to_string(cols) + "\nnrows " + std::to_string(rows) + "\n" + corner +
        "\ncellsize 250\nNODATA_value " + noData + "\n" + values;
}
