#include "sys/TCommandLine.h"

#ifdef _WIN32

#include "sys/TWindowsCalls.h"

#include "sys/TWindowsApi.h"

#include <shellapi.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <streambuf>

namespace {

// The length of the text without an unfinished UTF-8 character at its end.
size_t WholeCharacters(const std::string& text)
{
    const size_t size = text.size();
    for (size_t back = 1; back <= 4 && back <= size; ++back) {
        const unsigned char byte = static_cast<unsigned char>(text[size - back]);
        if ((byte & 0xc0) == 0x80) continue;  // a continuation byte: look further back
        const size_t length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

// A stream's text shown on a console: the UTF-8 bytes are written as UTF-16 (WriteConsoleW) once
// a whole character has arrived, so that the console shows them whatever its code page. While it
// lives the stream writes through it; it puts the stream's own buffer back when it goes, before
// the streams are flushed for the last time.
class TConsoleOutput : public std::streambuf {
public:
    TConsoleOutput(std::ostream& stream, HANDLE console)
        : MbrPtrStream(&stream), MbrHndConsole(console), MbrPtrSaved(stream.rdbuf(this))
    {
    }
    ~TConsoleOutput() override
    {
        sync();
        MbrPtrStream->rdbuf(MbrPtrSaved);
    }
    TConsoleOutput(const TConsoleOutput&) = delete;
    TConsoleOutput& operator=(const TConsoleOutput&) = delete;

protected:
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof())) MbrStgPending += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        MbrStgPending.append(text, static_cast<size_t>(count));
        return count;
    }
    int sync() override
    {
        const size_t whole = WholeCharacters(MbrStgPending);
        if (whole == 0) return 0;
        const std::string text = MbrStgPending.substr(0, whole);
        MbrStgPending.erase(0, whole);
        const std::wstring wide = TWindowsCalls::Wide(text);
        DWORD written = 0;
        // Bytes that are not UTF-8 go out as they are.
        const BOOL done = wide.empty()
            ? WriteFile(MbrHndConsole, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
            : WriteConsoleW(MbrHndConsole, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return done ? 0 : -1;
    }

private:
    std::ostream* MbrPtrStream;
    HANDLE MbrHndConsole;
    std::streambuf* MbrPtrSaved;
    std::string MbrStgPending;
};

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

void PrepareStandardStreams()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (IsConsole(output)) {
        static TConsoleOutput consoleOutput(std::cout, output);
    }
    if (IsConsole(error)) {
        static TConsoleOutput consoleError(std::cerr, error);
    }
}

}  // namespace

std::vector<std::string> TCommandLine::Arguments(int argc, char** argv)
{
    PrepareStandardStreams();
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    try {
        for (int i = 0; i < count; ++i) arguments.push_back(TWindowsCalls::Utf8(wide[i]));
    } catch (...) {
        LocalFree(wide);
        throw;
    }
    LocalFree(wide);
    return arguments;
}

#else

std::vector<std::string> TCommandLine::Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

#endif
