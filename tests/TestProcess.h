#pragma once

// Runs a program on Windows as cmd or PowerShell would: one command line, quoted so that the
// program reads back each argument whole (CommandLineToArgvW's rules), standard output and error
// to a file.

#ifdef _WIN32

#include "sys/TWindowsCalls.h"

#include "sys/TWindowsApi.h"

#include <psapi.h>

#include <string>
#include <vector>

// The argument quoted for a Windows command line: inside double quotes, a quote is preceded by a
// backslash, and backslashes are doubled where a quote follows them.
inline std::wstring WindowsQuoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

struct TProcessRun {
    int Status = -1;                  // the exit code, or -1 when the program did not start
    unsigned long PeakKilobytes = 0;  // the most memory the process held at once
};

// A started program, to be waited for with FinishProcess.
struct TStartedProcess {
    HANDLE Process = nullptr;
};

// A file that a started program inherits as a standard stream.
inline HANDLE InheritedFile(const std::string& name)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    return CreateFileW(TWindowsCalls::Wide(name).c_str(), GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts `program` with the (UTF-8) arguments; its standard output goes to `captured`, its
// standard error to `errors` (to `captured` too when empty).
inline TStartedProcess StartProcess(const std::string& program, const std::vector<std::string>& arguments,
                                    const std::string& captured, const std::string& errors = "")
{
    const HANDLE output = InheritedFile(captured);
    if (output == INVALID_HANDLE_VALUE) return {};
    const HANDLE error = errors.empty() ? output : InheritedFile(errors);
    if (error == INVALID_HANDLE_VALUE) {
        CloseHandle(output);
        return {};
    }
    std::wstring line = L"\"" + TWindowsCalls::Wide(program) + L"\"";
    for (const std::string& argument : arguments) line += L" " + WindowsQuoted(TWindowsCalls::Wide(argument));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(output);
    if (error != output) CloseHandle(error);
    if (!started) return {};
    CloseHandle(process.hThread);
    return {process.hProcess};
}

// Waits for the program to end.
inline TProcessRun FinishProcess(const TStartedProcess& started)
{
    TProcessRun run;
    if (started.Process == nullptr) return run;
    WaitForSingleObject(started.Process, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(started.Process, &code)) run.Status = static_cast<int>(code);
    PROCESS_MEMORY_COUNTERS counters = {};
    if (GetProcessMemoryInfo(started.Process, &counters, sizeof counters))
        run.PeakKilobytes = static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024);
    CloseHandle(started.Process);
    return run;
}

// The most memory this process has held at once, in kilobytes.
inline long OwnPeakKilobytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}

inline TProcessRun RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& captured, const std::string& errors = "")
{
    return FinishProcess(StartProcess(program, arguments, captured, errors));
}

#endif
