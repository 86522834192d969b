#include "audiofiles/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvak {

int openRegularFile(const char* path, uint64_t* size)
{
    if (!path || !*path)
        return -1;
    // Non-blocking, so that opening a named pipe returns at once instead of waiting for a
    // writer, and no terminal becomes the controlling one; reads of a regular file are not
    // affected.
    int file = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file < 0)
        return -1;
    struct stat status {};
    if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(file);
        return -1;
    }
    // Blocking again from here on, for whoever reads the descriptor.
    int flags = fcntl(file, F_GETFL);
    if (flags < 0 || fcntl(file, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(file);
        return -1;
    }
    if (size)
        *size = static_cast<uint64_t>(status.st_size);
    return file;
}

}
