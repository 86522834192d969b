#include "sorvak.h"

#include <sys/stat.h>

#include <limits>

// The size is taken from the file's status, without opening it: a read-only file, one open in
// another writer, or one the caller may not write has a size all the same.
SORVAK_API uint32_t FileSize(const char* path)
{
    struct stat status {};
    if (!path || stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    if (static_cast<uint64_t>(status.st_size) > std::numeric_limits<uint32_t>::max())
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(status.st_size);
}
