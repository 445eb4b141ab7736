#include "files/TProjectionFiles.h"

#include "files/TByteSource.h"
#include "files/TFileSink.h"
#include "files/TGridTextReader.h"
#include "support/TFileMessages.h"
#include "sys/TSystemCalls.h"

#include <memory>
#include <sys/stat.h>

namespace {

constexpr size_t kReadBlock = size_t(1) << 16;

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsRegularFile(const std::string& name)
{
    struct stat status;
#ifdef _WIN32
    // The wide-character call, which also follows links there, so that UTF-8 names are found.
    return TSystemCalls::Lstat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode);
#else
    return ::stat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode);
#endif
}

// The text without leading and trailing whitespace, every inner run of it one blank.
std::string Collapsed(const std::string& text)
{
    std::string result;
    bool blank = false;
    for (char c : text) {
        if (kGridSpace.Values[static_cast<unsigned char>(c)]) {
            blank = !result.empty();
            continue;
        }
        if (blank) result += ' ';
        blank = false;
        result += c;
    }
    return result;
}

}  // namespace

std::string TProjectionFiles::SidecarName(const std::string& gridName)
{
    std::string stem = gridName;
    if (EndsWith(stem, ".gz")) stem.resize(stem.size() - 3);
    const size_t slash = stem.find_last_of(TSystemCalls::kPathSeparators);
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = stem.find_last_of('.');
    // A leading dot names a hidden file rather than starting an extension.
    if (dot != std::string::npos && dot > base) stem.resize(dot);
    return stem + ".prj";
}

std::string TProjectionFiles::FindSidecar(const std::string& gridName)
{
    const std::string lower = SidecarName(gridName);
    if (IsRegularFile(lower)) return lower;
    const std::string upper = lower.substr(0, lower.size() - 4) + ".PRJ";
    if (IsRegularFile(upper)) return upper;
    return "";
}

void TProjectionFiles::Copy(const std::string& source, const std::string& target)
{
    const std::string text = ReadText(source);
    TFileSink output(target, TSinkTargets::FilesOnly);
    output.Write(text.data(), text.size());
    output.Commit();
}

std::string TProjectionFiles::ReadText(const std::string& name)
{
    TFileSource input(name);
    std::string text;
    std::unique_ptr<char[]> block(new char[kReadBlock]);
    while (const size_t got = input.Read(block.get(), kReadBlock)) {
        if (text.size() + got > kMaxTextSize)
            throw TFileMessages::TooLargeForProjection(name);
        text.append(block.get(), got);
    }
    return text;
}

bool TProjectionFiles::SameText(const std::string& first, const std::string& second)
{
    return Collapsed(first) == Collapsed(second);
}
