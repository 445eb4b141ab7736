// Runs a fuzz target once on every file of the directories or files named on the command line.

#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int Replay(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        struct stat status;
        if (::stat(argv[i], &status) != 0) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        if (!S_ISDIR(status.st_mode)) {
            count += Replay(argv[i]);
            continue;
        }
        DIR* dir = ::opendir(argv[i]);
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') count += Replay(std::string(argv[i]) + "/" + entry->d_name);
        ::closedir(dir);
    }
    std::printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1;
}
