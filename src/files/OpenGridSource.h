#pragma once

#include "files/TByteSource.h"

#include <memory>
#include <string>

// The bytes of the named grid file for the reader (caller owns): its content as it is, or, when
// it starts with the gzip magic bytes (1f 8b), decompressed as it is read. The first bytes are
// looked at without seeking, so FIFOs and pipes work too. Throws "Unable to open file " and the
// name when it cannot be opened or is a directory, "Unable to read file " and the name when
// reading fails; the gzip source throws TGzipSource::kDamaged for damaged data.
std::unique_ptr<TByteSource> OpenGridSource(const std::string& name);
