#include "FreshFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cvcompat {

int CreateFreshFile(std::string& name, int suffixLength, mode_t mode)
{
    const int fd = mkostemps(&name[0], suffixLength, O_CLOEXEC);
    // mkostemps makes the file for its owner alone; it gets the access the caller asks for.
    if (fd >= 0)
        fchmod(fd, mode);
    return fd;
}

mode_t DefaultFileMode()
{
    // The mask can only be read by setting it, so it is put straight back.
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace cvcompat
