#pragma once

// Removes unfinished temporary files when the process is told to stop. After Install, SIGINT,
// SIGTERM and SIGHUP unlink every registered file and then end the process with that signal, as
// its default action would (a signal the parent had ignored, such as SIGHUP under nohup, stays
// ignored); SIGPIPE is ignored, so that writing to a closed pipe fails with EPIPE and is reported
// like any other failed write. On Windows, Ctrl-C, Ctrl-Break and closing the console window
// remove the registered files and end the process with STATUS_CONTROL_C_EXIT, Ctrl-C's usual
// status (unless the parent had Ctrl-C ignored); a closed pipe fails the write there anyway.
class TSignalCleanup {
public:
    TSignalCleanup() = delete;

    // Sets the signal actions; a program calls it once, before it writes files.
    static void Install();
    // Registers the file `name` in the directory open as `directory` for removal on a signal;
    // returns its slot, or -1 when every slot is taken (the file is then not removed). The name
    // is copied; names longer than 255 bytes are not registered.
    static int Register(int directory, const char* name);
    // Forgets a slot from Register (-1 is ignored).
    static void Unregister(int slot);
};
