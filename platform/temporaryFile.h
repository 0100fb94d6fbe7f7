#pragma once
// The one temporary file the program may have at a time (a new qvd.ini being written beside the
// old one). Its writer renames or removes it; the ways out that skip the writer's own cleanup (a
// terminating signal, memory running out) remove it with removeTemporaryFile.

// Creates path for writing (it must not exist yet, mode 0666 less the umask) and keeps it as the
// temporary file. Returns the descriptor, or -1 with errno set (nothing is kept then).
[[nodiscard]] int createTemporaryFile(const char* path);

// The temporary file was renamed into place or removed by its writer: nothing is left to remove.
void forgetTemporaryFile();

// Removes the temporary file if there is one. Async-signal-safe: signal handlers call it.
void removeTemporaryFile();
