#pragma once

#include "sys/TSystemCalls.h"
#include "text/TByteSink.h"

#include <cstddef>
#include <string>
#include <sys/types.h>

// Which targets a sink writes: any, or only files it replaces by a rename.
enum class TSinkTargets { Any, FilesOnly };

// A named output file that is never left half written.
// A regular file, or a name that does not exist yet, is only ever replaced by a rename: the data
// goes to a temporary file in the same directory (unnamed where the file system allows it, else
// a hidden name with a random suffix), which stays private (mode 0600) while it is written. Commit
// gives it the final mode (the replaced file's, or 0666 less the umask) and, where the process
// may, the replaced file's owner, forces it to disk, and only then names it and renames it over
// the target, forcing the directory to disk after. A failure, a signal (with TSignalCleanup
// installed) or a sink released without Commit removes the temporary file; the old file stays.
// A symbolic link is followed, through chains and relative targets, to its final target (which
// may not exist yet), and that target is replaced in its own directory; the link itself stays.
// Devices and FIFOs are written in place. The process's own descriptors (/dev/stdout, /dev/stderr,
// /dev/fd/N, /proc/self/fd/N) are written as they were given, through a duplicate: a file opened
// for appending (>> log) is appended to, and no file is truncated.
// On Windows the temporary file is always named, the final step is MoveFileExW (replacing and
// written through), devices (NUL, \\.\pipe\NAME) are written in place, a read-only output
// file is refused (Windows does not replace one) and a symbolic link is replaced like a file.
class TFileSink : public TByteSink {
public:
    // Throws "Unable to open file " and the name when the output, or a temporary file beside a
    // regular one, cannot be created; nothing has been changed then.
    // With FilesOnly, a target that would be written in place (a device, a FIFO, a directory, one
    // of the process's own descriptors) is refused the same way, before anything is opened: for
    // files that only make sense beside a grid file, such as its projection file.
    explicit TFileSink(const std::string& name, TSinkTargets targets = TSinkTargets::Any);
    // Discards an output that was not committed.
    ~TFileSink();
    TFileSink(const TFileSink&) = delete;
    TFileSink& operator=(const TFileSink&) = delete;

    // Throws "Unable to write file " and the name, after discarding the output.
    void Write(const char* data, size_t size) override;
    // Puts the file in place. Throws "Unable to write file " and the name, with the old file
    // untouched, except when only forcing the directory to disk fails after the rename: the new
    // file is then whole and in place. Messages show the name with control characters escaped.
    // Commit is Prepare and then Publish.
    void Commit();
    // Everything but the rename: the file gets its mode and owner and is forced to disk (a file
    // written in place is closed). Several outputs can so be made whole before any is replaced.
    void Prepare();
    // The rename (and the directory forced to disk), after Prepare.
    void Publish();
    // Whether the output is written in place (a device, a FIFO, one of the process's own
    // descriptors) rather than replaced by a rename.
    bool InPlace() const { return MbrBlnInPlace; }

private:
    bool OpenDirectory(const std::string& directory);
    // Creates the temporary file; false (with errno set) when the directory refuses one.
    bool OpenTemporary();
    // Gives the unnamed temporary file a random name in the directory.
    bool NameTemporary();
    std::string TemporaryName() const;
    [[noreturn]] void FailOpen();
    [[noreturn]] void FailWrite();
    void Discard();

    std::string MbrStgName;       // as given, for messages
    std::string MbrStgTarget;     // the replaced file's name within its directory
    std::string MbrStgTemporary;  // the temporary file's name there, while it has one
    int MbrIntDescriptor = -1;
    int MbrIntDirectory = -1;
    int MbrIntCleanupSlot = -1;
    bool MbrBlnInPlace = false;
    bool MbrBlnUnnamed = false;
    bool MbrBlnSyncDirectory = true;
    bool MbrBlnReplacing = false;
    bool MbrBlnPrepared = false;
    // Bytes written, and the first of them not yet handed to the disk's writeback.
    struct TWriteback {
        long long Written = 0;
        long long Started = 0;
    } MbrWriteback;
    mode_t MbrModFinal = 0;
    uid_t MbrUidOwner = 0;
    gid_t MbrGidGroup = 0;
};
