// Opening a path for reading only when it names a regular file. Every reader of the toolkit
// opens its files here: a named pipe would wait for a writer for ever, a device would be read
// without end or answer with side effects, and a folder is no file.
#pragma once

#include <cstdint>

namespace sorvak {

// Opens the file read-only (close-on-exec) and returns its descriptor, owned by the caller, who
// closes it; blocking reads, positioned at the start. -1 when the path is missing, unreadable
// or anything but a regular file (a symbolic link counts as what it points to). The type is
// checked on the opened descriptor, so a path swapped after a check cannot slip through; the
// open itself never waits. size, when given, receives the file's size in bytes.
int openRegularFile(const char* path, uint64_t* size = nullptr);

}
