// What the Windows calls do where Windows differs from Linux: devices, pipes that must not be
// opened to be looked at, read-only files, no unnamed files, and UTF-16 names.

#ifdef _WIN32

#include "sys/TWindowsCalls.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include "sys/TWindowsApi.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

TEST(WindowsCalls, DevicesPipesAndReadOnlyFilesAsTheFileClassesSeeThem)
{
    struct stat status;
    for (const char* device : {"NUL", "nul"}) {
        ASSERT_EQ(TWindowsCalls::Lstat(device, &status), 0) << device;
        EXPECT_TRUE(S_ISCHR(status.st_mode)) << device;
    }

    // A named pipe is reported without being opened: its one instance stays free for the writer.
    const std::wstring pipe = L"\\\\.\\pipe\\gridmean-calls-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 64, 64, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    ASSERT_EQ(TWindowsCalls::Lstat(TWindowsCalls::Utf8(pipe).c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
    const int client = TWindowsCalls::Open(TWindowsCalls::Utf8(pipe).c_str(), O_WRONLY, 0);
    EXPECT_GE(client, 0);
    if (client >= 0) TWindowsCalls::Close(client);
    CloseHandle(server);

    TScratchDir dir;
    const std::string file = dir.Write("grid.asc", "x");
    ASSERT_EQ(TWindowsCalls::Lstat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666u);
    ASSERT_TRUE(SetFileAttributesW(TWindowsCalls::Wide(file).c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(TWindowsCalls::Lstat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0444u);
    SetFileAttributesW(TWindowsCalls::Wide(file).c_str(), FILE_ATTRIBUTE_NORMAL);

    // No unnamed files, links or owners; the directory is there all the same.
    const int directory = TWindowsCalls::Open(dir.Root().c_str(), O_RDONLY | O_DIRECTORY, 0);
    ASSERT_GE(directory, 0);
    errno = 0;
    EXPECT_EQ(TWindowsCalls::OpenAt(directory, ".", O_TMPFILE | O_WRONLY, 0600), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    EXPECT_EQ(TWindowsCalls::ReadLink(file.c_str(), nullptr, 0), -1);
    EXPECT_EQ(TWindowsCalls::Close(directory), 0);
}

TEST(WindowsCalls, TextConvertsBetweenUtf8AndUtf16)
{
    struct TCase {
        std::string Utf8;
        std::wstring Utf16;
    };
    const std::vector<TCase> cases = {
        {"grid.asc", L"grid.asc"},
        {"Z\xc3\xbcrich", L"Z\u00fcrich"},
        {"\xe9\x9b\xa8", L"\u96e8"},
        {"\xf0\x9f\x8c\xa7", L"\xd83c\xdf27"},  // beyond the Basic Multilingual Plane: a surrogate pair
    };
    for (const TCase& test : cases) {
        EXPECT_EQ(TWindowsCalls::Wide(test.Utf8), test.Utf16) << test.Utf8;
        EXPECT_EQ(TWindowsCalls::Utf8(test.Utf16), test.Utf8) << test.Utf8;
    }
    // Bytes that are not UTF-8 name no file.
    for (const std::string& bad : {std::string("\xff"), std::string("a\xc3"), std::string("\xed\xa0\x80")})
        EXPECT_EQ(TWindowsCalls::Wide(bad), L"");
    EXPECT_EQ(TWindowsCalls::Utf8(L"\xd83c"), "\xef\xbf\xbd");  // an unpaired surrogate: U+FFFD
}

#endif
