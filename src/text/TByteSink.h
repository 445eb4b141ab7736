#pragma once

#include <cstddef>

// Where buffered text goes: a file, a compressed file, a place in memory. Write takes every byte
// or throws.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void Write(const char* data, size_t size) = 0;
};
