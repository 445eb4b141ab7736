#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

// Where the grid reader takes its bytes from: a caller's stream or a named file.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    // Reads up to `max` bytes (at least 1) into `destination`; 0 only at the end of the input.
    virtual size_t Read(char* destination, size_t max) = 0;
    // The next byte without consuming it, or -1 at the end. Used only when StopsAfterGrid().
    virtual int Peek() = 0;
    // True when nothing after the grid's last value may be consumed (a caller's stream stays
    // positioned just after it); false lets the reader take large blocks.
    virtual bool StopsAfterGrid() const = 0;
};

// A caller's stream buffer, read no further than the grid reaches.
class TStreamSource : public TByteSource {
public:
    explicit TStreamSource(std::streambuf* buffer) : MbrPtrBuffer(buffer) {}
    size_t Read(char* destination, size_t max) override;
    int Peek() override;
    bool StopsAfterGrid() const override { return true; }
    bool ReachedEnd() const { return MbrBlnEnd; }

private:
    std::streambuf* MbrPtrBuffer;
    bool MbrBlnEnd = false;
};

// A named file opened for reading. A name that cannot be opened, or names a directory, throws
// "Unable to open file " and the name; a failed read throws "Unable to read file " and the name
// (the name with its control characters escaped, so that the message stays one line).
//
// While file sources hold more descriptors than DescriptorBudget() allows, a source of a regular
// file gives its descriptor back after each read and opens the file again at the same place for
// the next one, so that thousands of inputs can be read side by side under a small limit on open
// files. A file that was replaced in between fails with "Unable to read file " and the name.
class TFileSource : public TByteSource {
public:
    explicit TFileSource(const std::string& name);
    ~TFileSource() override;
    TFileSource(const TFileSource&) = delete;
    TFileSource& operator=(const TFileSource&) = delete;

    size_t Read(char* destination, size_t max) override;
    int Peek() override { return -1; }
    bool StopsAfterGrid() const override { return false; }

    // The descriptors file sources may hold at once: the process's limit less a reserve for the
    // output and the rest of the program.
    static long DescriptorBudget();
    // Whether the name is a regular file (after links), whose source can give its descriptor back.
    static bool NamesRegularFile(const std::string& name);

private:
    void Reopen();
    void Release();

    std::string MbrStgName;
    int MbrIntDescriptor = -1;
    bool MbrBlnRegular = false;
    long long MbrLngOffset = 0;
    unsigned long long MbrLngDevice = 0;
    unsigned long long MbrLngInode = 0;
};
