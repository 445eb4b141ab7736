#include "files/TByteSource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cstdio>
#include <memory>

#ifndef _WIN32

namespace {

// Lowers the soft limit on open descriptors for one test and puts it back afterwards.
class TDescriptorLimit {
public:
    explicit TDescriptorLimit(rlim_t soft)
    {
        ::getrlimit(RLIMIT_NOFILE, &MbrSaved);
        struct rlimit lowered = MbrSaved;
        lowered.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~TDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &MbrSaved); }

private:
    struct rlimit MbrSaved;
};

size_t OpenDescriptors() { return DirectoryEntries("/proc/self/fd").size(); }

}  // namespace

#endif

TEST(FileSource, ManyFilesReadInTurnsStayWithinTheDescriptorLimit)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no limit on open files that a test can lower, nor /proc to count them";
#else
    TScratchDir dir;
    const TDescriptorLimit limit(100);  // a budget of 36 descriptors for 300 files
    const size_t before = OpenDescriptors();
    std::vector<std::string> texts;
    std::vector<std::unique_ptr<TFileSource>> sources;
    for (int k = 0; k < 300; ++k) {
        std::string text;
        for (int i = 0; i < 40; ++i) text += std::to_string(k * 1000 + i) + " ";
        texts.push_back(text);
        sources.push_back(std::make_unique<TFileSource>(dir.Write("f" + std::to_string(k), text)));
    }
    std::vector<std::string> read(texts.size());
    bool more = true;
    size_t most = 0;
    while (more) {
        more = false;
        for (size_t k = 0; k < sources.size(); ++k) {
            char bytes[7];
            const size_t got = sources[k]->Read(bytes, sizeof bytes);
            read[k].append(bytes, got);
            more = more || got > 0;
            most = std::max(most, OpenDescriptors() - before);
        }
    }
    EXPECT_EQ(read, texts);
    EXPECT_LE(static_cast<long>(most), TFileSource::DescriptorBudget() + 1);
#endif
}

TEST(FileSource, AFileReplacedWhileItsDescriptorWasGivenBackFailsToRead)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no limit on open files that a test can lower";
#else
    TScratchDir dir;
    const TDescriptorLimit limit(70);  // a budget of 8: the ninth source gives its descriptor back
    std::vector<std::unique_ptr<TFileSource>> holders;
    for (int k = 0; k < 8; ++k) holders.push_back(std::make_unique<TFileSource>(dir.Write("h" + std::to_string(k), "x")));
    const std::string name = dir.Write("grid.asc", "0123456789");
    TFileSource source(name);
    char bytes[4];
    ASSERT_EQ(source.Read(bytes, sizeof bytes), 4u);
    std::rename(dir.Write("new.asc", "abcdefghij").c_str(), name.c_str());
    EXPECT_EQ(ThrownMessage([&] { source.Read(bytes, sizeof bytes); }), "Unable to read file " + name);
#endif
}
